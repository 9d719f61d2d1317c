#!/usr/bin/env python3
"""Draws the program icon (a glowing "Z" on a dark rounded tile) and writes it as a .ico file
with 16, 32 and 48 pixel images (32-bit BGRA with an AND mask). Standard library only.

Usage: draw_icon.py OUTPUT.ico
"""
import math
import struct
import sys

SS = 4  # supersampling per axis


def inside_round_rect(x, y, size, radius):
    cx = min(max(x, radius), size - radius)
    cy = min(max(y, radius), size - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


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


def z_shape(s):
    # A bold "Z" in unit coordinates scaled to the tile.
    u = [(0.24, 0.22), (0.78, 0.22), (0.78, 0.36), (0.45, 0.66), (0.78, 0.66),
         (0.78, 0.80), (0.22, 0.80), (0.22, 0.66), (0.55, 0.36), (0.24, 0.36)]
    return [(px * s, py * s) for px, py in u]


def render(size):
    rows = []
    zs = z_shape(size)
    radius = size * 0.2
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    px = x + (sx + 0.5) / SS
                    py = y + (sy + 0.5) / SS
                    if not inside_round_rect(px, py, size, radius):
                        continue
                    t = py / size
                    # tile: deep blue-violet gradient with a soft top highlight
                    r, g, b = 28 + 30 * (1 - t), 24 + 20 * (1 - t), 60 + 60 * (1 - t)
                    d = math.hypot(px - size * 0.5, py - size * 0.5) / size
                    glow = max(0.0, 0.55 - d) * 1.4
                    r, g, b = r + 40 * glow, g + 140 * glow, b + 200 * glow
                    if inside_polygon(px, py, zs):
                        k = 1 - 0.35 * t
                        r, g, b = 255 * k + 40 * (1 - k), 226 * k + 120 * (1 - k), 120 * k + 60 * (1 - k)
                    acc[0] += b
                    acc[1] += g
                    acc[2] += r
                    acc[3] += 255
            n = SS * SS
            row.append(tuple(min(255, int(round(v / n))) for v in acc))
        rows.append(row)
    return rows


def ico_image(size):
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes(c for px in row for c in px) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def main():
    sizes = [16, 32, 48]
    images = [ico_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b''.join(images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
