#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the program's icon (colour bars behind a white Z, as in videozarnix.xpm) as
# videozarnix.svg and as PNGs for the hicolor sizes, from one geometry, with no tools
# beyond Python. Run it again after changing the geometry; the results are committed.
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = (16, 24, 32, 48, 64, 128, 256)
UNIT = 32.0  # the drawing's own square
RADIUS = 4.0
BARS = ("#FF0000", "#FF8000", "#FFFF00", "#00C000", "#00C0C0", "#0040FF", "#C000C0")
FRAME = "#202020"
BAR_BOX = (2.0, 2.0, 30.0, 30.0)
Z = [(7, 6), (25, 6), (25, 10), (13, 21), (25, 21), (25, 25), (7, 25), (7, 21), (19, 10), (7, 10)]


def rgb(hex_colour):
    return tuple(int(hex_colour[i:i + 2], 16) for i in (1, 3, 5))


def inside_rounded(x, y):
    cx = min(max(x, RADIUS), UNIT - RADIUS)
    cy = min(max(y, RADIUS), UNIT - RADIUS)
    return 0 <= x <= UNIT and 0 <= y <= UNIT and (x - cx) ** 2 + (y - cy) ** 2 <= RADIUS ** 2


def inside_polygon(x, y, poly):
    hit = False
    for (x1, y1), (x2, y2) in zip(poly, poly[1:] + poly[:1]):
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            hit = not hit
    return hit


def colour_at(x, y):
    if not inside_rounded(x, y):
        return None
    if inside_polygon(x, y, Z):
        return (255, 255, 255)
    left, top, right, bottom = BAR_BOX
    if left <= x < right and top <= y < bottom:
        return rgb(BARS[int((x - left) / (right - left) * len(BARS))])
    return rgb(FRAME)


def png(size, path):
    samples = 4 if size < 128 else 2
    rows = bytearray()
    for py in range(size):
        rows.append(0)
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * UNIT / size
                    y = (py + (sy + 0.5) / samples) * UNIT / size
                    c = colour_at(x, y)
                    if c is not None:
                        acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 1
            n = samples * samples
            a = acc[3]
            rows += bytes([acc[0] // a, acc[1] // a, acc[2] // a, 255 * a // n] if a else [0, 0, 0, 0])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(rows), 9)))
        f.write(chunk(b"IEND", b""))


def svg(path):
    left, top, right, bottom = BAR_BOX
    width = (right - left) / len(BARS)
    bars = "\n".join(
        f'    <rect x="{left + i * width:.4g}" y="{top}" width="{width:.4g}" height="{bottom - top}" '
        f'fill="{c}"/>' for i, c in enumerate(BARS))
    points = " ".join(f"{x},{y}" for x, y in Z)
    with open(path, "w") as f:
        f.write(f"""<?xml version="1.0" encoding="UTF-8"?>
<!-- SPDX-License-Identifier: GPL-3.0-or-later -->
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 32 32">
  <clipPath id="round"><rect width="32" height="32" rx="{RADIUS}"/></clipPath>
  <g clip-path="url(#round)">
    <rect width="32" height="32" fill="{FRAME}"/>
{bars}
    <polygon points="{points}" fill="#FFFFFF"/>
  </g>
</svg>
""")


svg(os.path.join(HERE, "videozarnix.svg"))
for s in SIZES:
    png(s, os.path.join(HERE, f"videozarnix-{s}.png"))
