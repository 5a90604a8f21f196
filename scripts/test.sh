#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs the whole test suite of the release preset
# through CTest. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset release
