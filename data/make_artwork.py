#!/usr/bin/env python3
"""Draws Quorvane's pictures and writes them next to this script.

    quorvane-16.png, quorvane-32.png, quorvane-48.png, quorvane-128.png, quorvane.svg
        the program icon: a page of text with a tally badge
    hand.png
        the 32 x 32, 16-colour pointing hand for the download link (hot spot 12, 1)

Needs nothing beyond the Python standard library. Run it again after changing a drawing;
quorvane.ico (Windows only) is then rebuilt from the PNGs with ImageMagick:
    convert quorvane-16.png quorvane-32.png quorvane-48.png quorvane.ico
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


# --- PNG writing --------------------------------------------------------------------------

def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png_rgba(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(_chunk(b"IHDR", ihdr))
        f.write(_chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(_chunk(b"IEND", b""))


def write_png_indexed4(path, rows, palette, alpha):
    """rows: lists of palette indices (0..15); palette: 16 (r, g, b); alpha: per index."""
    height = len(rows)
    width = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for x in range(0, width, 2):
            hi = row[x]
            lo = row[x + 1] if x + 1 < width else 0
            raw.append((hi << 4) | lo)
    ihdr = struct.pack(">IIBBBBB", width, height, 4, 3, 0, 0, 0)
    plte = b"".join(bytes(c) for c in palette)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(_chunk(b"IHDR", ihdr))
        f.write(_chunk(b"PLTE", plte))
        f.write(_chunk(b"tRNS", bytes(alpha)))
        f.write(_chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(_chunk(b"IEND", b""))


# --- The icon: shapes on a 16 x 16 grid, rendered at any size -----------------------------

def _hex(colour):
    return tuple(int(colour[i:i + 2], 16) for i in (1, 3, 5))


def _thick_line(x0, y0, x1, y1, width):
    dx, dy = x1 - x0, y1 - y0
    length = (dx * dx + dy * dy) ** 0.5
    nx, ny = -dy / length * width / 2, dx / length * width / 2
    return [(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)]


def _rect(x, y, w, h):
    return [(x, y), (x + w, y), (x + w, y + h), (x, y + h)]


OUTLINE = "#3a3f4b"
ICON_SHAPES = [
    # The page, with its top-right corner folded over.
    (OUTLINE, [(1, 0), (9, 0), (13, 4), (13, 16), (1, 16)]),
    ("#ffffff", [(2, 1), (8.6, 1), (12, 4.4), (12, 15), (2, 15)]),
    (OUTLINE, [(8, 0), (9, 0), (9, 4), (13, 4), (13, 5), (8, 5)]),
    ("#d4d8e0", [(9, 1.4), (11.6, 4), (9, 4)]),
    # Lines of text.
    ("#5b7bb5", _rect(3, 3, 4, 1)),
    ("#5b7bb5", _rect(3, 6, 7, 1)),
    ("#5b7bb5", _rect(3, 9, 4, 1)),
    ("#5b7bb5", _rect(3, 12, 3, 1)),
    # The tally badge: four strokes and the one that crosses them.
    ("#a32a17", _rect(7, 8, 9, 8)),
    ("#e0482e", _rect(8, 9, 7, 6)),
    ("#ffffff", _rect(8, 10, 1, 4)),
    ("#ffffff", _rect(10, 10, 1, 4)),
    ("#ffffff", _rect(12, 10, 1, 4)),
    ("#ffffff", _rect(14, 10, 1, 4)),
    ("#ffffff", _thick_line(8, 13.5, 15, 10, 1.2)),
]


def _inside(px, py, poly):
    inside = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def render_icon(size, samples=4):
    scale = 16.0 / size
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    px = (x + (sx + 0.5) / samples) * scale
                    py = (y + (sy + 0.5) / samples) * scale
                    colour = None
                    for fill, poly in ICON_SHAPES:
                        if _inside(px, py, poly):
                            colour = fill
                    if colour is not None:
                        r, g, b = _hex(colour)
                        acc[0] += r
                        acc[1] += g
                        acc[2] += b
                        acc[3] += 1
            n = acc[3]
            if n == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[0] / n), round(acc[1] / n), round(acc[2] / n),
                            round(255 * n / (samples * samples))))
        rows.append(row)
    return rows


def write_svg(path):
    parts = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 16 16">']
    for fill, poly in ICON_SHAPES:
        points = " ".join(f"{x:g},{y:g}" for x, y in poly)
        parts.append(f'  <polygon fill="{fill}" points="{points}"/>')
    parts.append("</svg>")
    with open(path, "w", encoding="ascii") as f:
        f.write("\n".join(parts) + "\n")


# --- The hand pointer, pixel by pixel -----------------------------------------------------

# 16 colours; index 0 is the see-through one.
HAND_PALETTE = [
    (0, 0, 0), (0, 0, 0), (255, 255, 255), (128, 128, 128),
    (192, 192, 192), (0, 0, 128), (0, 0, 255), (128, 0, 0),
    (255, 0, 0), (0, 128, 0), (0, 255, 0), (128, 128, 0),
    (255, 255, 0), (128, 0, 128), (0, 128, 128), (0, 255, 255),
]
HAND_ALPHA = [0] + [255] * 15
HAND_KEYS = {".": 0, "K": 1, "W": 2, "G": 3, "L": 4, "N": 5, "B": 6}

HAND = [
    "................................",
    "...........KKK..................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWKKK...............",
    "..........KWWWKWWKKK............",
    "..........KWWWKWWKWWKKK.........",
    "..........KWWWKWWKWWKWWK........",
    "......KK..KWWWKWWKWWKWWK........",
    ".....KWWK.KWWWKWWKWWKWLK........",
    ".....KWWWKKWWWWWWWWWWWLK........",
    "......KWWWWWWWWWWWWWWWLK........",
    "......KWWWWWWWWWWWWWWWLK........",
    ".......KWWWWWWWWWWWWWWLK........",
    ".......KWWWWWWWWWWWWWLGK........",
    "........KWWWWWWWWWWWWLGK........",
    "........KWWWWWWWWWWWWGK.........",
    ".........KWWWWWWWWWWLGK.........",
    ".........KWWWWWWWWWWGK..........",
    ".........KKKKKKKKKKKKK..........",
    ".........KBBBBBBBBBBNK..........",
    ".........KBBBBBBBBBBNK..........",
    ".........KBBBBBBBBBBNK..........",
    ".........KKKKKKKKKKKKK..........",
    "................................",
    "................................",
    "................................",
    "................................",
]


def main():
    for size in (16, 32, 48, 128):
        # The smallest one is drawn pixel-exact: smoothing blurs a 16-pixel picture.
        write_png_rgba(os.path.join(HERE, f"quorvane-{size}.png"), size, size,
                       render_icon(size, 1 if size == 16 else 4))
    write_svg(os.path.join(HERE, "quorvane.svg"))

    assert len(HAND) == 32 and all(len(r) == 32 for r in HAND)
    assert HAND[1][12] == "K", "the hot spot (12, 1) must be the fingertip"
    rows = [[HAND_KEYS[c] for c in r] for r in HAND]
    write_png_indexed4(os.path.join(HERE, "hand.png"), rows, HAND_PALETTE, HAND_ALPHA)


if __name__ == "__main__":
    main()
