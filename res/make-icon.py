#!/usr/bin/env python3
"""Draws the application icon: a motor seen end-on, a stator ring with three
phase coils around a rotor, on a blue tile. The drawing is made on a 64-unit
grid and rendered at any size: res/korvelt.png (64 px, the window's icon and
the menu's) and res/korvelt-128.png (128 px, the menu's larger one).
Standard library only; run it again after changing the drawing:
    res/make-icon.py                 both files
    res/make-icon.py SIZE FILE       one size into FILE"""
import math
import struct
import sys
import zlib

SIZE = 64  # the drawing's grid
SAMPLES = 4  # per axis, for smooth edges

BACKGROUND = (31, 78, 121)
RING = (220, 226, 232)
COIL = (242, 169, 0)
ROTOR = (255, 255, 255)
SHAFT = (31, 78, 121)


def inside_rounded_square(x, y):
    margin, radius = 2.0, 10.0
    lo, hi = margin + radius, SIZE - margin - radius
    cx = min(max(x, lo), hi)
    cy = min(max(y, lo), hi)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and margin <= x <= SIZE - margin and margin <= y <= SIZE - margin


def colour_at(x, y):
    """The colour of the drawing at point (x, y), or None outside the tile."""
    if not inside_rounded_square(x, y):
        return None
    c = SIZE / 2
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy)
    if r <= 3.0:
        return SHAFT
    if r <= 9.0:
        return ROTOR
    for k in range(3):
        angle = math.radians(90 + 120 * k)
        px, py = c + 15.0 * math.cos(angle), c - 15.0 * math.sin(angle)
        if math.hypot(x - px, y - py) <= 5.5:
            return COIL
    if 21.0 <= r <= 25.0:
        return RING
    return BACKGROUND


def pixels(size):
    scale = SIZE / size
    rows = []
    for j in range(size):
        row = bytearray([0])  # filter type: none
        for i in range(size):
            total = [0, 0, 0, 0]
            for sj in range(SAMPLES):
                for si in range(SAMPLES):
                    col = colour_at((i + (si + 0.5) / SAMPLES) * scale, (j + (sj + 0.5) / SAMPLES) * scale)
                    if col is not None:
                        total[0] += col[0]
                        total[1] += col[1]
                        total[2] += col[2]
                        total[3] += 255
            n = SAMPLES * SAMPLES
            alpha = total[3] // n
            if alpha:
                covered = total[3] // 255
                row += bytes([total[0] // covered, total[1] // covered, total[2] // covered, alpha])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(size, path):
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels(size), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


if __name__ == "__main__":
    if len(sys.argv) == 3:
        write_png(int(sys.argv[1]), sys.argv[2])
    else:
        folder = __file__.rsplit("/", 1)[0]
        write_png(64, folder + "/korvelt.png")
        write_png(128, folder + "/korvelt-128.png")
