#!/usr/bin/env python3
"""Draws Zindle's launcher skin: a 575x385 24-bit image whose transparent parts are magenta.

    python3 tools/skinart/draw_skin.py [--scale S] [OUT.bmp|OUT.png]
        (default: src/skin/assets/zindle_skin.bmp at scale 1, zindle_skin_NNN.png at NNN %)

At a scale S (for a display at S x 100 %) the same drawing is made at S times the size, 575 S x
385 S rounded half up, by sampling the shapes at pixel centres (x + 0.5) / S: every edge, bevel
and letter is exact at that scale, not an enlargement. Scale 1 gives the original bytes.

The face is built from signed distance functions: a rounded panel with a title tab on top (the
two joined by a smooth union, which gives the fillets), a bevelled metal rim lit from the top
left, a groove inside the rim, a sunken title well with "Zindle" in stroked letters with a glow,
an accent line, two calm wells under the buttons (x 160 and 355, y 250, 60x20) and four rivets.
Fills are vertical gradients, so rows repeat and the skin packs well. Standard library only.
"""
import math
import os
import struct
import sys
import zlib

BASE_W, BASE_H = 575, 385
SCALE = 1.0
W, H = BASE_W, BASE_H


def scaled_size(scale):
    return int(BASE_W * scale + 0.5), int(BASE_H * scale + 0.5)
KEY = (255, 0, 255)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sd_round_box(px, py, x0, y0, x1, y1, r):
    """Signed distance to the rounded box [x0, x1] x [y0, y1] (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    qx = abs(px - cx) - ((x1 - x0) / 2 - r)
    qy = abs(py - cy) - ((y1 - y0) / 2 - r)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def smooth_min(a, b, k):
    h = max(k - abs(a - b), 0.0) / k
    return min(a, b) - h * h * k / 4


def outline_sd(px, py):
    body = sd_round_box(px, py, 12, 34, 563, 372, 26)
    tab = sd_round_box(px, py, 178, 6, 397, 70, 18)
    return smooth_min(body, tab, 14)


def title_well_sd(px, py):
    return sd_round_box(px, py, 48, 84, 527, 222, 16)


def gradient(sd, px, py):
    e = 0.5
    gx = sd(px + e, py) - sd(px - e, py)
    gy = sd(px, py + e) - sd(px, py - e)
    n = math.hypot(gx, gy) or 1.0
    return gx / n, gy / n


# Light from the top left: a surface whose outward normal points there is lit.
LIGHT = (-0.6, -0.8)

# The title's strokes, in pixels from the top left of its cap box (cap height 70).
def arc(cx, cy, r, a0, a1, steps=28):
    pts = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        pts.append((cx + r * math.cos(a), cy - r * math.sin(a)))
    return list(zip(pts, pts[1:]))


def letters():
    glyphs = []  # (advance, segments, dots)
    glyphs.append((62, [((0, 0), (46, 0)), ((46, 0), (0, 70)), ((0, 70), (46, 70))], []))
    glyphs.append((26, [((6, 28), (6, 70))], [(6, 8)]))
    glyphs.append((58, [((6, 28), (6, 70)), ((42, 46), (42, 70))] + arc(24, 46, 18, 180, 0), []))
    glyphs.append((56, [((40, 0), (40, 70))] + arc(22, 49, 18, 0, 360, 40), []))
    glyphs.append((26, [((6, 0), (6, 70))], []))
    glyphs.append((48, [((4, 49), (40, 49))] + arc(22, 49, 18, 0, 318, 36), []))
    segs, dots, x = [], [], 0
    for advance, s, d in glyphs:
        segs += [((a[0] + x, a[1]), (b[0] + x, b[1])) for a, b in s]
        dots += [(p[0] + x, p[1]) for p in d]
        x += advance
    width = x - 14
    return segs, dots, width


SEGS, DOTS, TITLE_W = letters()
TITLE_X, TITLE_Y = (48 + 527) / 2 - TITLE_W / 2 + 3, 118
STROKE = 6.0


def seg_dist(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1.0))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def title_distance(px, py):
    x, y = px - TITLE_X, py - TITLE_Y
    d = min(seg_dist(x, y, a, b) for a, b in SEGS)
    for cx, cy in DOTS:
        d = min(d, math.hypot(x - cx, y - cy) - 1.5)
    return d - STROKE


BUTTON_WELLS = [(152, 242, 228, 278), (347, 242, 423, 278)]
RIVETS = [(38, 60), (537, 60), (38, 346), (537, 346)]

BODY_TOP, BODY_BOTTOM = (44, 51, 66), (17, 20, 28)
RIM = (92, 101, 120)
OUTLINE = (5, 6, 9)
WELL_TOP, WELL_BOTTOM = (8, 10, 16), (17, 22, 33)
GOLD_TOP, GOLD_BOTTOM = (255, 232, 150), (236, 128, 28)
GLOW = (255, 150, 40)
ACCENT = (70, 200, 255)


def body_colour(y):
    return mix(BODY_TOP, BODY_BOTTOM, clamp((y - 6) / 366))


def shade(colour, light):
    return tuple(clamp(c + light, 0, 255) for c in colour)


def pixel(x, y):
    px, py = (x + 0.5) / SCALE, (y + 0.5) / SCALE
    sd = outline_sd(px, py)
    if sd >= 0:
        return KEY
    depth = -sd
    if depth < 1.5:
        return OUTLINE
    if depth < 6.5:  # raised rim
        nx, ny = gradient(outline_sd, px, py)
        lit = nx * LIGHT[0] + ny * LIGHT[1]
        slope = 1.0 - (depth - 1.5) / 5.0
        return shade(RIM, 75 * lit * (0.35 + 0.65 * slope) - 8)
    colour = body_colour(py)
    if 10.5 <= depth < 12.5:  # groove inside the rim: shadowed on the lit side
        nx, ny = gradient(outline_sd, px, py)
        lit = nx * LIGHT[0] + ny * LIGHT[1]
        colour = shade(colour, -14 + (22 if depth >= 11.5 else -12) * lit)

    well = title_well_sd(px, py)
    if well < 0:
        if well > -3.5:  # sunken bevel
            nx, ny = gradient(title_well_sd, px, py)
            lit = -(nx * LIGHT[0] + ny * LIGHT[1])
            colour = shade(mix(WELL_TOP, BODY_TOP, 0.5), 40 * lit)
        else:
            colour = mix(WELL_TOP, WELL_BOTTOM, clamp((py - 84) / 138))
            if 100 <= py <= 206 and 60 <= px <= 515:
                colour = title_pixel(px, py, colour)
        return colour
    if abs(py - 234.5) < 1.0 and 70 <= px <= 505:  # accent line, fading at both ends
        fade = clamp(min(px - 70, 505 - px) / 90)
        core = 1.0 if abs(py - 234.5) < 0.5 else 0.35
        return mix(colour, ACCENT, fade * core)
    for x0, y0, x1, y1 in BUTTON_WELLS:
        if x0 <= px < x1 and y0 <= py < y1:
            edge = min(px - x0, x1 - px, py - y0, y1 - py)
            if edge < 1.0:
                return OUTLINE
            if edge < 3.0:  # sunken: dark at the top and left, light at the bottom and right
                lit = 1 if (py - y0 < 3 or px - x0 < 3) else -1
                return shade(body_colour(py), -22 * lit)
            return mix(body_colour(py), WELL_TOP, 0.55)
    for cx, cy in RIVETS:
        r = math.hypot(px - cx, py - cy)
        if r < 5.0:
            nx, ny = (px - cx) / 5.0, (py - cy) / 5.0
            lit = nx * LIGHT[0] + ny * LIGHT[1]
            return shade(RIM, 60 * lit - (10 if r > 4.0 else 0))
        if r < 6.0:
            return shade(colour, -18)
    if 178 <= px < 397 and py < 40:  # emblem on the tab
        d = abs(px - 287.5) + abs(py - 23.0)
        if d < 11:
            t = clamp((py - 12) / 22)
            c = mix(GOLD_TOP, GOLD_BOTTOM, t)
            return c if d < 9.5 else mix(colour, OUTLINE, 0.8)
        if abs(py - 23.0) < 1.0 and (250 <= px < 272 or 303 <= px < 325):
            return mix(colour, GOLD_BOTTOM, 0.6)
    return colour


def title_pixel(px, py, background):
    d = title_distance(px, py)
    if d > 16:
        return background
    # Glow beyond the dark edge, then the edge, then the gold face.
    glow = 0.55 * math.exp(-max(d - 2.0, 0.0) / 5.0) if d > 2.0 else 0.55
    colour = mix(background, GLOW, glow)
    edge = clamp(2.5 - d)  # dark outline from d = 2 inwards
    colour = mix(colour, OUTLINE, edge)
    face = clamp(0.5 - d)
    gold = mix(GOLD_TOP, GOLD_BOTTOM, clamp((py - TITLE_Y) / 70))
    return mix(colour, gold, face)


def write_bmp(path, rows):
    stride = (W * 3 + 3) & ~3
    data = bytearray()
    for y in range(H - 1, -1, -1):
        row = bytearray()
        for r, g, b in rows[y]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        data += row
    header = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_png(path, rows):
    """A truecolour PNG, each row filtered by its difference to the row above (the fills are
    vertical gradients, so most of a row repeats the one above)."""
    raw = bytearray()
    previous = None
    for row in rows:
        line = bytes(v for rgb in row for v in rgb)
        if previous is None:
            raw += b"\0" + line
        else:
            raw += b"\2" + bytes((a - b) & 255 for a, b in zip(line, previous))
        previous = line

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
                chunk(b"IEND", b""))


def main():
    global SCALE, W, H
    args = sys.argv[1:]
    if len(args) >= 2 and args[0] == "--scale":
        SCALE = float(args[1])
        args = args[2:]
    if not 0.5 <= SCALE <= 4:
        sys.exit("draw_skin.py: the scale must lie between 0.5 and 4")
    W, H = scaled_size(SCALE)
    here = os.path.dirname(os.path.abspath(__file__))
    assets = os.path.join(here, "..", "..", "src", "skin", "assets")
    if args:
        out = args[0]
    elif SCALE == 1:
        out = os.path.join(assets, "zindle_skin.bmp")
    else:
        out = os.path.join(assets, "zindle_skin_%d.png" % int(SCALE * 100 + 0.5))
    rows = []
    for y in range(H):
        row = []
        for x in range(W):
            c = pixel(x, y)
            row.append(tuple(int(round(v)) for v in c))
        rows.append(row)
    if out.lower().endswith(".png"):
        write_png(out, rows)
    else:
        write_bmp(out, rows)


if __name__ == "__main__":
    main()
