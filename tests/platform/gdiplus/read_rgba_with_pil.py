"""Prints a picture's size, then its first frame as 8-bit RGBA bytes.

An independent reader for the codec tests: what our encoders write must read
back the same through it.
"""
import sys

from PIL import Image

with Image.open(sys.argv[1]) as image:
    rgba = image.convert("RGBA")
    sys.stdout.buffer.write(b"%d %d\n" % rgba.size)
    sys.stdout.buffer.write(rgba.tobytes())
