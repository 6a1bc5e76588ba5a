#!/usr/bin/env bash
# Times the scan's walk on a generated tree, against GNU find and a minimal walk.
#
#   bench/run.sh [-B BUILD_DIR | --bin BIN_DIR] [--runs N] [--files N] [--folders N] [--seed S]
#                [TREE]
#
# Without TREE, a tree (default 500000 files in 40000 folders) is generated in a fresh
# `mktemp -d` folder and that folder is removed at the end. With TREE (or $SWEEPWISE_BENCH_TREE),
# a tree that sweepwise_make_tree made earlier is reused as it is, and a missing or empty TREE is
# generated once and kept for the next run; a TREE given is never removed.
# The binaries come from BIN_DIR, or are built in BUILD_DIR (default
# ${TMPDIR:-/tmp}/sweepwise-bench-build, configured core-only when new). The default tree needs
# about 545000 free inodes but almost no disk: its files are sparse.
# Also: `cmake --build BUILD --target bench` runs this with the binaries of BUILD.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TMPDIR:-/tmp}/sweepwise-bench-build
bin=
runs=()
generate=()
files=500000
folders=40000
tree=${SWEEPWISE_BENCH_TREE:-}

usage() {
    sed -n '2,/^set /{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
    exit 2
}

while [ $# -gt 0 ]; do
    case $1 in
        -B) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
        --bin) [ $# -ge 2 ] || usage; bin=$2; shift 2 ;;
        --runs) [ $# -ge 2 ] || usage; runs=(--runs "$2"); shift 2 ;;
        --files) [ $# -ge 2 ] || usage; files=$2; generate+=(--files "$2"); shift 2 ;;
        --folders) [ $# -ge 2 ] || usage; folders=$2; generate+=(--folders "$2"); shift 2 ;;
        --seed) [ $# -ge 2 ] || usage; generate+=(--seed "$2"); shift 2 ;;
        -h | --help) usage ;;
        -*) usage ;;
        *) tree=$1; shift ;;
    esac
done

find --version 2>/dev/null | grep -q 'GNU findutils' || {
    echo "run.sh: the comparison needs GNU find" >&2
    exit 1
}

if [ -z "$bin" ]; then
    if [ ! -f "$build/CMakeCache.txt" ]; then
        generator=()
        command -v ninja >/dev/null && generator=(-G Ninja)
        cmake -S "$repo" -B "$build" "${generator[@]}" -DSWEEPWISE_CORE_ONLY=ON \
            -DSWEEPWISE_TESTS=OFF -DSWEEPWISE_BENCH=ON
    fi
    cmake --build "$build" --target sweepwise_make_tree sweepwise_scan_bench
    bin=$build/bench
fi
make_tree=$bin/sweepwise_make_tree
scan_bench=$bin/sweepwise_scan_bench

# Only a folder this script made itself is ever removed.
made=
cleanup() {
    if [ -n "$made" ] && [ -d "$made" ]; then
        echo "removing $made"
        rm -rf -- "$made"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

needInodes() {
    local free
    free=$(df -Pi "$1" | awk 'NR == 2 { print $4 }')
    if [ -n "$free" ] && [ "$free" != - ] && [ "$free" -lt $((files + folders + 10000)) ]; then
        echo "run.sh: $1 has $free free inodes, the tree needs about $((files + folders))" >&2
        exit 1
    fi
}

if [ -z "$tree" ]; then
    made=$(mktemp -d "${TMPDIR:-/tmp}/sweepwise-bench.XXXXXXXX")
    tree=$made/tree
fi
if [ -d "$tree" ] && [ -n "$(ls -A "$tree")" ]; then
    if [ ! -f "$tree/.sweepwise-bench-tree/manifest" ]; then
        echo "run.sh: $tree is not a tree made by sweepwise_make_tree; refusing to walk it" >&2
        exit 1
    fi
    echo "reusing the tree in $tree"
else
    needInodes "$(dirname "$tree")"
    echo "generating the tree in $tree"
    start=$(date +%s%N)
    "$make_tree" "${generate[@]}" "$tree"
    echo "generated in $((($(date +%s%N) - start) / 1000000)) ms"
fi

"$scan_bench" "${runs[@]}" "$tree"
