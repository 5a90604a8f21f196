#!/usr/bin/env bash
# Installs the Debian packages the build needs, and nothing when they are all present.
# Usage: scripts/install-deps.sh [--fuzz] [--bench-tools] [--package]
#   --bench-tools: hyperfine and valgrind; --package: what makes and checks the Debian packages
set -euo pipefail

packages=(g++ cmake make ninja-build libopenblas-serial-dev libfmt-dev libgtest-dev libgmock-dev libbenchmark-dev
          libgcc-12-dev libtinyxml2-dev)
for option in "$@"; do
    case "$option" in
        --fuzz) packages+=(clang-16 libclang-rt-16-dev) ;;
        --bench-tools) packages+=(hyperfine valgrind) ;;
        --package) packages+=(dpkg-dev file lintian man-db) ;;
        *) echo "error: unknown option '$option' (expected --fuzz, --bench-tools or --package)" >&2; exit 2 ;;
    esac
done

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "error: missing packages: ${missing[*]}" >&2
    echo "Install them as root, then run this again:" >&2
    echo "    sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
