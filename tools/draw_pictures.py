#!/usr/bin/env python3
"""Draws Velmora's pictures and writes them into resources/, then checks them there.

  logo.jpg        100 x 100 baseline JPEG: a loudspeaker with sound waves over a "V", on a badge
  open.bmp        16 x 16, 256 colours: an open folder
  save.bmp        16 x 16, 256 colours: a floppy disk
  about.bmp       16 x 16, 256 colours: an "i" in a circle
  exit.bmp        16 x 16, true colour: a door with an arrow leaving it
  *-20.bmp, *-24.bmp, *-32.bmp
                  the same four glyphs at 20, 24 and 32 pixels, for 125%, 150% and 200%: each
                  with a palette of only the colours it uses, 16 colours where that is enough and
                  else 256, so none is lost and the program carries few bytes for them
  velmora.ico     the badge at 16, 20, 24, 32, 40, 48, 64 and 256 pixels in 32-bit with alpha (the
                  40, 64 and 256-pixel ones, which only Vista and later ask for, PNG-compressed), and at 16, 32 and 48
                  pixels in 256 colours as well, for old systems and displays

The glyphs are magenta wherever they are transparent, the bottom-left pixel included, because the
button takes that pixel's colour as the transparent one. The 16-pixel glyphs are drawn pixel by
pixel; the larger ones from the same pictures as shapes on the 16-pixel grid. Only the standard library is used, except
that the JPEG is encoded by ImageMagick's convert or by cjpeg.

  python3 tools/draw_pictures.py                 draw and write everything
  python3 tools/draw_pictures.py --preview DIR   write enlarged PNGs of the files on disk, for review
  python3 tests/check_pictures.py                check the files as they are on disk (a ctest)
"""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests"))
from check_pictures import (GLYPH_SIZES, GLYPHS, HERE, ICON_SIZES, ICON_SIZES_8BIT, LOGO_SIZE,  # noqa: E402
                            MAGENTA, PNG_ICON_SIZES, PNG_SIGNATURE, check, indexed_bits,
                            large_glyph_name, read_bmp, read_ico)


def hex_rgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


# ---------------------------------------------------------------------------------------------
# Vector drawing with supersampling, for the logo and the icon. Shapes are in design units of a
# 100 x 100 square, whatever the pixel size.

def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    edges = list(zip(points, points[1:] + points[:1]))

    def inside(x, y):
        hit = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    return inside


def capsule(ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    r2 = (width / 2) ** 2

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= r2
    return inside


def arc(cx, cy, radius, width, half_angle):
    """A band of the given width along a circle, opening to the right, with round ends."""
    half = math.radians(half_angle)
    ends = [(cx + radius * math.cos(a), cy + radius * math.sin(a)) for a in (-half, half)]
    r2 = (width / 2) ** 2

    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - radius) <= width / 2 and abs(math.atan2(y - cy, x - cx)) <= half:
            return True
        return any((x - ex) ** 2 + (y - ey) ** 2 <= r2 for ex, ey in ends)
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def diagonal(start, end, x0=0, y0=0, x1=100, y1=100):
    """Paint blending from start at (x0, y0) to end at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def paint(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        return tuple(s + (e - s) * t for s, e in zip(start, end))
    return paint


def render(layers, size, samples):
    """Layers are (shape, paint, opacity), painted in order over transparency. Returns rows of
    (r, g, b, a) with straight (not premultiplied) 8-bit colour."""
    scale = 100.0 / size
    offsets = [(i + 0.5) / samples for i in range(samples)]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for oy in offsets:
                for ox in offsets:
                    x, y = (px + ox) * scale, (py + oy) * scale
                    r = g = b = a = 0.0
                    for shape, paint, opacity in layers:
                        if shape(x, y):
                            c = paint(x, y) if callable(paint) else paint
                            r = c[0] * opacity + r * (1 - opacity)
                            g = c[1] * opacity + g * (1 - opacity)
                            b = c[2] * opacity + b * (1 - opacity)
                            a = opacity + a * (1 - opacity)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if alpha <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(min(255, c / n / alpha)) for c in acc[:3])
                           + (round(alpha * 255),))
        rows.append(row)
    return rows


BADGE_FROM = hex_rgb("#1db6a6")  # teal, top left
BADGE_TO = hex_rgb("#3647a8")    # indigo, bottom right
WHITE = (255, 255, 255)


def badge_layers(with_speaker=True):
    """The badge: a white loudspeaker and its sound waves over a faint "V"."""
    layers = [(rounded_rect(3, 3, 97, 97, 21), diagonal(BADGE_FROM, BADGE_TO), 1.0)]
    if not with_speaker:
        return layers
    v = union(capsule(24, 22, 50, 82, 15), capsule(76, 22, 50, 82, 15))
    layers.append((v, WHITE, 0.18))
    layers.append((rounded_rect(13, 39, 27, 61, 3), WHITE, 1.0))
    layers.append((polygon([(25, 39), (45, 23), (45, 77), (25, 61)]), WHITE, 1.0))
    for radius, opacity in ((13, 1.0), (24, 0.85), (35, 0.7)):
        layers.append((arc(48, 50, radius, 6.0, 44), WHITE, opacity))
    return layers


# At 16 pixels smooth shapes blur into each other, so the loudspeaker is drawn pixel by pixel over
# the badge: "W" white, "w" a softer white for the outer wave.
SMALL_SPEAKER = [
    "................",
    "................",
    "................",
    "......W.....w...",
    ".....WW..W...w..",
    "....WWW...W..w..",
    "..WWWWW...W...w.",
    "..WWWWW...W...w.",
    "..WWWWW...W...w.",
    "..WWWWW...W...w.",
    "....WWW...W..w..",
    ".....WW..W...w..",
    "......W.....w...",
    "................",
    "................",
    "................"]


# At 20 and 24 pixels, the 144-DPI title bar's size, the smooth waves blur too: the loudspeaker
# is drawn pixel by pixel over the badge there as well.
SPEAKER_20 = [
    "....................",
    "....................",
    "....................",
    "....................",
    ".......W.......w....",
    "......WW...W....w...",
    ".....WWW....W...w...",
    "...WWWWW....W....w..",
    "...WWWWW....W....w..",
    "...WWWWW....W....w..",
    "...WWWWW....W....w..",
    "...WWWWW....W....w..",
    ".....WWW....W...w...",
    "......WW...W....w...",
    ".......W.......w....",
    "....................",
    "....................",
    "....................",
    "....................",
    "...................."]

SPEAKER_24 = [
    "........................",
    "........................",
    "........................",
    "........................",
    "..........W.......w.....",
    ".........WW.......w.....",
    "........WWW....W...w....",
    ".......WWWW.....W..w....",
    "....WWWWWWW.W...W..w....",
    "....WWWWWWW..W..W..w....",
    "....WWWWWWW..W..W..w....",
    "....WWWWWWW..W..W..w....",
    "....WWWWWWW..W..W..w....",
    "....WWWWWWW..W..W..w....",
    "....WWWWWWW..W..W..w....",
    "....WWWWWWW.W...W..w....",
    ".......WWWW.....W..w....",
    "........WWW....W...w....",
    ".........WW.......w.....",
    "..........W.......w.....",
    "........................",
    "........................",
    "........................",
    "........................"]

PIXEL_SPEAKERS = {16: SMALL_SPEAKER, 20: SPEAKER_20, 24: SPEAKER_24}


def draw_logo():
    rows = render(badge_layers(), LOGO_SIZE, 5)
    # The JPEG has no alpha: flatten onto the window's white background.
    return [[tuple(round(c * p[3] / 255 + 255 * (1 - p[3] / 255)) for c in p[:3]) for p in row]
            for row in rows]


def draw_icon(size):
    if size not in PIXEL_SPEAKERS:
        # Fewer samples for the largest image: 64 per pixel would take minutes, 16 look the same.
        return render(badge_layers(), size, 8 if size <= 64 else 4)
    rows = render(badge_layers(with_speaker=False), size, 8)
    strength = {"W": 1.0, "w": 0.75}
    speaker = PIXEL_SPEAKERS[size]
    assert len(speaker) == size and all(len(line) == size for line in speaker)
    for y, line in enumerate(speaker):
        for x, ch in enumerate(line):
            if ch in strength:
                r, g, b, a = rows[y][x]
                k = strength[ch]
                rows[y][x] = tuple(round(c + (255 - c) * k) for c in (r, g, b)) + (a,)
    return rows


# ---------------------------------------------------------------------------------------------
# The glyphs, drawn pixel by pixel; "." is magenta (transparent).

OPEN = (
    {".": MAGENTA, "K": hex_rgb("#8a5a00"), "D": hex_rgb("#e8a628"),
     "L": hex_rgb("#ffd666"), "H": hex_rgb("#fff0b0")},
    ["................",
     "................",
     ".KKKK...........",
     "KDDDDK..........",
     "KDDDDDKKKKKKK...",
     "KDDDDDDDDDDDDK..",
     "KDDDDDDDDDDDDK..",
     "KDDKKKKKKKKKKKKK",
     "KDKHHHHHHHHHHHHK",
     "KDKLLLLLLLLLLLK.",
     "KKLLLLLLLLLLLLK.",
     "KKLLLLLLLLLLLK..",
     "KLLLLLLLLLLLLK..",
     "KKKKKKKKKKKKKK..",
     "................",
     "................"])

SAVE = (
    {".": MAGENTA, "K": hex_rgb("#1c3060"), "B": hex_rgb("#3465ba"),
     "S": hex_rgb("#c8ced8"), "D": hex_rgb("#465060"), "W": WHITE, "L": hex_rgb("#9aaac8")},
    ["................",
     ".KKKKKKKKKKKK...",
     ".KBBSSSSSSSBBK..",
     ".KBBSSSSDDSBBBK.",
     ".KBBSSSSDDSBBBK.",
     ".KBBSSSSSSSBBBK.",
     ".KBBBBBBBBBBBBK.",
     ".KBWWWWWWWWWWBK.",
     ".KBWLLLLLLLLWBK.",
     ".KBWWWWWWWWWWBK.",
     ".KBWLLLLLLLLWBK.",
     ".KBWWWWWWWWWWBK.",
     ".KBWWWWWWWWWWBK.",
     ".KBWWWWWWWWWWBK.",
     ".KKKKKKKKKKKKKK.",
     "................"])

ABOUT = (
    {".": MAGENTA, "K": hex_rgb("#1d4f91"), "T": hex_rgb("#5ea4ec"), "B": hex_rgb("#3a86d8"),
     "M": hex_rgb("#2a6fc0"), "W": WHITE},
    [".....KKKKKK.....",
     "...KKTTTTTTKK...",
     "..KTTTTTTTTTTK..",
     ".KTTTTTWWTTTTTK.",
     ".KTTTTTWWTTTTTK.",
     "KBBBBBBBBBBBBBBK",
     "KBBBBBWWWBBBBBBK",
     "KBBBBBBWWBBBBBBK",
     "KBBBBBBWWBBBBBBK",
     "KBBBBBBWWBBBBBBK",
     "KMMMMMMWWMMMMMMK",
     ".KMMMMWWWWMMMMK.",
     ".KMMMMMMMMMMMMK.",
     "..KMMMMMMMMMMK..",
     "...KKMMMMMMKK...",
     ".....KKKKKK....."])

EXIT_DOOR = [
    "................",
    ".KKKKKKKK.......",
    ".KWWWWWWK.......",
    ".KWppppWK.......",
    ".KWpWWpWK.......",
    ".KWpWWpWK.......",
    ".KWppppWK.......",
    ".KWWWWWWK.......",
    ".KGWWWWWK.......",
    ".KWppppWK.......",
    ".KWpWWpWK.......",
    ".KWpWWpWK.......",
    ".KWppppWK.......",
    ".KWWWWWWK.......",
    ".KKKKKKKK.......",
    "................"]

EXIT_ARROW = [
    "................",
    "................",
    "................",
    "...........a....",
    "...........aa...",
    "...........aAa..",
    ".....aaaaaaaAAa.",
    ".....aHHHHHHHHHa",
    ".....aAAAAAAAAAa",
    ".....aaaaaaaAAa.",
    "...........aAa..",
    "...........aa...",
    "...........a....",
    "................",
    "................",
    "................"]


def grid_pixels(colours, grid):
    assert len(grid) == 16 and all(len(row) == 16 for row in grid)
    return [[colours[ch] for ch in row] for row in grid]


def draw_exit():
    """True colour, so the wood and the arrow are shaded smoothly."""
    def wood(x, y):
        t = (x - 2) / 5
        return tuple(round(a + (b - a) * t - y * 1.5) for a, b in zip((196, 132, 70), (150, 92, 44)))

    def arrow(x, y):
        t = (y - 6) / 4
        return tuple(round(a + (b - a) * t) for a, b in zip((96, 200, 100), (40, 150, 56)))

    flat = {"K": hex_rgb("#4a2c14"), "G": hex_rgb("#f5c842"), "a": hex_rgb("#1b5e20"),
            "H": hex_rgb("#8ee08e")}
    pixels = []
    for y in range(16):
        row = []
        for x in range(16):
            ch = EXIT_ARROW[y][x] if EXIT_ARROW[y][x] != "." else EXIT_DOOR[y][x]
            if ch == ".":
                row.append(MAGENTA)
            elif ch == "W":
                row.append(wood(x, y))
            elif ch == "p":
                row.append(tuple(round(c * 0.78) for c in wood(x, y)))
            elif ch == "A":
                row.append(arrow(x, y))
            else:
                row.append(flat[ch])
        pixels.append(row)
    return pixels


# ---------------------------------------------------------------------------------------------
# The glyphs at larger sizes: the pictures above as shapes on the 16-pixel grid (x and y from 0 to
# 16), filled with hard edges, because a colour key cannot blend, and outlined one pixel wide at
# every size, as the hand-drawn ones are. A layer is (shape, fill, outline or None); a colour may be
# a function of the grid point at a pixel's centre and of the width of a pixel on the grid.

def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def glyph_mask(shape, size, samples=4):
    """The pixels at least half covered by shape."""
    unit = 16.0 / size
    offsets = [(i + 0.5) / samples for i in range(samples)]
    return [[2 * sum(shape((px + ox) * unit, (py + oy) * unit) for oy in offsets for ox in offsets)
             >= samples * samples for px in range(size)] for py in range(size)]


def draw_large_glyph(layers, size):
    unit = 16.0 / size
    pixels = [[MAGENTA] * size for _ in range(size)]
    for shape, fill, outline in layers:
        mask = glyph_mask(shape, size)
        for y in range(size):
            for x in range(size):
                if not mask[y][x]:
                    continue
                edge = outline is not None and not all(
                    0 <= x + dx < size and 0 <= y + dy < size and mask[y + dy][x + dx]
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                colour = outline if edge else fill
                if callable(colour):
                    colour = colour((x + 0.5) * unit, (y + 0.5) * unit, unit)
                pixels[y][x] = tuple(max(0, min(255, round(c))) for c in colour)
    return pixels


def open_layers():
    c = OPEN[0]

    def flap(x, y, unit):
        return c["H"] if y < 7 + 2 * unit else c["L"]  # the first row under the flap's edge shines
    return [(polygon([(0, 3), (1, 2), (5, 2), (6, 4), (14, 4), (14, 14), (0, 14)]), c["D"], c["K"]),
            (polygon([(3, 7), (16, 7), (14, 14), (0, 14)]), flap, c["K"])]


def save_layers():
    c = SAVE[0]
    return [(polygon([(1, 1), (13, 1), (15, 3), (15, 15), (1, 15)]), c["B"], c["K"]),
            (box(4, 2, 11, 6), c["S"], None),
            (box(8, 3, 10, 5), c["D"], None),
            (box(3, 7, 13, 14.01), c["W"], None),
            (box(4, 8.5, 12, 9.5), c["L"], None),
            (box(4, 10.5, 12, 11.5), c["L"], None)]


def about_layers():
    c = ABOUT[0]

    def bands(x, y, unit):
        return c["T"] if y < 5 else c["B"] if y < 10 else c["M"]
    return [(disc(8, 8, 8), bands, c["K"]),
            (disc(8, 4, 1.25), c["W"], None),
            (box(7, 6, 9, 12), c["W"], None),
            (box(6, 6, 7, 7), c["W"], None),
            (box(6, 11, 10, 12), c["W"], None)]


def exit_layers():
    def wood(x, y, unit=0):
        # Darker down the door a step per grid row, as at 16 pixels: the 32-pixel door then keeps
        # to fewer than 256 colours.
        t = (x - 2.5) / 5
        return tuple(a + (b - a) * t - math.floor(y) * 1.5 for a, b in zip((196, 132, 70), (150, 92, 44)))

    def panel(x, y, unit):
        return tuple(c * 0.78 for c in wood(x, y))

    def arrow(x, y, unit):
        if 6 + unit <= y < 6 + 2 * unit:
            return hex_rgb("#8ee08e")  # the shaft's top shines
        t = (y - 6.5) / 4
        return tuple(a + (b - a) * t for a, b in zip((96, 200, 100), (40, 150, 56)))
    return [(box(1, 1, 9, 15), wood, hex_rgb("#4a2c14")),
            (box(3, 3, 7, 7), wood, panel),
            (box(3, 9, 7, 13), wood, panel),
            (disc(2.5, 8.5, 0.7), hex_rgb("#f5c842"), None),
            (polygon([(5, 6), (11, 6), (11, 3), (16, 8), (11, 13), (11, 10), (5, 10)]), arrow,
             hex_rgb("#1b5e20"))]


LARGE_GLYPHS = {"open": open_layers, "save": save_layers, "about": about_layers, "exit": exit_layers}

# ---------------------------------------------------------------------------------------------
# File formats.

def bmp_rows(pixels, bits, palette_index=None):
    """Bottom-up rows of BMP pixel data, each padded to four bytes."""
    out = bytearray()
    for row in reversed(pixels):
        if bits == 8:
            line = bytes(palette_index[p] for p in row)
        elif bits == 4:
            indices = [palette_index[p] for p in row] + [0]
            line = bytes(indices[i] << 4 | indices[i + 1] for i in range(0, len(row), 2))
        elif bits == 24:
            line = b"".join(bytes((b, g, r)) for r, g, b in row)
        else:  # 32, with alpha
            line = b"".join(bytes((b, g, r, a)) for r, g, b, a in row)
        out += line + b"\0" * (-len(line) % 4)
    return bytes(out)


def info_header(width, height, bits, image_size, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835,
                       colours_used, 0)


def palette_bytes(palette):
    padded = list(palette) + [(0, 0, 0)] * (256 - len(palette))
    return b"".join(bytes((b, g, r, 0)) for r, g, b in padded)


def write_bmp(path, pixels, bits, whole_palette=True):
    """bits 4 or 8: a palette, of 2 ** bits entries (whole_palette, as the 16-pixel glyphs always
    had) or of only the colours used."""
    height, width = len(pixels), len(pixels[0])
    if bits in (4, 8):
        palette = list(dict.fromkeys(p for row in pixels for p in row))
        assert len(palette) <= 2 ** bits, "%s has %d colours" % (path, len(palette))
        data = bmp_rows(pixels, bits, {p: i for i, p in enumerate(palette)})
        used = 2 ** bits if whole_palette else len(palette)
        table = palette_bytes(palette)[:4 * used]
    else:
        data, table, used = bmp_rows(pixels, 24), b"", 0
    offset = 14 + 40 + len(table)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset))
        f.write(info_header(width, height, bits, len(data), used))
        f.write(table + data)


def median_cut(colours, count):
    """At most `count` colours standing for `colours` (a dict of colour to pixel count)."""
    boxes = [list(colours.items())]
    while len(boxes) < count:
        def spread(box):
            return max(max(c[0][k] for c in box) - min(c[0][k] for c in box) for k in range(3))
        splittable = [b for b in boxes if len(b) > 1]
        if not splittable:
            break
        box = max(splittable, key=lambda b: spread(b) * sum(n for _, n in b))
        boxes.remove(box)
        channel = max(range(3), key=lambda k: max(c[0][k] for c in box) - min(c[0][k] for c in box))
        box.sort(key=lambda c: c[0][channel])
        half, seen, total = 0, 0, sum(n for _, n in box)
        while half < len(box) - 1 and seen + box[half][1] <= total / 2:
            seen += box[half][1]
            half += 1
        half = max(1, half)
        boxes += [box[:half], box[half:]]
    result = []
    for box in boxes:
        total = sum(n for _, n in box)
        result.append(tuple(round(sum(c[k] * n for c, n in box) / total) for k in range(3)))
    return result


def icon_image_8bit(rgba):
    """A 256-colour icon image: opaque where alpha is at least half, with a 1-bit mask."""
    size = len(rgba)
    counts = {}
    for row in rgba:
        for r, g, b, a in row:
            if a >= 128:
                counts[(r, g, b)] = counts.get((r, g, b), 0) + 1
    # Index 0 is black, the colour a masked-out pixel must have to show what lies behind it.
    palette = [(0, 0, 0)] + median_cut(counts, 255)
    nearest = {}

    def index(colour):
        if colour not in nearest:
            nearest[colour] = min(range(1, len(palette)),
                                  key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))
        return nearest[colour]

    indices = [[index(p[:3]) if p[3] >= 128 else 0 for p in row] for row in rgba]
    xor = bytearray()
    for row in reversed(indices):
        xor += bytes(row) + b"\0" * (-size % 4)
    mask = and_mask([[p[3] >= 128 for p in row] for row in rgba])
    header = info_header(size, size * 2, 8, len(xor) + len(mask), 256)
    return header + palette_bytes(palette) + bytes(xor) + mask


def and_mask(opaque):
    out = bytearray()
    for row in reversed(opaque):
        bits = 0
        for x, o in enumerate(row):
            if not o:
                bits |= 1 << (len(row) - 1 - x)
        line = bits.to_bytes((len(row) + 7) // 8, "big")
        out += line + b"\0" * (-len(line) % 4)
    return bytes(out)


def icon_image_32bit(rgba):
    size = len(rgba)
    xor = bmp_rows(rgba, 32)
    mask = and_mask([[p[3] > 0 for p in row] for row in rgba])
    return info_header(size, size * 2, 32, len(xor) + len(mask), 0) + xor + mask


def icon_image_png(rgba):
    return png_bytes(rgba)


def write_ico(path, images):
    """images: (size, bits, data) in directory order."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bits, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(data),
                                 offset + len(body))
        body += data
    with open(path, "wb") as f:
        f.write(directory + body)


def write_jpeg(path, pixels):
    """Baseline JPEG, full-resolution chroma so the thin white lines keep clean edges."""
    height, width = len(pixels), len(pixels[0])
    ppm = b"P6 %d %d 255\n" % (width, height) + bytes(c for row in pixels for p in row for c in p)
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "logo.ppm")
        with open(source, "wb") as f:
            f.write(ppm)
        # Only the real ImageMagick: other programs named convert exist.
        if os.access("/usr/bin/convert", os.X_OK):
            command = ["/usr/bin/convert", source, "-strip", "-interlace", "none",
                       "-sampling-factor", "1x1", "-quality", "92", "jpg:" + path]
        elif shutil.which("cjpeg"):
            command = [shutil.which("cjpeg"), "-quality", "92", "-sample", "1x1",
                       "-outfile", path, source]
        else:
            sys.exit("make_pictures.py: neither /usr/bin/convert (ImageMagick) nor cjpeg "
                     "(libjpeg-turbo-progs) is installed")
        subprocess.run(command, check=True)


def make():
    write_jpeg(os.path.join(HERE, "logo.jpg"), draw_logo())
    write_bmp(os.path.join(HERE, "open.bmp"), grid_pixels(*OPEN), 8)
    write_bmp(os.path.join(HERE, "save.bmp"), grid_pixels(*SAVE), 8)
    write_bmp(os.path.join(HERE, "about.bmp"), grid_pixels(*ABOUT), 8)
    write_bmp(os.path.join(HERE, "exit.bmp"), draw_exit(), 24)
    for glyph, layers in LARGE_GLYPHS.items():
        for size in GLYPH_SIZES:
            pixels = draw_large_glyph(layers(), size)
            write_bmp(os.path.join(HERE, large_glyph_name(glyph, size)), pixels,
                      indexed_bits(pixels), whole_palette=False)
    drawn = {size: draw_icon(size) for size in ICON_SIZES}
    # Largest first and 32-bit before 256 colours, the order Windows' own icons use.
    images = []
    for size in reversed(ICON_SIZES):
        image = icon_image_png if size in PNG_ICON_SIZES else icon_image_32bit
        images.append((size, 32, image(drawn[size])))
    for size in reversed(ICON_SIZES_8BIT):
        images.append((size, 8, icon_image_8bit(drawn[size])))
    write_ico(os.path.join(HERE, "velmora.ico"), images)



def png_bytes(rows):
    """RGB or RGBA rows as a PNG, filtered (Paeth, Sub or none per row, the smallest) and deflated."""
    channels = len(rows[0][0])
    stride = channels * len(rows[0])
    raw, previous = bytearray(), bytes(stride)
    for row in rows:
        line = bytes(c for p in row for c in p)
        candidates = [b"\0" + line, b"\1" + bytes((line[i] - (line[i - channels] if i >= channels else 0)) & 255
                                                   for i in range(stride))]

        def paeth(i):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            return a if pa <= pb and pa <= pc else b if pb <= pc else c
        candidates.append(b"\4" + bytes((line[i] - paeth(i)) & 255 for i in range(stride)))
        raw += min(candidates, key=lambda f: sum(x if x < 128 else 256 - x for x in f[1:]))
        previous = line

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6 if channels == 4 else 2, 0, 0, 0)
    return (PNG_SIGNATURE + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))



def write_png(path, rows):
    with open(path, "wb") as f:
        f.write(png_bytes(rows))


def enlarge(rows, factor):
    return [[p for p in row for _ in range(factor)] for row in rows for _ in range(factor)]


def over(rows, background):
    """Composites rows of (r, g, b, a) over background(x, y)."""
    return [[tuple(round(c * p[3] / 255 + bg * (1 - p[3] / 255)) for c, bg in zip(p, background(x, y)))
             for x, p in enumerate(row)] for y, row in enumerate(rows)]


def preview(folder):
    """Glyphs as stored and with magenta keyed out onto a button face; icons over a checkerboard."""
    os.makedirs(folder, exist_ok=True)
    face = lambda x, y: (240, 240, 240)
    checker = lambda x, y: (200, 200, 200) if (x // 4 + y // 4) % 2 else (255, 255, 255)
    for size in (16,) + GLYPH_SIZES:
        glyphs = []
        for name in GLYPHS:
            if size != 16:
                name = large_glyph_name(name[:-len(".bmp")], size)
            rows = read_bmp(os.path.join(HERE, name))[3]
            keyed = [[(0, 0, 0, 0) if p[:3] == MAGENTA else p for p in row] for row in rows]
            glyphs.append(over(rows, face))
            glyphs.append(over(keyed, face))
        strip = [sum((g[y] + [(240, 240, 240)] * 4 for g in glyphs), []) for y in range(size)]
        suffix = "" if size == 16 else "-%d" % size
        write_png(os.path.join(folder, "glyphs%s.png" % suffix), enlarge(strip, 160 // size))
    for size, bits, rows, _ in read_ico(os.path.join(HERE, "velmora.ico")):
        factor = max(1, 240 // size)
        write_png(os.path.join(folder, "icon-%d-%d.png" % (size, bits)),
                  over(enlarge(rows, factor), checker))
        write_png(os.path.join(folder, "icon-%d-%d-actual.png" % (size, bits)), over(rows, face))




def main(args):
    if args[:1] == ["--preview"] and len(args) == 2:
        preview(args[1])
        return 0
    if args:
        print(__doc__, file=sys.stderr)
        return 2
    make()
    return 0 if check() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
