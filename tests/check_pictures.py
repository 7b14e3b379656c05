#!/usr/bin/env python3
"""Checks Velmora's committed pictures in resources/: the sizes, colour depths and magenta corner
the window relies on, the JPEG the program's trimmed libjpeg can decode, the icon's images and
its size budget, and that the glyphs and icon images the program has always shown are unchanged.
tools/draw_pictures.py draws them and imports what is shared from here.

  python3 tests/check_pictures.py           check the files as they are on disk
"""

import hashlib
import os
import struct
import sys
import zlib

HERE = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "resources")

MAGENTA = (255, 0, 255)
GLYPHS = {"open.bmp": 8, "save.bmp": 8, "about.bmp": 8, "exit.bmp": 24}
GLYPH_SIZES = (20, 24, 32)  # beside 16: the size nearest each Windows scale up to 200%
# The 16-pixel glyphs the program has always shown: they must never change.
KNOWN_GLYPHS = {
    "open.bmp": "70ddbc70c19c10858873aae98d554fd1a8d228fada8ed31fce171a95c250e5fe",
    "save.bmp": "62541ca850593d7e3a934b15025db0efab7f1c27d5cc8fdde3d6313c57c31276",
    "about.bmp": "e9f60eefca54dd274b8d1b53c12346a543baa27efa177fafd901f182c70101f1",
    "exit.bmp": "4f0d40e0bd61857d4b3ec6760f8affd1f18232109add44a66d5541af61459405",
}
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)  # 32-bit: one per Windows scale of 16 and 32
ICON_SIZES_8BIT = (16, 32, 48)
# The sizes only Vista and later ask for are PNG-compressed, as those systems read them; XP asks
# for 16, 32 and 48 only, which stay plain bitmaps.
PNG_ICON_SIZES = (40, 64, 256)
LOGO_SIZE = 100
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
MAX_ICO_BYTES = 64 * 1024  # the program carries the icon; it has a size budget
# The images the icon had before the other sizes came: they must never change.
KNOWN_IMAGES = {
    (48, 32): "ae002186acc2b0812cee8968f94e4091f3d5d2ebe044c37bfa1c14e32cd3e13b",
    (32, 32): "7fd04db1e132c6c663def5e08b74bb2210abfd5f7a650ecdd13b4d3a82354127",
    (16, 32): "e6220f56ebacb751199ac1c00a36911bd913895d192675768f4d2de7450b4ab2",
    (48, 8): "3964ccc278ce54fac18dae6e2bd719bc762a53ebb29c9387e934deebc9566223",
    (32, 8): "69c6ce3e5bd089eca1028c7b2702a8c28dae5fee6c43cd97b5abcd3be3671035",
    (16, 8): "b6fccc13a4eca7b35552cdccb6a103c7483aa0f153e68ccbf6bc8cb5259d8061",
}

LARGE_GLYPH_NAMES = ("open", "save", "about", "exit")


def indexed_bits(pixels):
    """The fewest bits a pixel of a palette bitmap holding these colours needs."""
    return 4 if len({p for row in pixels for p in row}) <= 16 else 8


def large_glyph_name(glyph, size):
    return "%s-%d.bmp" % (glyph, size)



# ---------------------------------------------------------------------------------------------
# Reading the files back, to check them and to preview them.

def read_dib(data, in_icon):
    """(width, height, bits, rows of (r, g, b, a)) from a BITMAPINFOHEADER and what follows it.
    In an icon the height is doubled and the AND mask follows the colours."""
    (size, width, height, planes, bits, compression, _, _, _, used, _) = struct.unpack_from(
        "<IiiHHIIiiII", data)
    if size != 40 or planes != 1 or compression != 0 or bits not in (4, 8, 24, 32):
        raise ValueError("unexpected header: size %d planes %d compression %d bits %d"
                         % (size, planes, compression, bits))
    if in_icon:
        height //= 2
    at = 40
    palette = []
    if bits in (4, 8):
        count = used or 2 ** bits
        palette = [data[at + 4 * i:at + 4 * i + 3][::-1] for i in range(count)]
        at += 4 * count
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(height):
        line = data[at + y * stride:at + y * stride + (width * bits + 7) // 8]
        if bits == 8:
            row = [tuple(palette[i]) + (255,) for i in line]
        elif bits == 4:
            row = [tuple(palette[line[x // 2] >> (4 - 4 * (x % 2)) & 15]) + (255,) for x in range(width)]
        elif bits == 24:
            row = [(line[i + 2], line[i + 1], line[i], 255) for i in range(0, len(line), 3)]
        else:
            row = [(line[i + 2], line[i + 1], line[i], line[i + 3]) for i in range(0, len(line), 4)]
        rows.append(row)
    if in_icon:
        mask_at = at + stride * height
        mask_stride = (width + 31) // 32 * 4
        for y in range(height):
            line = data[mask_at + y * mask_stride:mask_at + (y + 1) * mask_stride]
            for x in range(width):
                if line[x // 8] >> (7 - x % 8) & 1 and bits != 32:
                    rows[y][x] = (0, 0, 0, 0)
    return width, height, bits, rows[::-1]


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    magic, file_size, _, _, offset = struct.unpack_from("<2sIHHI", data)
    if magic != b"BM" or file_size != len(data):
        raise ValueError("not a BMP or wrong size field")
    width, height, bits, rows = read_dib(data[14:], in_icon=False)
    used = struct.unpack_from("<I", data, 14 + 32)[0] or 2 ** bits
    if 14 + 40 + (4 * used if bits in (4, 8) else 0) != offset:
        raise ValueError("pixel offset %d does not follow the header" % offset)
    return width, height, bits, rows


def read_ico(path):
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    images = []
    for i in range(count):
        w, h, colours, _, planes, bits, length, offset = struct.unpack_from("<BBBBHHII", data,
                                                                             6 + 16 * i)
        if data[offset:offset + 8] == PNG_SIGNATURE:
            width, height, dib_bits, rows = read_png(data[offset:offset + length])
        else:
            width, height, dib_bits, rows = read_dib(data[offset:offset + length], in_icon=True)
        if (w or 256, h or 256, bits) != (width, height, dib_bits) or colours != 0 or planes != 1:
            raise ValueError("directory entry %d does not match its image" % i)
        images.append((width, bits, rows, data[offset:offset + length]))
    return images


def jpeg_frame(path):
    """(start-of-frame marker, width, height, components) of a JPEG file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8" or data[-2:] != b"\xff\xd9":
        raise ValueError("not a complete JPEG file")
    at = 2
    while at < len(data):
        marker, length = data[at + 1], struct.unpack_from(">H", data, at + 2)[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height, width, components = struct.unpack_from(">HHB", data, at + 5)
            return marker, width, height, components
        at += 2 + length
    raise ValueError("no frame header")


def jpeg_scans(path):
    """(frame markers, scans as component counts) of a JPEG file, walking its entropy-coded data."""
    with open(path, "rb") as f:
        data = f.read()
    frames, scans, at = [], [], 2
    while at + 4 <= len(data):
        marker = data[at + 1]
        if marker == 0xD9:
            break
        length = struct.unpack_from(">H", data, at + 2)[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xCC):
            frames.append((marker, data[at + 4]))  # marker and sample precision
        if marker == 0xDA:
            scans.append(data[at + 4])
            at += 2 + length
            # Skip the coded data: up to the next marker that is neither a stuffed 0 nor a restart.
            while at + 1 < len(data) and not (data[at] == 0xFF and data[at + 1] != 0
                                              and not 0xD0 <= data[at + 1] <= 0xD7):
                at += 1
            continue
        at += 2 + length
    return frames, scans


def check():
    problems = []

    def expect(ok, what):
        if not ok:
            problems.append(what)

    marker, width, height, components = jpeg_frame(os.path.join(HERE, "logo.jpg"))
    expect(marker == 0xC0, "logo.jpg is not baseline (SOF%d)" % (marker - 0xC0))
    expect((width, height, components) == (LOGO_SIZE, LOGO_SIZE, 3),
           "logo.jpg is %dx%d with %d components" % (width, height, components))
    # The program's libjpeg decodes only 8-bit baseline Huffman JPEGs in one interleaved scan
    # (scripts/build-libjpeg.sh): no progressive, multi-scan, arithmetic or 12-bit files.
    frames, scans = jpeg_scans(os.path.join(HERE, "logo.jpg"))
    expect(frames == [(0xC0, 8)], "logo.jpg frames %s: the trimmed decoder wants one 8-bit "
           "baseline frame" % frames)
    expect(scans == [components], "logo.jpg scans %s: the trimmed decoder wants one scan of all "
           "%d components" % (scans, components))
    glyphs = [(name, 16, bits) for name, bits in GLYPHS.items()]
    glyphs += [(large_glyph_name(g, size), size, None) for g in LARGE_GLYPH_NAMES for size in GLYPH_SIZES]
    for name, size, bits in glyphs:
        width, height, actual, rows = read_bmp(os.path.join(HERE, name))
        bits = bits or indexed_bits(rows)
        expect((width, height, actual) == (size, size, bits),
               "%s is %dx%d at %d bits" % (name, width, height, actual))
        expect(rows[-1][0][:3] == MAGENTA, "%s: bottom-left pixel is not magenta" % name)
        expect(any(p[:3] != MAGENTA for row in rows for p in row), "%s is empty" % name)
    for name, known in KNOWN_GLYPHS.items():
        with open(os.path.join(HERE, name), "rb") as f:
            expect(hashlib.sha256(f.read()).hexdigest() == known,
                   "%s is not the glyph the program has always shown" % name)
    path = os.path.join(HERE, "velmora.ico")
    images = read_ico(path)
    wanted = [(s, 32) for s in ICON_SIZES] + [(s, 8) for s in ICON_SIZES_8BIT]
    expect(sorted((s, b) for s, b, _, _ in images) == sorted(wanted),
           "velmora.ico holds %s" % [(s, b) for s, b, _, _ in images])
    for size, bits, rows, data in images:
        alphas = {p[3] for row in rows for p in row}
        expect(0 in alphas and 255 in alphas, "icon %d/%d has no transparent corner" % (size, bits))
        expect((data[:8] == PNG_SIGNATURE) == (size in PNG_ICON_SIZES and bits == 32),
               "icon %d/%d: only the %s-pixel images are PNG" % (size, bits, PNG_ICON_SIZES))
        known = KNOWN_IMAGES.get((size, bits))
        expect(known is None or hashlib.sha256(data).hexdigest() == known,
               "icon %d/%d is not the image the program has always shown" % (size, bits))
    expect(os.path.getsize(path) <= MAX_ICO_BYTES,
           "velmora.ico is %d bytes, over %d" % (os.path.getsize(path), MAX_ICO_BYTES))
    for problem in problems:
        print("check_pictures.py: " + problem, file=sys.stderr)
    return not problems



def read_png(data):
    """(width, height, 32, rows of (r, g, b, a)) of an 8-bit RGBA PNG as png_bytes writes it."""
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        raise ValueError("PNG image is not 8-bit RGBA without interlacing")
    raw, stride, rows, previous = zlib.decompress(idat), 4 * width, [], bytes(4 * width)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = previous[i], (previous[i - 4] if i >= 4 else 0)
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[i:i + 4]) for i in range(0, stride, 4)])
        previous = bytes(line)
    return width, height, 32, rows



if __name__ == "__main__":
    sys.exit(0 if check() else 1)
