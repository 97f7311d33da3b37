#!/usr/bin/env python3
"""Draw the About dialog's emblem and write it as a 32-bit BMP with alpha.

The emblem is the program icon's artwork at 60 x 60 pixels: the rounded teal
tile with its gentle vertical gradient and thin dark border, the bold white
capital "T" and the green status dot in the bottom-right corner. The drawing
code is the icon script's own (resources/icon/make_icon.py); this script adds
the 60-pixel geometry and the bitmap encoding.

Usage:
    python3 resources/emblem/make_emblem.py resources/emblem.bmp
    python3 resources/emblem/make_emblem.py --check resources/emblem.bmp

Only the Python 3 standard library is used and the output is deterministic:
every run produces the same bytes.

File layout: BITMAPFILEHEADER (14 bytes), BITMAPV5HEADER (124 bytes) with
BI_BITFIELDS and the masks R 0x00FF0000, G 0x0000FF00, B 0x000000FF,
A 0xFF000000, colour space sRGB, then 60 rows of 60 BGRA pixels stored top-down
(negative height). Alpha is straight (not premultiplied); fully transparent
pixels are all zero.
"""

import os
import struct
import sys

# Importing the icon script must leave no compiled cache in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                os.pardir, "icon"))
import make_icon  # noqa: E402  (the shared artwork)

SIZE = 60

# The 64-pixel icon's geometry scaled by 60/64, with the straight edges of the
# tile and the letter moved to whole pixels so that they stay crisp.
make_icon.LAYOUTS[SIZE] = make_icon.Layout(
    SIZE, (2, 2, 58, 58), 11.0, 1.25,
    (13, 11, 47, 19), (26, 19, 34, 49),
    (47.5, 47.5), 8.0, 10.5)

FILE_HEADER = struct.Struct("<2sIHHI")
# biSize, width, height, planes, bit count, compression, size image,
# x/y pixels per metre, colours used, colours important, R/G/B/A masks,
# colour space type, endpoints (36 bytes), gamma R/G/B, intent, profile data,
# profile size, reserved.
V5_HEADER = struct.Struct("<IiiHHIIiiIIIIIII36sIIIIIII")
BI_BITFIELDS = 3
LCS_SRGB = 0x73524742
LCS_GM_IMAGES = 4
PIXELS_PER_METRE = 3780  # 96 DPI
MASKS = (0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)


def build_bmp():
    rows = make_icon.render(SIZE)
    pixels = bytearray()
    for row in rows:  # top-down
        for r, g, b, a in row:
            alpha = int(round(a * 255))
            if alpha == 0:
                pixels += b"\0\0\0\0"
            else:
                pixels += struct.pack("<BBBB", int(round(b)), int(round(g)),
                                      int(round(r)), alpha)
    info = V5_HEADER.pack(V5_HEADER.size, SIZE, -SIZE, 1, 32, BI_BITFIELDS,
                          len(pixels), PIXELS_PER_METRE, PIXELS_PER_METRE,
                          0, 0, *MASKS, LCS_SRGB, b"\0" * 36, 0, 0, 0,
                          LCS_GM_IMAGES, 0, 0, 0)
    offset = FILE_HEADER.size + len(info)
    header = FILE_HEADER.pack(b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + bytes(pixels)


def check_bmp(path):
    """Parse the file back and verify its headers and pixels."""
    with open(path, "rb") as f:
        data = f.read()
    problems = []
    magic, file_size, _, _, offset = FILE_HEADER.unpack_from(data, 0)
    if magic != b"BM" or file_size != len(data):
        problems.append("bad file header")
    fields = V5_HEADER.unpack_from(data, FILE_HEADER.size)
    (bi_size, width, height, planes, bpp, compression, image_size) = fields[:7]
    masks = fields[11:15]
    print("file %s: %d bytes, %dx%d, %d-bit, header %d bytes" %
          (path, len(data), width, height, bpp, bi_size))
    if (bi_size, width, height, planes, bpp, compression) != (
            V5_HEADER.size, SIZE, -SIZE, 1, 32, BI_BITFIELDS):
        problems.append("not a top-down %dx%d 32-bit BI_BITFIELDS V5 bitmap"
                        % (SIZE, SIZE))
    if masks != MASKS:
        problems.append("unexpected channel masks")
    if offset != FILE_HEADER.size + bi_size or \
            image_size != SIZE * SIZE * 4 or \
            len(data) != offset + image_size:
        problems.append("pixel data out of place")
    if not problems and data != build_bmp():
        problems.append("pixels differ from what this script draws")
    for problem in problems:
        print("ERROR: " + problem)
    print("OK" if not problems else "FAILED")
    return not problems


def main(argv):
    if len(argv) == 3 and argv[1] == "--check":
        return 0 if check_bmp(argv[2]) else 1
    if len(argv) != 2 or argv[1].startswith("-"):
        sys.stderr.write("usage: make_emblem.py OUTPUT.bmp\n"
                         "       make_emblem.py --check FILE.bmp\n")
        return 2
    data = build_bmp()
    with open(argv[1], "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (argv[1], len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
