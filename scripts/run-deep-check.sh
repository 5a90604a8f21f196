#!/usr/bin/env bash
# Installs what is missing, builds the release preset and runs ovra_deep_check with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target ovra_deep_check >/dev/null
exec ./build/release/deep_check/ovra_deep_check "$@"
