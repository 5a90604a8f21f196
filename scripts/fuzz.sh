#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset: clang 16 with ASan and UBSan) and runs each for SECONDS
# (default 30) on a scratch copy of its seed corpus, so that what the fuzzer generates never lands in the
# tree. Exits non-zero on any finding; the scratch directory with the crashing input is then kept and
# its path printed.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "error: SECONDS must be a positive whole number, got '$seconds'" >&2
    exit 2
fi

bash scripts/install-deps.sh --fuzz
cmake --workflow --preset fuzz

targets=(coordinates_fuzz packing_fuzz error_report_fuzz runner_fuzz)
binaries="$PWD/build/fuzz/fuzz"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/ovra-fuzz.XXXXXX")"

# A report from either sanitizer ends the run as a crash that libFuzzer records; the project's own
# environment variables stay out so that every run sees the same runner.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
unset OVRA_BACKTRACE OVRA_TEST_THREADS OVRA_TEST_TIME_UNIT

failed=()
for target in "${targets[@]}"; do
    work="$scratch/$target"
    mkdir -p "$work/corpus" "$work/artifacts"
    cp fuzz/corpus/"$target"/* "$work/corpus/"
    echo "== $target: ${seconds}s"
    status=0
    (cd "$work" && "$binaries/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" corpus) >"$work/log" 2>&1 || status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)"
    coverage="$(grep -o 'cov: [0-9]*' "$work/log" | tail -n 1 || true)"
    if [ "$status" -eq 0 ]; then
        echo "$target: ok, ${runs:-?} runs, ${coverage:-cov: ?}"
    else
        echo "$target: FAILED (status $status) after ${runs:-?} runs; the end of its log:"
        tail -n 60 "$work/log"
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz findings in: ${failed[*]} (inputs and logs kept in $scratch)" >&2
    exit 1
fi
rm -rf "$scratch"
echo "fuzz: ${#targets[@]} targets ran ${seconds}s each, no findings"
