#!/usr/bin/env python3
"""Draw the TellurixAdmin program icon and write it as a Windows .ico file.

The artwork is drawn procedurally: a rounded square tile in deep teal with a
gentle vertical gradient, a bold white capital "T" in the middle and a small
green status dot in the bottom-right corner.

Usage:
    python3 resources/icon/make_icon.py resources/TellurixAdmin.ico
    python3 resources/icon/make_icon.py --check resources/TellurixAdmin.ico

Only the Python 3 standard library is used and the output is deterministic:
every run produces the same bytes.

The file holds seven images, in this order:
    16x16 4-bit, 32x32 4-bit, 48x48 4-bit,
    16x16 8-bit, 32x32 8-bit, 48x48 8-bit,
    64x64 32-bit (BGRA with alpha).
Every image is stored as a classic bitmap: BITMAPINFOHEADER (biHeight is twice
the image height), optional palette, XOR bitmap, then a 1-bit AND mask. Rows
run bottom-up and each row is padded to a multiple of 4 bytes.
"""

import struct
import sys

# ---------------------------------------------------------------------------
# Colours
# ---------------------------------------------------------------------------

TILE_TOP = (40, 128, 150)      # top of the tile gradient
TILE_BOTTOM = (14, 70, 96)     # bottom of the tile gradient
TILE_EDGE = (8, 46, 66)        # thin darker border around the tile
WHITE = (255, 255, 255)        # the letter
DOT_GREEN = (0, 192, 0)        # the status dot
DOT_RING = (8, 46, 66)         # dark ring that separates the dot from the tile

SUPERSAMPLE = 4                # 4x4 samples per pixel for anti-aliasing

# The 16 standard Windows colours, in their usual order.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def lerp(a, b, t):
    return a + (b - a) * t


def lerp_rgb(c0, c1, t):
    return tuple(lerp(c0[i], c1[i], t) for i in range(3))


def make_palette_256():
    """Fixed 256-colour palette used by the 8-bit images.

    16 standard colours, a 6x6x6 colour cube (216), a 16-step ramp of the
    tile's own teal shades and 8 extra greys: 16 + 216 + 16 + 8 = 256.
    """
    pal = list(VGA16)
    levels = (0, 51, 102, 153, 204, 255)
    for r in levels:
        for g in levels:
            for b in levels:
                pal.append((r, g, b))
    for i in range(16):
        c = lerp_rgb(TILE_TOP, TILE_BOTTOM, i / 15.0)
        pal.append(tuple(int(round(v)) for v in c))
    for i in range(8):
        v = int(round(24 + i * (230 - 24) / 7.0))
        pal.append((v, v, v))
    assert len(pal) == 256
    return pal


PALETTE_16 = VGA16
PALETTE_256 = make_palette_256()


# ---------------------------------------------------------------------------
# Geometry, in pixel units for each size so that the straight edges of the
# tile and the letter land on whole pixels and stay crisp when small.
# ---------------------------------------------------------------------------

class Layout:
    def __init__(self, size, tile, radius, edge, bar, stem, dot_c, dot_r,
                 ring_r):
        self.size = size
        self.tile = tile          # (x0, y0, x1, y1) of the rounded square
        self.radius = radius      # corner radius of the tile
        self.edge = edge          # width of the darker border (0 = none)
        self.bar = bar            # (x0, y0, x1, y1) top bar of the "T"
        self.stem = stem          # (x0, y0, x1, y1) stem of the "T"
        self.dot_c = dot_c        # centre of the status dot
        self.dot_r = dot_r        # radius of the status dot
        self.ring_r = ring_r      # outer radius of the dark ring (0 = none)


LAYOUTS = {
    16: Layout(16, (0, 0, 16, 16), 3.0, 0.0,
               (3, 3, 13, 5), (7, 5, 9, 13),
               (12.5, 12.5), 2.6, 3.4),
    32: Layout(32, (1, 1, 31, 31), 6.0, 1.0,
               (7, 6, 25, 10), (14, 10, 18, 26),
               (25.5, 25.5), 4.5, 6.0),
    48: Layout(48, (1, 1, 47, 47), 9.0, 1.0,
               (10, 9, 38, 15), (21, 15, 27, 39),
               (38.0, 38.0), 6.5, 8.5),
    64: Layout(64, (2, 2, 62, 62), 12.0, 1.25,
               (14, 12, 50, 20), (28, 20, 36, 52),
               (50.5, 50.5), 8.5, 11.0),
}


def in_round_rect(px, py, rect, r):
    x0, y0, x1, y1 = rect
    if px < x0 or px > x1 or py < y0 or py > y1:
        return False
    dx = max(x0 + r - px, 0.0, px - (x1 - r))
    dy = max(y0 + r - py, 0.0, py - (y1 - r))
    return dx * dx + dy * dy <= r * r


def in_rect(px, py, rect):
    x0, y0, x1, y1 = rect
    return x0 <= px < x1 and y0 <= py < y1


def in_circle(px, py, c, r):
    dx = px - c[0]
    dy = py - c[1]
    return dx * dx + dy * dy <= r * r


def sample(lay, px, py):
    """Colour of the artwork at one point, or None where it is transparent."""
    colour = None
    tile = lay.tile
    if in_round_rect(px, py, tile, lay.radius):
        t = (py - tile[1]) / float(tile[3] - tile[1])
        colour = lerp_rgb(TILE_TOP, TILE_BOTTOM, t)
        if lay.edge > 0:
            e = lay.edge
            inner = (tile[0] + e, tile[1] + e, tile[2] - e, tile[3] - e)
            if not in_round_rect(px, py, inner, lay.radius - e):
                colour = TILE_EDGE
        if in_rect(px, py, lay.bar) or in_rect(px, py, lay.stem):
            colour = WHITE
        if lay.ring_r > 0 and in_circle(px, py, lay.dot_c, lay.ring_r):
            colour = DOT_RING
    if in_circle(px, py, lay.dot_c, lay.dot_r):
        colour = DOT_GREEN
    return colour


def render(size):
    """Render one size. Returns rows (top-down) of (r, g, b, coverage)."""
    lay = LAYOUTS[size]
    n = SUPERSAMPLE
    offs = [(i + 0.5) / n for i in range(n)]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            sr = sg = sb = 0.0
            hits = 0
            for oy in offs:
                for ox in offs:
                    c = sample(lay, x + ox, y + oy)
                    if c is not None:
                        sr += c[0]
                        sg += c[1]
                        sb += c[2]
                        hits += 1
            if hits:
                row.append((sr / hits, sg / hits, sb / hits,
                            hits / float(n * n)))
            else:
                row.append((0.0, 0.0, 0.0, 0.0))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# Colour reduction
# ---------------------------------------------------------------------------

def nearest(palette, rgb):
    """Index of the nearest palette entry (weighted RGB distance)."""
    r, g, b = rgb
    best = 0
    best_d = None
    for i, (pr, pg, pb) in enumerate(palette):
        d = 3 * (r - pr) ** 2 + 4 * (g - pg) ** 2 + 2 * (b - pb) ** 2
        if best_d is None or d < best_d:
            best_d = d
            best = i
    return best


def quantise(pixels, palette):
    """Map to palette indices; pixels under 50% coverage become transparent.

    Returns (indices, mask) in top-down order; mask 1 means transparent.
    Transparent pixels use index 0 (black) so the screen shows through.
    """
    cache = {}
    indices, mask = [], []
    for row in pixels:
        irow, mrow = [], []
        for r, g, b, a in row:
            if a < 0.5:
                irow.append(0)
                mrow.append(1)
                continue
            key = (int(round(r)), int(round(g)), int(round(b)))
            if key not in cache:
                cache[key] = nearest(palette, key)
            irow.append(cache[key])
            mrow.append(0)
        indices.append(irow)
        mask.append(mrow)
    return indices, mask


# ---------------------------------------------------------------------------
# Bitmap encoding
# ---------------------------------------------------------------------------

def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def pack_mask(mask):
    """1-bit AND mask, bottom-up, rows padded to 4 bytes."""
    out = bytearray()
    for row in reversed(mask):
        bits = bytearray((len(row) + 7) // 8)
        for x, m in enumerate(row):
            if m:
                bits[x >> 3] |= 0x80 >> (x & 7)
        out += pad4(bytes(bits))
    return bytes(out)


def info_header(size, bpp, image_bytes, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0,
                       image_bytes, 0, 0, colours_used, 0)


def palette_bytes(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)


def encode_indexed(pixels, palette, bpp):
    size = len(pixels)
    indices, mask = quantise(pixels, palette)
    xor = bytearray()
    for row in reversed(indices):
        if bpp == 4:
            line = bytearray()
            for x in range(0, size, 2):
                hi = row[x]
                lo = row[x + 1] if x + 1 < size else 0
                line.append((hi << 4) | lo)
        else:
            line = bytearray(row)
        xor += pad4(bytes(line))
    and_mask = pack_mask(mask)
    header = info_header(size, bpp, len(xor) + len(and_mask), len(palette))
    return header + palette_bytes(palette) + bytes(xor) + and_mask


def encode_bgra(pixels):
    size = len(pixels)
    xor = bytearray()
    mask = []
    for row in pixels:
        mask.append([1 if int(round(p[3] * 255)) == 0 else 0 for p in row])
    for row in reversed(pixels):
        for r, g, b, a in row:
            alpha = int(round(a * 255))
            if alpha == 0:
                xor += b"\0\0\0\0"
            else:
                xor += struct.pack("<BBBB", int(round(b)), int(round(g)),
                                   int(round(r)), alpha)
    and_mask = pack_mask(mask)
    header = info_header(size, 32, len(xor) + len(and_mask), 0)
    return header + bytes(xor) + and_mask


# ---------------------------------------------------------------------------
# Icon file
# ---------------------------------------------------------------------------

IMAGES = [  # (size, bits per pixel), in file order
    (16, 4), (32, 4), (48, 4),
    (16, 8), (32, 8), (48, 8),
    (64, 32),
]


def build_icon():
    rendered = {}
    blobs = []
    for size, bpp in IMAGES:
        if size not in rendered:
            rendered[size] = render(size)
        pixels = rendered[size]
        if bpp == 4:
            blobs.append(encode_indexed(pixels, PALETTE_16, 4))
        elif bpp == 8:
            blobs.append(encode_indexed(pixels, PALETTE_256, 8))
        else:
            blobs.append(encode_bgra(pixels))

    out = bytearray(struct.pack("<HHH", 0, 1, len(IMAGES)))
    offset = 6 + 16 * len(IMAGES)
    for (size, bpp), blob in zip(IMAGES, blobs):
        colour_count = 16 if bpp == 4 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count,
                           0, 1, bpp, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def check_icon(path):
    """Parse an icon file back and verify its directory and bitmaps."""
    with open(path, "rb") as f:
        data = f.read()
    ok = True

    def fail(msg):
        nonlocal ok
        ok = False
        print("ERROR: " + msg)

    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    print("file %s: %d bytes, type %d, %d images" % (path, len(data), kind,
                                                    count))
    if reserved != 0 or kind != 1:
        fail("bad header")
    if count != len(IMAGES):
        fail("expected %d images" % len(IMAGES))
    expect_offset = 6 + 16 * count
    for i in range(count):
        (w, h, ncol, res, planes, bitcount, nbytes,
         offset) = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w = w or 256
        h = h or 256
        print("  #%d %2dx%-2d %2d-bit colours=%-2d planes=%d bytes=%-5d "
              "offset=%d" % (i, w, h, bitcount, ncol, planes, nbytes, offset))
        if i < len(IMAGES):
            size, bpp = IMAGES[i]
            if (w, h, bitcount) != (size, size, bpp):
                fail("image %d: expected %dx%d %d-bit" % (i, size, size, bpp))
            if ncol != (16 if bpp == 4 else 0) or planes != 1 or res != 0:
                fail("image %d: bad colour count / planes" % i)
        if offset != expect_offset:
            fail("image %d: offset %d, expected %d" % (i, offset,
                                                       expect_offset))
        expect_offset = offset + nbytes
        (bi_size, bi_w, bi_h, bi_planes, bi_bpp, bi_comp, bi_img, _, _,
         bi_used, _) = struct.unpack_from("<IiiHHIIiiII", data, offset)
        if (bi_size, bi_w, bi_h, bi_planes, bi_bpp, bi_comp) != (
                40, w, 2 * h, 1, bitcount, 0):
            fail("image %d: bad BITMAPINFOHEADER" % i)
        n_pal = {4: 16, 8: 256}.get(bitcount, 0)
        xor_row = ((w * bitcount + 31) // 32) * 4
        and_row = ((w + 31) // 32) * 4
        want = 40 + 4 * n_pal + (xor_row + and_row) * h
        if nbytes != want:
            fail("image %d: %d bytes, expected %d" % (i, nbytes, want))
        if bi_img != (xor_row + and_row) * h:
            fail("image %d: bad biSizeImage" % i)
        if bitcount == 32:
            pix = offset + 40
            amask = pix + xor_row * h
            for y in range(h):
                for x in range(w):
                    alpha = data[pix + y * xor_row + x * 4 + 3]
                    bit = (data[amask + y * and_row + (x >> 3)] >>
                           (7 - (x & 7))) & 1
                    if bit != (1 if alpha == 0 else 0):
                        fail("image %d: AND mask does not match alpha at "
                             "(%d,%d)" % (i, x, y))
                        break
    if expect_offset != len(data):
        fail("file size %d, images end at %d" % (len(data), expect_offset))
    print("OK" if ok else "FAILED")
    return ok


def main(argv):
    if len(argv) == 3 and argv[1] == "--check":
        return 0 if check_icon(argv[2]) else 1
    if len(argv) != 2 or argv[1].startswith("-"):
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n"
                         "       make_icon.py --check FILE.ico\n")
        return 2
    data = build_icon()
    with open(argv[1], "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (argv[1], len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
