#!/usr/bin/env bash
# Installs the release build into a fresh prefix, runs the installed self-checks, then builds and runs
# examples/consumer against it.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$(mktemp -d)
consumer_build=$(mktemp -d)
trap 'rm -rf "$prefix" "$consumer_build"' EXIT

cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
cmake --install build/release --prefix "$prefix" >/dev/null
"$prefix/bin/ovra_trivial_test" -q >/dev/null
"$prefix/bin/ovra_deep_check" -q >/dev/null
cmake -S examples/consumer -B "$consumer_build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$consumer_build" >/dev/null
"$consumer_build/ovra_consumer"
