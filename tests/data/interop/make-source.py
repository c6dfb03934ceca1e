# The pictures every writer of the corpus starts from, 37 x 23 pixels: smooth
# waves (what JPEG is made for), a sharp checkerboard, black and white lines
# and the key colour (255, 0, 128) in blocks and single pixels.
#
# Usage: make-source.py FOLDER
# Writes rgb.ppm, rgb16.ppm, grey.pgm, grey16.pgm, bilevel.pbm, rgba.png, p16.png,
# p4.png, p2.png and p200.png (palette pictures of that many colours).
import math
import struct
import sys

from PIL import Image

W, H = 37, 23
KEY = (255, 0, 128)


def colour16(x, y):
    """The picture at 16 bits a channel, so that low bytes carry detail."""
    if 4 <= x < 9 and 3 <= y < 8 or (x + 3 * y) % 29 == 0 or (x, y) in ((0, 0), (36, 22)):
        return tuple(c * 257 for c in KEY)
    if 22 <= x < 34 and 12 <= y < 21:  # checkerboard of 2-pixel squares
        on = (x // 2 + y // 2) % 2
        return (65535, 65535, 0) if on else (0, 0, 65535)
    if y == 10:
        return (0, 0, 0) if x % 2 else (65535, 65535, 65535)
    r = 32767 + 32000 * math.sin(x / 6.0)
    g = 32767 + 32000 * math.cos(y / 5.0)
    b = 65535 * (x + y) / (W + H)
    return tuple(int(round(v)) for v in (r, g, b))


def write_pnm(path, magic, channels, maxval):
    with open(path, "wb") as out:
        out.write(b"%s\n%d %d\n%d\n" % (magic, W, H, maxval))
        for y in range(H):
            for x in range(W):
                c = colour16(x, y)
                grey = (299 * c[0] + 587 * c[1] + 114 * c[2]) // 1000
                values = c if channels == 3 else (grey,)
                if maxval == 255:
                    out.write(bytes(v >> 8 for v in values))
                else:
                    out.write(struct.pack(">%dH" % len(values), *values))


folder = sys.argv[1]
write_pnm(folder + "/rgb.ppm", b"P6", 3, 255)
write_pnm(folder + "/rgb16.ppm", b"P6", 3, 65535)
write_pnm(folder + "/grey.pgm", b"P5", 1, 255)
write_pnm(folder + "/grey16.pgm", b"P5", 1, 65535)

rgb = Image.open(folder + "/rgb.ppm")
rgba = rgb.convert("RGBA")
for y in range(H):
    for x in range(W):
        if x >= 12 and y < 9:  # a band that fades out, then fully clear pixels
            a = max(0, 255 - (x - 12) * 12)
            rgba.putpixel((x, y), rgba.getpixel((x, y))[:3] + (a,))
rgba.save(folder + "/rgba.png")

grey = Image.open(folder + "/grey.pgm")
grey.point(lambda v: 255 if v >= 128 else 0).convert("1").save(folder + "/bilevel.pbm")

# Palette pictures keep the key colour as an entry of their own.
for colours in (200, 16, 4, 2):
    quantised = rgb.quantize(colours - 1, dither=Image.Dither.NONE)
    palette = quantised.getpalette()[: 3 * (colours - 1)] + list(KEY)
    indexed = Image.new("P", (W, H))
    indexed.putpalette(palette)
    for y in range(H):
        for x in range(W):
            key = rgb.getpixel((x, y)) == KEY
            indexed.putpixel((x, y), colours - 1 if key else quantised.getpixel((x, y)))
    indexed.save(folder + "/p%d.png" % colours)
