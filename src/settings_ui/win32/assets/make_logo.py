#!/usr/bin/env python3
"""Draws the Korventa logo (a white K on a teal rounded square with an orange mark) into
logo.bmp (96 x 96, 24-bit) and list.ico (32 x 32, 32-bit) beside this script.
Run it again only to change the picture; the files it writes are kept in the tree."""
import os
import struct

TEAL = (0x16, 0x53, 0x6E)
ORANGE = (0xF2, 0x8C, 0x28)
WHITE = (0xFF, 0xFF, 0xFF)


def inside_polygon(x, y, pts):
    c = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            c = not c
        j = i
    return c


def colour_at(u, v):
    """The colour at (u, v) in the unit square, or None outside the rounded square."""
    r = 0.18
    cx = min(max(u, r), 1 - r)
    cy = min(max(v, r), 1 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r:
        return None
    stem = [(0.26, 0.20), (0.40, 0.20), (0.40, 0.80), (0.26, 0.80)]
    upper = [(0.40, 0.50), (0.62, 0.20), (0.78, 0.20), (0.50, 0.56)]
    lower = [(0.44, 0.48), (0.54, 0.42), (0.80, 0.80), (0.64, 0.80)]
    if any(inside_polygon(u, v, p) for p in (stem, upper, lower)):
        return WHITE
    if 0.16 <= u <= 0.84 and 0.86 <= v <= 0.90:
        return ORANGE
    return TEAL


def render(size, background):
    """Rows top to bottom of (r, g, b, a), 4 x 4 samples per pixel."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sy in range(4):
                for sx in range(4):
                    c = colour_at((x + (sx + 0.5) / 4) / size, (y + (sy + 0.5) / 4) / size)
                    if c is None:
                        c = background
                    else:
                        covered += 1
                    for k in range(3):
                        acc[k] += c[k]
            row.append((acc[0] // 16, acc[1] // 16, acc[2] // 16, covered * 255 // 16))
        rows.append(row)
    return rows


def bmp(size):
    rows = render(size, WHITE)
    stride = (size * 3 + 3) & ~3
    pixels = b""
    for row in reversed(rows):
        line = b"".join(bytes((b, g, r)) for r, g, b, _ in row)
        pixels += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def ico(size):
    rows = render(size, (0, 0, 0))
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22) + image


here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "logo.bmp"), "wb") as f:
    f.write(bmp(96))
with open(os.path.join(here, "list.ico"), "wb") as f:
    f.write(ico(32))
