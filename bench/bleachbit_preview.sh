#!/usr/bin/env bash
# Runs BleachBit's preview (never a clean) of its temporary-files cleaner over TREE, as the peer
# the window benchmark times the folder-mode scan against.
#
#   bench/bleachbit_preview.sh TREE      preview TREE as /tmp (and an empty /var/tmp)
#   bench/bleachbit_preview.sh --empty   the same over an empty folder: BleachBit's start-up
#
# Needs root: it runs in private mount and PID namespaces, so that BleachBit sees TREE as /tmp,
# a throw-away home, and only its own processes in /proc. Nothing outside them changes.
set -euo pipefail

if [ "${1:-}" = --inside ]; then
    # A tmpfs of this namespace only holds the home and the empty folder.
    mount -t tmpfs -o mode=700 sweepwise-bleachbit /mnt
    mkdir /mnt/home /mnt/empty
    mount --bind /mnt/empty /var/tmp
    if [ "$2" = --empty ]; then
        mount --bind /mnt/empty /tmp
    else
        mount --bind "$2" /tmp
    fi
    summary=$(env -i PATH="$PATH" HOME=/mnt/home LANG=C.UTF-8 \
        bleachbit --preview system.tmp 2>/dev/null | tail -n 3)
    files=$(sed -n 's/^Files to be deleted: //p' <<<"$summary")
    [ -n "$files" ] || { echo "bleachbit_preview.sh: no summary from bleachbit" >&2; exit 1; }
    if [ "$2" != --empty ] && [ "$files" -eq 0 ]; then
        echo "bleachbit_preview.sh: bleachbit listed nothing in $2" >&2
        exit 1
    fi
    echo "$files"
    exit 0
fi

[ $# -eq 1 ] || { sed -n '2,/^set /{/^#/s/^# \{0,1\}//p}' "${BASH_SOURCE[0]}" >&2; exit 2; }
command -v bleachbit >/dev/null || {
    echo "bleachbit_preview.sh: bleachbit is not installed (apt install bleachbit)" >&2
    exit 1
}

tree=$1
[ "$tree" = --empty ] || tree=$(cd "$tree" && pwd)
exec unshare --mount --pid --fork --mount-proc --propagation private -- \
    bash "${BASH_SOURCE[0]}" --inside "$tree"
