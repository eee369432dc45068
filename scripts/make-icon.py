#!/usr/bin/env python3
"""Draws the program icon (48 x 48, 256 colours): a blue card with three list
rows and an orange globe, written as app/vorpa.ico."""
import math
import struct
import sys

SIZE = 48
palette = [(0, 0, 0)] * 256
palette[1] = (255, 255, 255)   # rows
palette[2] = (33, 94, 170)     # card
palette[3] = (20, 60, 120)     # card edge
palette[4] = (240, 140, 30)    # globe
palette[5] = (255, 214, 140)   # globe lines
palette[6] = (140, 70, 10)     # globe edge
TRANSPARENT = 0

img = [[TRANSPARENT] * SIZE for _ in range(SIZE)]

def inside_rounded(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

for y in range(SIZE):
    for x in range(SIZE):
        px, py = x + 0.5, y + 0.5
        if inside_rounded(px, py, 2, 4, 40, 42, 6):
            img[y][x] = 2 if inside_rounded(px, py, 3.5, 5.5, 38.5, 40.5, 5) else 3
for top in (11, 19, 27):
    for y in range(top, top + 4):
        for x in range(9, 33):
            img[y][x] = 1
cx, cy, r = 35.0, 35.0, 11.5
for y in range(SIZE):
    for x in range(SIZE):
        dx, dy = x + 0.5 - cx, y + 0.5 - cy
        d = math.hypot(dx, dy)
        if d <= r:
            colour = 6 if d > r - 1.3 else 4
            if colour == 4:
                if abs(dy) < 0.7 or abs(dx) < 0.7:
                    colour = 5
                elif abs(math.hypot(dx * 2.0, dy) - r) < 1.0:
                    colour = 5
                elif abs(abs(dy) - r * 0.5) < 0.6:
                    colour = 5
            img[y][x] = colour

xor = b"".join(bytes(img[y]) for y in reversed(range(SIZE)))
and_row = lambda y: int("".join("1" if img[y][x] == TRANSPARENT else "0" for x in range(SIZE)), 2).to_bytes(6, "big") + b"\0\0"
mask = b"".join(and_row(y) for y in reversed(range(SIZE)))
header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
pal = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in palette)
image = header + pal + xor + mask
icon = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 22) + image
out = sys.argv[1] if len(sys.argv) > 1 else "app/vorpa.ico"
open(out, "wb").write(icon)
