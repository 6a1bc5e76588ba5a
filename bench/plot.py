#!/usr/bin/env python3
"""Draws the scan figures of a window_run.sh results file as a small SVG bar chart.

    bench/plot.py RESULTS OUT.svg

One panel per scan (folder mode, drive mode, drive mode with cold caches), one bar per walker,
on a logarithmic time axis so that a peer many times slower still fits. Only the standard
library is used, so the plot needs nothing beyond the machine's python3.
"""
import math
import sys

PANELS = [
    ("folder", "Folder mode: temporary folder, {rows:,.0f} junk files"),
    ("drive", "Drive mode: 500 000 files, {rows:,.0f} junk files"),
    ("drive_cold", "Drive mode, caches dropped before each walk"),
]
WALKERS = [
    ("window_ms", "Sweepwise (window)", "#c0392b"),
    ("floor_ms", "one-thread floor", "#7f8c8d"),
    ("find_ms", "GNU find", "#2c3e50"),
    ("fd_ms", "fd (parallel)", "#2980b9"),
    ("bleachbit_ms", "BleachBit preview", "#8e44ad"),
]
WIDTH, LEFT, RIGHT = 680, 150, 110
BAR, GAP, HEAD = 16, 4, 30


def read(path):
    values = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            key, _, value = line.strip().partition("=")
            if key:
                values[key] = float(value)
    return values


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    values = read(sys.argv[1])
    panels = []
    for mode, title in PANELS:
        bars = [(label, values[f"{mode}.{key}"], colour) for key, label, colour in WALKERS
                if values.get(f"{mode}.{key}", -1) > 0]
        if bars:
            panels.append((mode, title.format(rows=values.get(f"{mode}.rows", 0)), bars))
    if not panels:
        sys.exit("plot.py: no scan figures in " + sys.argv[1])

    times = [ms for _, _, bars in panels for _, ms, _ in bars]
    low = 10 ** math.floor(math.log10(min(times)))
    high = 10 ** math.ceil(math.log10(max(times)))
    span = WIDTH - LEFT - RIGHT

    def x(ms):
        return LEFT + span * math.log10(ms / low) / math.log10(high / low)

    out = []
    y = 10
    for mode, title, bars in panels:
        out.append(f'<text x="10" y="{y + 14}" font-weight="bold">{title}</text>')
        y += HEAD - 8
        window = next((ms for label, ms, _ in bars if label.startswith("Sweepwise")), None)
        for label, ms, colour in bars:
            ratio = f" ({ms / window:.2f} ×)" if window and not label.startswith("Sweepwise") else ""
            out.append(f'<text x="{LEFT - 6}" y="{y + BAR - 4}" text-anchor="end">{label}</text>')
            out.append(f'<rect x="{LEFT}" y="{y}" width="{x(ms) - LEFT:.1f}" height="{BAR}" '
                       f'fill="{colour}"/>')
            out.append(f'<text x="{x(ms) + 4:.1f}" y="{y + BAR - 4}">{ms:,.0f} ms{ratio}</text>')
            y += BAR + GAP
        y += 12
    axis = y
    decade = low
    while decade <= high:
        out.append(f'<line x1="{x(decade):.1f}" y1="10" x2="{x(decade):.1f}" y2="{axis}" '
                   f'stroke="#ddd"/>')
        out.append(f'<text x="{x(decade):.1f}" y="{axis + 14}" text-anchor="middle" '
                   f'fill="#555">{decade:g} ms</text>')
        decade *= 10
    out.append(f'<text x="10" y="{axis + 32}" fill="#555">Median wall time, logarithmic axis; '
               f'in brackets: time ÷ Sweepwise\'s time in the same run.</text>')
    height = axis + 42
    svg = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{height}" '
           f'font-family="sans-serif" font-size="12">',
           f'<rect width="{WIDTH}" height="{height}" fill="white"/>']
    # Grid lines first, so the bars lie on top of them.
    svg += [line for line in out if line.startswith("<line")]
    svg += [line for line in out if not line.startswith("<line")]
    svg.append("</svg>")
    with open(sys.argv[2], "w", encoding="utf-8") as target:
        target.write("\n".join(svg) + "\n")


if __name__ == "__main__":
    main()
