#!/usr/bin/env bash
# Builds what the release preset installs and makes its two Debian packages with CPack
# (cmake/OvraPackaging.cmake): ovra-host-check, all a host needs to run the self-checks, and ovra-dev, for
# building against the libraries. Prints the packages' paths.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --package
cmake --preset release >/dev/null
cmake --build --preset release --target ovra_installables >/dev/null
rm -f build/release/packages/*.deb
cpack --config build/release/CPackConfig.cmake >/dev/null
ls "$PWD"/build/release/packages/*.deb
