#!/usr/bin/env bash
# Installs what is missing, builds the release preset and runs ovra_trivial_test with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target ovra_trivial_test >/dev/null
exec ./build/release/trivial_test/ovra_trivial_test "$@"
