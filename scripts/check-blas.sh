#!/usr/bin/env bash
# Builds ovra_trivial_test and ovra_deep_check against each CBLAS and runs both, one line per BLAS: the check
# of the host product is only as good as the BLAS it ran against, so run it against the one your host uses.
# Each library is then checked once more without a build of its own, as on a host without a compiler: the
# default build's ovra_deep_check loads it at run time (OVRA_CBLAS).
# Usage: scripts/check-blas.sh [VENDOR...]
#   VENDOR: serial-openblas (the default build: Debian's serial OpenBLAS, static), or a BLA_VENDOR of CMake's
#   FindBLAS: OpenBLAS, FLAME (BLIS), Generic (the reference BLAS), or any other it knows. Debian's packages
#   for OpenBLAS, FLAME and Generic are installed when asked for. Without a VENDOR: serial-openblas and each
#   of those three whose package is installed. Build folders: build/blas-VENDOR.
set -euo pipefail
cd "$(dirname "$0")/.."

package_of() {
    case "$1" in
        OpenBLAS) echo libopenblas-pthread-dev ;;
        FLAME) echo libblis-dev ;;
        Generic) echo libblas-dev ;;
        *) echo "" ;;
    esac
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

vendors=("$@")
if [ ${#vendors[@]} -eq 0 ]; then
    vendors=(serial-openblas)
    for vendor in OpenBLAS FLAME Generic; do
        if installed "$(package_of "$vendor")"; then
            vendors+=("$vendor")
        fi
    done
fi

bash scripts/install-deps.sh
missing=()
for vendor in "${vendors[@]}"; do
    package=$(package_of "$vendor")
    if [ -n "$package" ] && ! installed "$package"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -ne 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "error: missing packages: ${missing[*]} (install them as root: apt-get install -y ${missing[*]})" >&2
        exit 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

failed=0
configure() {
    local build=$1 vendor=$2
    local choice=(-DOVRA_BLAS=system "-DBLA_VENDOR=$vendor")
    if [ "$vendor" = serial-openblas ]; then
        choice=(-DOVRA_BLAS=serial-openblas)
    fi
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOVRA_BUILD_TESTS=OFF \
        -DOVRA_BUILD_BENCHMARKS=OFF "${choice[@]}" 2>&1
}

# The deep check that loads each library at run time: the default build's.
default_build=build/blas-serial-openblas
if ! configure "$default_build" serial-openblas >/dev/null ||
        ! cmake --build "$default_build" --target ovra_deep_check -j 2 >"$default_build/build.log" 2>&1; then
    echo "error: the default build does not build, see $default_build/build.log" >&2
    exit 1
fi
loading_check="$default_build/deep_check/ovra_deep_check"

for vendor in "${vendors[@]}"; do
    build="build/blas-$vendor"
    if ! configured=$(configure "$build" "$vendor"); then
        echo "$vendor: cannot configure: $(printf '%s\n' "$configured" | grep -m1 -i error || true)"
        failed=1
        continue
    fi
    linked=$(printf '%s\n' "$configured" | sed -n 's/^-- BLAS for host_sgemm: //p')
    if ! cmake --build "$build" --target ovra_trivial_test ovra_deep_check -j 2 >"$build/build.log" 2>&1; then
        echo "$vendor ($linked): does not build, see $build/build.log"
        failed=1
        continue
    fi
    results=()
    for program in trivial_test/ovra_trivial_test deep_check/ovra_deep_check; do
        if "$build/$program" -q >"$build/$(basename "$program").log" 2>&1; then
            results+=("$(basename "$program") ok")
        else
            results+=("$(basename "$program") FAILED (see $build/$(basename "$program").log)")
            failed=1
        fi
    done
    # The library the executable loads when it runs, which the alternatives could make another than linked.
    loaded=$(ldd "$build/trivial_test/ovra_trivial_test" | awk '/blas|blis|lapack/ { print $3 }' | tr '\n' ' ')
    loaded=${loaded% }
    # The same library loaded at run time by the default build (the static archive has no file to load).
    if [ -n "$loaded" ] && [ "${loaded#* }" = "$loaded" ]; then
        log="$build/ovra_deep_check-loading.log"
        if OVRA_CBLAS="$loaded" "$loading_check" -q >"$log" 2>&1; then
            results+=("OVRA_CBLAS=$loaded ovra_deep_check ok")
        else
            results+=("OVRA_CBLAS=$loaded ovra_deep_check FAILED (see $log)")
            failed=1
        fi
    fi
    echo "$vendor ($linked${loaded:+; loads $loaded}): $(printf '%s, ' "${results[@]}" | sed 's/, $//')"
done
exit "$failed"
