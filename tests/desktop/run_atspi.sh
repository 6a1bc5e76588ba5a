#!/bin/sh
# Runs the AT-SPI check on an X display and a session bus of its own, with Qt's accessibility
# bridge on. Usage: run_atspi.sh HOST. Exit code 77 (skipped) when no session bus can start.
# The X server picks a free display itself (-displayfd): two servers started at once by
# xvfb-run -a can pick the same one. It must not reset when its first client (the AT-SPI bus
# launcher, which leaves the bus address on the root window) goes: a reset refuses connections.
here=$(dirname "$0")
if ! dbus-run-session -- true 2>/dev/null; then
    echo "SKIP: no session bus can start (dbus-run-session)"
    exit 77
fi
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$work/display" 2>"$work/x.log" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/x.log"; echo "FAIL: the X server did not start"; exit 1; }
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    PYTHONDONTWRITEBYTECODE=1
dbus-run-session -- /usr/bin/python3 "$here/read_main_window.py" "$1"
