#!/usr/bin/env bash
# Starts Sweepwise where every location it reads is a fixture, so that it can be tried by hand
# without touching this machine's files:
#   - a private mount namespace and a fresh root (a tmpfs) holding read-only binds of /usr and
#     /etc: binds of folders are never fixed drives, so the machine's own drives are not listed;
#   - fixture folders as /tmp, /var/tmp and the profile, cache and cookie folders;
#   - a small ext4 image on a loop device as the only fixed drive, /mnt/fixture-drive/.
# Needs root (sudo) and a display (DISPLAY, and XAUTHORITY when the display needs one).
# Usage: sudo -E scripts/try-on-fixtures.sh [path/to/sweepwise]
# FIXTURE_BULK=N adds N more small files to the temporary folder, so that cleaning them takes a
# while; QT_SCALE_FACTOR, when set, is passed on to the program.
set -euo pipefail

program=$(realpath "${1:-build/release/sweepwise}")
[ -x "$program" ] || { echo "build Sweepwise first (make build)" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "run as root: sudo -E $0" >&2; exit 1; }
: "${DISPLAY:?needs a display}"

exec unshare --mount --fork bash -s "$program" <<'INNER'
set -euo pipefail
program=$1
mount --make-rprivate /

root=$(mktemp -d /tmp/sweepwise-try-XXXXXX)
mount -t tmpfs sweepwise-root "$root"
mkdir -p "$root"/{usr,etc,proc,sys,dev,tmp,var/tmp,home/user,mnt/fixture-drive,opt/sweepwise,run}
for link in bin lib lib64 sbin; do [ -L "/$link" ] && ln -s "$(readlink "/$link")" "$root/$link"; done
mount --rbind -o ro /usr "$root/usr"
mount --rbind -o ro /etc "$root/etc"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --rbind /dev "$root/dev"
mount --bind "$(dirname "$program")" "$root/opt/sweepwise"

# The display's socket, and its cookie when there is one.
[ -d /tmp/.X11-unix ] && mkdir -p "$root/tmp/.X11-unix" && mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
[ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ] && cp "$XAUTHORITY" "$root/home/user/.Xauthority"

image="$root/run/fixture-drive.img"
truncate -s 64M "$image"
mkfs.ext4 -q -F "$image"
mount -o loop "$image" "$root/mnt/fixture-drive"

fill() {  # folder, then names; each file gets a few bytes
    local folder=$1; shift
    mkdir -p "$folder"
    for name in "$@"; do mkdir -p "$(dirname "$folder/$name")"; printf 'junk %s\n' "$name" >"$folder/$name"; done
}
fill "$root/tmp" "session.log" "build/a.o" "cache/item-1" "cache/item-2" "index.dat"
fill "$root/var/tmp" "old-report.txt" "spool/queue.tmp"
fill "$root/home/user/.cache" "thumbnails/normal/1.png" "fontconfig/cache-1"
fill "$root/mnt/fixture-drive" "notes.bak" "docs/report.doc" "docs/report.doc.bak" \
    "photos/Thumbs.db" "photos/holiday.jpg" "crash.dmp" "install.log" "tmp/setup.tmp" "keep/B.TMP"
if [ "${FIXTURE_BULK:-0}" -gt 0 ]; then
    mkdir -p "$root/tmp/bulk"
    for i in $(seq "$FIXTURE_BULK"); do printf 'junk %s\n' "$i" >"$root/tmp/bulk/part-$i.tmp"; done
fi

cd "$root"
exec chroot "$root" /usr/bin/env -i PATH=/usr/bin HOME=/home/user DISPLAY="$DISPLAY" \
    XAUTHORITY=/home/user/.Xauthority LANG=C.UTF-8 \
    ${QT_SCALE_FACTOR:+QT_SCALE_FACTOR="$QT_SCALE_FACTOR"} /opt/sweepwise/"$(basename "$program")"
INNER
