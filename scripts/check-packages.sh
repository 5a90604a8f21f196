#!/usr/bin/env bash
# Builds the Debian packages and checks them as a host and a developer meet them: lintian finds no error;
# installed with apt-get (which resolves their dependencies), the programs run from PATH, their manual pages
# are found, and the examples build against ovra-dev (scripts/check-install.sh /usr); purged, they leave
# none of their files and no folder of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "error: run this as root: it installs and purges the packages" >&2; exit 1; }
names=(ovra-host-check ovra-dev)
bash scripts/package.sh >/dev/null
debs=("$PWD"/build/release/packages/*.deb)
lintian --fail-on error "${debs[@]}"

export DEBIAN_FRONTEND=noninteractive
trap 'apt-get purge -y -qq "${names[@]}" >/dev/null 2>&1' EXIT
apt-get install -y -qq "${debs[@]}" >/dev/null
installed=$(dpkg -L "${names[@]}")
ovra_layout Output F16 2 32 >/dev/null
man -w ovra_trivial_test ovra_deep_check ovra_layout >/dev/null
bash scripts/check-install.sh /usr
apt-get purge -y -qq "${names[@]}" >/dev/null
trap - EXIT

# Folders the system shares (/usr/bin) stay; a file, or a folder of the packages' own, is a leftover.
left=$(while read -r path; do
    [ ! -e "$path" ] || { [ -d "$path" ] && [[ "$path" != *ovra* ]]; } || echo "$path"
done <<<"$installed")
[ -z "$left" ] || { echo "error: purging the packages left:" $left >&2; exit 1; }
echo "Debian packages ${names[*]}: installed, run, built against, purged; nothing left"
