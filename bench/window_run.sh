#!/usr/bin/env bash
# Times scans through the real main window, offscreen: a drive-mode scan of a generated tree and
# a folder-mode scan of a generated temporary folder, each against the floor walk, GNU find, fd
# (when installed) and, for the folder, BleachBit's preview (when installed and run as root);
# and a folder-mode scan of a generated tree of over a million rows, for the memory per row.
#
#   bench/window_run.sh [-B BUILD_DIR | --bin BIN_DIR] [--runs N] [--rows-runs N]
#                       [--files N] [--folders N] [--temp-files N] [--temp-folders N]
#                       [--rows-files N] [--rows-folders N] [--drive-only | --rows-only]
#                       [--no-tmpfs] [--cold] [--results FILE]
#
# The trees are generated in a fresh `mktemp -d` folder, which is removed at the end; nothing
# else is touched. The drive-mode tree (default 500000 files in 40000 folders) and the temporary
# folder (50000 files in 3000 folders) go on disk like run.sh's. Run as root, the big folder-mode
# tree (default 1020000 files in 80000 folders, about 1005000 rows) goes on a tmpfs mounted in a
# private mount namespace, so it needs no disk inodes and vanishes with the namespace; otherwise,
# or with --no-tmpfs, it goes on disk as well. --cold adds three drive-mode runs with the
# kernel's caches dropped before each walk (root only). --results writes the figures as
# key=value lines, which bench/plot.py draws.
# The binaries come from BIN_DIR, or are built in BUILD_DIR (default
# ${TMPDIR:-/tmp}/sweepwise-window-bench-build, configured with the Qt layers when new).
# Also: `cmake --build BUILD --target window_bench` runs this with the binaries of BUILD.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TMPDIR:-/tmp}/sweepwise-window-bench-build
bin=
files=500000
folders=40000
rowsFiles=1020000
rowsFolders=80000
tempFiles=50000
tempFolders=3000
drive=1
cold=0
results=
rows=1
tmpfs=1
inside=
bench=()

usage() {
    sed -n '2,/^set /{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2
    exit 2
}

while [ $# -gt 0 ]; do
    case $1 in
        -B) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
        --bin) [ $# -ge 2 ] || usage; bin=$2; shift 2 ;;
        --runs | --rows-runs) [ $# -ge 2 ] || usage; bench+=("$1" "$2"); shift 2 ;;
        --files) [ $# -ge 2 ] || usage; files=$2; shift 2 ;;
        --folders) [ $# -ge 2 ] || usage; folders=$2; shift 2 ;;
        --rows-files) [ $# -ge 2 ] || usage; rowsFiles=$2; shift 2 ;;
        --rows-folders) [ $# -ge 2 ] || usage; rowsFolders=$2; shift 2 ;;
        --temp-files) [ $# -ge 2 ] || usage; tempFiles=$2; shift 2 ;;
        --temp-folders) [ $# -ge 2 ] || usage; tempFolders=$2; shift 2 ;;
        --cold) cold=1; shift ;;
        --results) [ $# -ge 2 ] || usage; results=$2; shift 2 ;;
        --drive-only) rows=0; shift ;;
        --rows-only) drive=0; shift ;;
        --no-tmpfs) tmpfs=0; shift ;;
        # Internal: the second stage, already in the private mount namespace.
        --inside) [ $# -ge 2 ] || usage; inside=$2; shift 2 ;;
        -h | --help) usage ;;
        *) usage ;;
    esac
done

needInodes() {
    local free
    free=$(df -Pi "$1" | awk 'NR == 2 { print $4 }')
    if [ -n "$free" ] && [ "$free" != - ] && [ "$free" -lt $(($2 + 10000)) ]; then
        echo "window_run.sh: $1 has $free free inodes, a tree needs about $2" >&2
        exit 1
    fi
}

generate() {
    local tree=$1 start
    shift
    echo "generating $tree"
    start=$(date +%s%N)
    "$bin/sweepwise_make_tree" "$@" "$tree" | sed 's/^/  /'
    echo "  generated in $((($(date +%s%N) - start) / 1000000)) ms"
}

# Generates the trees in the folder given and runs the benchmark on them.
measure() {
    local made=$1 args=()
    # Qt's runtime folder too stays inside what this script made.
    export XDG_RUNTIME_DIR=$made/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    if [ "$drive" = 1 ]; then
        needInodes "$made" $((files + folders + tempFiles + tempFolders))
        generate "$made/drive" --files "$files" --folders "$folders"
        generate "$made/temp" --files "$tempFiles" --folders "$tempFolders"
        args+=(--drive "$made/drive" --folder "$made/temp")
        # The other walkers, where this machine has them.
        if command -v fdfind >/dev/null; then
            args+=(--fd fdfind)
        elif command -v fd >/dev/null; then
            args+=(--fd fd)
        fi
        if command -v bleachbit >/dev/null && [ "$(id -u)" = 0 ]; then
            args+=(--bleachbit "$repo/bench/bleachbit_preview.sh")
        fi
    fi
    if [ "$rows" = 1 ]; then
        mkdir "$made/rows"
        if [ -n "$inside" ]; then
            mount -t tmpfs -o "size=1g,mode=700,nr_inodes=$((rowsFiles + rowsFolders + 100000))" \
                sweepwise-bench "$made/rows"
            echo "tmpfs mounted on $made/rows in a private mount namespace"
        else
            needInodes "$made" $((rowsFiles + rowsFolders))
        fi
        generate "$made/rows/tree" --files "$rowsFiles" --folders "$rowsFolders"
        args+=(--rows "$made/rows/tree")
    fi
    echo
    QT_QPA_PLATFORM=offscreen "$bin/sweepwise_window_bench" "${bench[@]}" "${args[@]}" \
        --results "$made/results-warm"
    if [ "$cold" = 1 ] && [ "$drive" = 1 ]; then
        QT_QPA_PLATFORM=offscreen "$bin/sweepwise_window_bench" --runs 3 --cold \
            --drive "$made/drive" --results "$made/results-cold"
    fi
    if [ -n "$results" ]; then
        cat "$made"/results-* >"$results"
        echo "results written to $results"
    fi
    if [ -n "$inside" ] && [ "$rows" = 1 ]; then
        umount "$made/rows"
    fi
}

if [ -n "$inside" ]; then
    [ -n "$bin" ] || usage
    measure "$inside"
    exit 0
fi

find --version 2>/dev/null | grep -q 'GNU findutils' || {
    echo "window_run.sh: the comparison needs GNU find" >&2
    exit 1
}

if [ -z "$bin" ]; then
    if [ ! -f "$build/CMakeCache.txt" ]; then
        generator=()
        command -v ninja >/dev/null && generator=(-G Ninja)
        cmake -S "$repo" -B "$build" "${generator[@]}" -DSWEEPWISE_TESTS=OFF -DSWEEPWISE_BENCH=ON
    fi
    cmake --build "$build" --target sweepwise_make_tree sweepwise_window_bench
    bin=$build/bench
fi
bin=$(cd "$bin" && pwd)

# Only the folder this script made itself is ever removed.
made=
cleanup() {
    if [ -n "$made" ] && [ -d "$made" ]; then
        echo "removing $made"
        rm -rf -- "$made"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
made=$(mktemp -d "${TMPDIR:-/tmp}/sweepwise-window-bench.XXXXXXXX")

if [ "$rows" = 1 ] && [ "$tmpfs" = 1 ] && [ "$(id -u)" = 0 ] &&
    unshare --mount --propagation private true 2>/dev/null; then
    forward=()
    [ "$drive" = 1 ] || forward+=(--rows-only)
    [ "$cold" = 1 ] && forward+=(--cold)
    [ -n "$results" ] && forward+=(--results "$(cd "$(dirname "$results")" && pwd)/$(basename "$results")")
    unshare --mount --propagation private -- bash "${BASH_SOURCE[0]}" --inside "$made" \
        --bin "$bin" --files "$files" --folders "$folders" --rows-files "$rowsFiles" \
        --rows-folders "$rowsFolders" --temp-files "$tempFiles" --temp-folders "$tempFolders" \
        "${forward[@]}" "${bench[@]}"
else
    measure "$made"
fi
