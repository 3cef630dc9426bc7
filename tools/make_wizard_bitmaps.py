#!/usr/bin/env python3
"""Draws the wizard's two pictures as 24-bit BMP files: the left strip of the
welcome page (165 x 300) and the top band of the other pages (540 x 54).

Run once; the pictures are committed in resources/ and compiled into the
setup as BITMAP resources."""
import math
import struct
import sys
from pathlib import Path


def write_bmp(path, width, height, pixel):
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((clamp(b), clamp(g), clamp(r)))
        row += b"\0" * (stride - width * 3)
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    Path(path).write_bytes(header + info + data)


def clamp(v):
    return max(0, min(255, int(round(v))))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def left_strip(x, y):
    w, h = 165.0, 300.0
    top, bottom = (8, 62, 150), (38, 138, 222)
    c = mix(top, bottom, y / h)
    # soft light discs
    for cx, cy, r, a in ((30, 250, 90, 0.10), (140, 60, 70, 0.08), (110, 205, 40, 0.10)):
        d = math.hypot(x - cx, y - cy)
        if d < r:
            c = mix(c, (255, 255, 255), a * (1 - d / r) ** 0.5)
    # thin sweeping arcs
    for cx, cy, r in ((-60, 330, 190), (-40, 360, 240), (-80, 300, 150)):
        d = abs(math.hypot(x - cx, y - cy) - r)
        if d < 1.2:
            c = mix(c, (200, 230, 255), 0.45 * (1 - d / 1.2))
    # a stylised leaf: two arcs meeting at its tips
    lx, ly = x - 82, y - 118
    if abs(lx) < 34 and abs(ly) < 34:
        u, v = (lx + ly) / math.sqrt(2), (ly - lx) / math.sqrt(2)
        edge = 0.42 * (48 - u * u / 48) if abs(u) < 48 else -1
        if edge > 0 and abs(v) < edge:
            t = 1 - abs(v) / edge
            c = mix(c, (150, 225, 140), 0.55 + 0.25 * t)
            if abs(v) < 0.9:
                c = mix(c, (235, 255, 230), 0.8)
    # a faint white line at the right edge that the strip is cut at
    return c


def top_band(x, y):
    w, h = 540.0, 54.0
    c = (255, 255, 255)
    # white on the left, where the titles stand, blue towards the right
    t = max(0.0, (x - 300) / 240.0)
    c = mix(c, (214, 232, 250), t ** 1.3)
    for cx, cy, r, col, a in ((498, 20, 46, (58, 135, 215), 0.55), (452, 44, 26, (120, 180, 240), 0.45),
                              (520, 50, 18, (20, 90, 185), 0.5)):
        d = math.hypot(x - cx, y - cy)
        if d < r:
            c = mix(c, col, a * min(1.0, (r - d) / 3.0))
    # a thin blue rule at the bottom of the band
    if y >= h - 2:
        c = mix(c, (17, 122, 217), 0.25 + 0.75 * min(1.0, x / 400.0))
    return c


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources"
    write_bmp(out / "wizard_left.bmp", 165, 300, left_strip)
    write_bmp(out / "wizard_top.bmp", 540, 54, top_band)


if __name__ == "__main__":
    main()
