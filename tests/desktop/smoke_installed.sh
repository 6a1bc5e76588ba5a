#!/usr/bin/env bash
# Starts the installed program as a user would and checks it from outside; see
# smoke_installed.py. Every location the program reads or writes is a fresh fixture folder:
# the temporary folder (start-up leaves one file there), the profile, cache, configuration and
# run-time folders. It gets an X display and a session bus of its own, and no network where the
# system allows a namespace without one.
# Usage: smoke_installed.sh [PROGRAM] WINDOW_MAPPED   (PROGRAM defaults to /usr/bin/sweepwise)
set -euo pipefail
here=$(dirname "$(realpath "$0")")
[ $# -eq 1 ] && set -- /usr/bin/sweepwise "$1"
program=$1
mapped=$(realpath "$2")

root=$(mktemp -d /tmp/sweepwise-smoke-XXXXXX)
mkdir -p "$root"/{tmp,home,cache,config,data,runtime}
chmod 700 "$root/runtime"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$root/display" 2>"$root/x.log" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$root"' EXIT
for _ in $(seq 100); do
    [ -s "$root/display" ] && break
    sleep 0.1
done
[ -s "$root/display" ] || { cat "$root/x.log"; echo "FAIL: the X server did not start"; exit 1; }

no_network=()
unshare -n true 2>/dev/null && no_network=(unshare -n)
"${no_network[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY=":$(cat "$root/display")" \
    HOME="$root/home" TMPDIR="$root/tmp" XDG_CACHE_HOME="$root/cache" \
    XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" XDG_RUNTIME_DIR="$root/runtime" \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 PYTHONDONTWRITEBYTECODE=1 \
    dbus-run-session -- /usr/bin/python3 "$here/smoke_installed.py" "$program" "$mapped"
