# The independent reader of the codec tests.
#
# Usage: read_with_pillow.py FOLDER FILE...
# For the n-th file named, writes FOLDER/n.rgba: the width and the height on
# one line, then the first frame as 8-bit RGBA bytes. A file Pillow cannot
# read gets no .rgba file and a line on standard error.
import sys

from PIL import Image

for n, path in enumerate(sys.argv[2:]):
    try:
        with Image.open(path) as image:
            rgba = image.convert("RGBA")
            with open("%s/%d.rgba" % (sys.argv[1], n), "wb") as out:
                out.write(b"%d %d\n" % rgba.size + rgba.tobytes())
    except Exception as error:  # noqa: BLE001 - any failure means "cannot read"
        print(path, error, file=sys.stderr)
