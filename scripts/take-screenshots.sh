#!/usr/bin/env bash
# Takes the README's screenshots of the cleaning window during a run and of the main window at
# a device-pixel ratio of 2. Each runs on an Xvfb display of its own, with the program started
# by try-on-fixtures.sh, so that every location it scans and cleans is a fixture.
# For development only: needs root, xdotool and ImageMagick's import.
# Usage: sudo scripts/take-screenshots.sh [path/to/sweepwise]
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/release/sweepwise}")
for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done

# The window has no frame here (no window manager), so its client area is at its origin; the
# controls' places are those of the layout, in twips / 15, times the ratio.
click() {  # window, ratio, left, top, width, height of the control in twips
    local x=$((($3 + $5 / 2) * $2 / 15)) y=$((($4 + $6 / 2) * $2 / 15))
    xdotool mousemove --window "$1" "$x" "$y" click 1
}

shoot() {  # ratio, screen size, fixture files, what to do once the main window shows
    local ratio=$1 work
    work=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 "$2x24" -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
    local server=$!
    until [ -s "$work/display" ]; do sleep 0.1; done
    export DISPLAY=":$(cat "$work/display")"
    QT_SCALE_FACTOR=$ratio FIXTURE_BULK=$3 scripts/try-on-fixtures.sh "$program" 2>/dev/null &
    local run=$!
    local main
    main=$(xdotool search --sync --name '^Sweepwise Ver 2\.15$' | head -1)
    "$4" "$main" "$ratio"
    click "$main" "$ratio" 8280 6960 1335 495  # Exit
    wait "$run" || true
    kill "$server"
    wait "$server" 2>/dev/null || true
    rm -rf "$work"
}

cleaning() {
    click "$1" "$2" 6840 3600 2775 855  # Start: a quick scan of the fixture folders
    sleep 3
    click "$1" "$2" 5520 6960 2655 495  # Clean all
    local window
    window=$(xdotool search --sync --name '^正在清理垃圾文件\.\.\.$' | head -1)
    sleep 3
    import -window "$window" docs/cleaning-window.png
    # The run ends by itself; Exit waits for it.
    while xdotool search --name '^正在清理垃圾文件\.\.\.$' >/dev/null; do sleep 0.5; done
}

ratio_two() {
    click "$1" "$2" 6840 3600 2775 855  # Start
    sleep 3
    import -window "$1" docs/main-window-ratio-2.png
}

shoot 1 1280x1024 3000 cleaning
shoot 2 1600x1200 0 ratio_two
echo "docs/cleaning-window.png, docs/main-window-ratio-2.png"
