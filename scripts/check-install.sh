#!/usr/bin/env bash
# Checks an install as its users meet it: runs the installed self-checks found through PATH, builds and runs
# examples/consumer against it, and builds examples/harness and runs its CTest: of its five tests one passes,
# three fail and one is skipped, by design. The install is PREFIX's (the Debian packages' check gives /usr),
# or without PREFIX the release build installed into a fresh prefix.
# Usage: scripts/check-install.sh [PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
consumer_build=$work/consumer
harness_build=$work/harness

prefix=${1:-}
if [ -z "$prefix" ]; then
    prefix=$work/prefix
    cmake --preset release >/dev/null
    cmake --build --preset release >/dev/null
    cmake --install build/release --prefix "$prefix" >/dev/null
fi
PATH="$prefix/bin:$PATH" ovra_trivial_test -q >/dev/null
PATH="$prefix/bin:$PATH" ovra_deep_check -q >/dev/null
cmake -S examples/consumer -B "$consumer_build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$consumer_build" >/dev/null
"$consumer_build/ovra_consumer"

cmake -S examples/harness -B "$harness_build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$harness_build" >/dev/null
harness_status=0
ctest --test-dir "$harness_build" >"$harness_build/ctest.log" 2>&1 || harness_status=$?
passed=$(grep -c -E 'Test +#[0-9]+: .* +Passed' "$harness_build/ctest.log" || true)
failed=$(grep -c -E '\*\*\*Failed' "$harness_build/ctest.log" || true)
skipped=$(grep -c -E '\*\*\*Skipped' "$harness_build/ctest.log" || true)
if [ "$harness_status" -eq 0 ] || [ "$passed" -ne 1 ] || [ "$failed" -ne 3 ] || [ "$skipped" -ne 1 ]; then
    echo "error: the harness example's CTest gave $passed passed, $failed failed, $skipped skipped (status $harness_status); expected 1, 3, 1" >&2
    cat "$harness_build/ctest.log" >&2
    exit 1
fi
echo "harness example: $passed passed, $failed failed, $skipped skipped, as written"
