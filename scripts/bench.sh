#!/usr/bin/env bash
# Builds the release preset and prints the figures of docs/benchmarks.md's table: medians of the Google
# Benchmark programs, then whole-process timings with hyperfine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --bench-tools
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null

bench=build/release/bench
for program in ovra_rng_bench ovra_coordinates_bench ovra_packing_bench ovra_sgemm_bench; do
    echo "== $program"
    "$bench/$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null |
        grep -E "_median" || true
done

suite=build/release/trivial_test/ovra_trivial_test
gelu=diagnostic::tests::randomized_gelu_reorder_preserves_logical_coordinates
echo "== whole-process timings"
hyperfine --warmup 5 --runs 50 --style basic -N \
    "$bench/ovra_bench_noop_main" \
    "$bench/ovra_bench_empty_suite_main" \
    "$suite" \
    "$suite --exact $gelu"
echo "== the deep check, default threads"
hyperfine --warmup 3 --style basic -N build/release/deep_check/ovra_deep_check
