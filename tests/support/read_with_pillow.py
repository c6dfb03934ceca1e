"""The independent reader of the codec tests.

For every file named, writes FILE.rgba: Pillow's mode, the width and the
height on one line, then the first frame as 8-bit RGBA bytes. A file Pillow
cannot read gets no .rgba file and a line on standard error.
"""
import sys

from PIL import Image

for path in sys.argv[1:]:
    try:
        with Image.open(path) as image:
            rgba = image.convert("RGBA")
            header = b"%s %d %d\n" % (image.mode.encode(), rgba.width, rgba.height)
            with open(path + ".rgba", "wb") as out:
                out.write(header + rgba.tobytes())
    except Exception as error:  # noqa: BLE001 - any failure means "cannot read"
        print(path, error, file=sys.stderr)
