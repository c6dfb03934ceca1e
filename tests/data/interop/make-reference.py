# Pixels for the few corpus files whose meaning Pillow's convert("RGBA") does
# not give, written as 8-bit RGBA PNG files under reference/ for the test to
# read in their place:
# - 16-bit grey: Pillow clips the 16-bit values to 255; here each value is
#   cut to its high byte.
# - 16-bit BMP with an alpha mask: Pillow reads the colour masks and drops the
#   alpha one (ARGB1555) or refuses the layout (ARGB4444); read here from the
#   file's own masks.
#
# Usage: make-reference.py FILE...  (run in the corpus folder)
import struct
import sys

import numpy
from PIL import Image


def grey16(path):
    values = numpy.asarray(Image.open(path), dtype=numpy.uint32)
    grey = (values >> 8).astype(numpy.uint8)
    return Image.fromarray(grey, "L").convert("RGBA")


def bmp16(path):
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    masks = struct.unpack_from("<4I", data, 54)
    stride = (width * 16 + 31) // 32 * 4
    rows = numpy.frombuffer(data, "<u2", stride // 2 * height, offset).reshape(height, -1)
    words = rows[::-1, :width].astype(numpy.uint32)  # bottom-up rows
    channels = []
    for mask in masks[:4]:
        shift = (mask & -mask).bit_length() - 1
        top = mask >> shift
        channels.append((((words & mask) >> shift) * 255 + top // 2) // top)
    r, g, b, a = (c.astype(numpy.uint8) for c in channels)
    return Image.fromarray(numpy.dstack([r, g, b, a]), "RGBA")


for name in sys.argv[1:]:
    picture = bmp16(name) if name.endswith(".bmp") else grey16(name)
    picture.save("reference/%s.png" % name)
