#!/usr/bin/env bash
# Builds the release preset and prints callgrind instruction counts of ovra_trivial_test (all threads
# summed, one worker): the whole suite, start-up alone (a filter that matches nothing), and each test run
# alone, also minus start-up. Instruction counts do not depend on the machine's load, so they compare
# across runs where wall times do not.
# Usage: scripts/instructions.sh [--no-build] [EXECUTABLE]
#   EXECUTABLE defaults to the release build's ovra_trivial_test; --no-build measures it as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

build=1
executable=build/release/trivial_test/ovra_trivial_test
for option in "$@"; do
    case "$option" in
        --no-build) build=0 ;;
        -*) echo "error: unknown option '$option' (expected --no-build)" >&2; exit 2 ;;
        *) executable=$option ;;
    esac
done

bash scripts/install-deps.sh --bench-tools
if [ "$build" -eq 1 ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target ovra_trivial_test >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Instructions executed by one run, read from callgrind's summary of all threads.
instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null --log-file="$work/log" \
        "$executable" "$@" --test-threads 1 >/dev/null 2>&1 || true
    local collected
    collected=$(sed -n 's/^==[0-9]*== Collected : \([0-9]*\)$/\1/p' "$work/log")
    if [ -z "$collected" ]; then
        echo "error: callgrind reported no count for: $executable $*" >&2
        cat "$work/log" >&2
        exit 1
    fi
    echo "$collected"
}

millions() {
    awk -v n="$1" 'BEGIN { printf "%.2f M", n / 1e6 }'
}

suite=$(instructions)
start=$(instructions nomatch)
printf '%-22s %14s %18s\n' run instructions "minus start-up"
printf '%-22s %14s %18s\n' "whole suite" "$(millions "$suite")" "$(millions $((suite - start)))"
printf '%-22s %14s %18s\n' "start-up (nomatch)" "$(millions "$start")" ""
for entry in "GEMM test alone=diagnostic::tests::randomized_blas_gemm_matches_scalar_reference" \
    "GELU test alone=diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates" \
    "binding test alone=tests::randomized_binding_values_follow_logical_slice_order"; do
    alone=$(instructions --exact "${entry#*=}")
    printf '%-22s %14s %18s\n' "${entry%%=*}" "$(millions "$alone")" "$(millions $((alone - start)))"
done
