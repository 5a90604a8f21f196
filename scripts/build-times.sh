#!/usr/bin/env bash
# Cold build times of this checkout beside another commit's, measured in one run, one build after the
# other (the machine's load moves them both): the first Quick start command's build (ovra_trivial_test's
# target) and the whole tree's, each from an empty build folder with the packages already installed.
# Usage: scripts/build-times.sh COMMIT [ROUNDS]   (ROUNDS defaults to 2; the other commit is checked out
# in a temporary worktree, removed afterwards)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
    echo "error: usage: scripts/build-times.sh COMMIT [ROUNDS]" >&2
    exit 2
fi
commit=$1
rounds=${2:-2}

bash scripts/install-deps.sh
other=$(mktemp -d)
trap 'git worktree remove --force "$other" >/dev/null 2>&1 || rm -rf "$other"' EXIT
git worktree add --detach "$other" "$commit" >/dev/null 2>&1

# Seconds one cold build of TREE takes; TARGET empty for the whole tree.
cold_build() {
    local tree=$1 target=$2
    rm -rf "$tree/build/release"
    (cd "$tree" && cmake --preset release >/dev/null)
    local start end
    start=$(date +%s.%N)
    (cd "$tree" && cmake --build --preset release ${target:+--target "$target"} >/dev/null)
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

printf '%-6s %-18s %10s %10s %7s\n' round build "$commit" this ratio
for round in $(seq 1 "$rounds"); do
    for target in ovra_trivial_test ""; do
        before=$(cold_build "$other" "$target")
        now=$(cold_build . "$target")
        printf '%-6s %-18s %9.1fs %9.1fs %7.2f\n' "$round" "${target:-whole tree}" "$before" "$now" \
            "$(awk -v a="$before" -v b="$now" 'BEGIN { print b / a }')"
    done
done
