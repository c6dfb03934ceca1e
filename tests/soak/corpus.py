"""Makes and checks the soak test's folder of pictures.

make FOLDER MANIFEST COUNT SEED
                         writes COUNT files into FOLDER and a line for each
                         into MANIFEST saying what the job must do with it
check FOLDER MANIFEST    checks the folder after the job: every good picture
                         halved with its original kept byte for byte under
                         the backup name, everything else untouched without
                         a backup, nothing else in the folder; prints the
                         number of files of each kind

Good pictures: BMP at 1, 8, 24 and 32 bits, PNG (palette, grey, RGB, RGBA),
GIF, JPEG (colour, grey), TIFF (palette, grey, RGB, RGBA), and pictures
whose extension names another of these formats. Others: files cut short,
random bytes with a picture's extension, pictures with an extension no
encoder writes, and pictures a pixel wide or high. Some names carry spaces,
newlines, bytes that are not UTF-8 or a leading dash.
"""
import hashlib
import io
import os
import random
import sys

from PIL import Image

# (extension, PIL format, PIL modes that format keeps)
FORMATS = [
    ("bmp", "BMP", ["1", "P", "L", "RGB", "RGBA"]),
    ("png", "PNG", ["P", "L", "RGB", "RGBA"]),
    ("gif", "GIF", ["P"]),
    ("jpg", "JPEG", ["RGB", "L"]),
    ("tif", "TIFF", ["P", "L", "RGB", "RGBA"]),
]
NAME_TWISTS = [b"", b"", b"", b"", b" with space", b"\nnewline", b"\xff\xfe", b"\\back"]


def picture(rng, mode, width, height):
    noise = rng.randbytes(width * height * 4)
    image = Image.frombytes("RGBA", (width, height), noise)
    if mode == "P":
        return image.convert("RGB").quantize(colors=rng.choice([2, 16, 200]))
    return image.convert(mode)


def encoded(image, pil_format):
    out = io.BytesIO()
    image.save(out, pil_format)
    return out.getvalue()


def make(folder, manifest_path, count, seed):
    rng = random.Random(seed)
    os.makedirs(folder, exist_ok=True)
    manifest = []
    for i in range(count):
        ext, pil_format, modes = rng.choice(FORMATS)
        mode = rng.choice(modes)
        width, height = rng.randint(2, 48), rng.randint(2, 48)
        roll = rng.random()
        if roll < 0.70:
            kind = "good"
        elif roll < 0.78:
            kind = "truncated"
        elif roll < 0.86:
            kind = "random"
        elif roll < 0.90:
            kind = "noencoder"
        elif roll < 0.94:
            kind = "toosmall"
            width, height = rng.choice([(1, height), (width, 1)])
        else:
            kind = "good"  # named after another format; written in that one
        data = encoded(picture(rng, mode, width, height), pil_format)
        name_ext = ext
        if roll >= 0.94:
            name_ext = rng.choice([f[0] for f in FORMATS if f[0] != ext])
        if kind == "truncated":
            data = data[: rng.randint(len(data) // 10, len(data) * 9 // 10)]
        elif kind == "random":
            data = rng.randbytes(rng.randint(1, 3000))
        elif kind == "noencoder":
            name_ext = rng.choice(["txt", "dat", "bmp~", "jpeg.part"])
        name = b"%05d" % i + rng.choice(NAME_TWISTS) + b"." + name_ext.encode()
        if rng.random() < 0.02:
            name = b"-" + name
        with open(os.path.join(os.fsencode(folder), name), "wb") as f:
            f.write(data)
        digest = hashlib.sha256(data).hexdigest()
        manifest.append(f"{name.hex()} {kind} {width} {height} {digest}")
    with open(manifest_path, "w") as f:
        f.write("\n".join(manifest) + "\n")


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def check(folder, manifest_path):
    folder = os.fsencode(folder)
    expected = set()
    failures = []
    kinds = {}
    with open(manifest_path) as f:
        for line in f:
            name_hex, kind, width, height, digest = line.split()
            name = bytes.fromhex(name_hex)
            path = os.path.join(folder, name)
            backup = os.path.join(folder, b"old" + name)
            kinds[kind] = kinds.get(kind, 0) + 1
            expected.add(name)
            shown = name.decode(errors="backslashreplace")
            if kind == "good":
                expected.add(b"old" + name)
                if not os.path.exists(backup) or sha256(backup) != digest:
                    failures.append(f"{shown!r}: backup missing or not the original")
                try:
                    with Image.open(path) as halved:
                        size = halved.size
                except Exception as error:  # any reason it cannot be read is a failure
                    failures.append(f"{shown!r}: halved picture unreadable ({error})")
                    continue
                if size != (int(width) // 2, int(height) // 2):
                    failures.append(f"{shown!r}: {size}, not half of {width}x{height}")
            else:
                if not os.path.exists(path) or sha256(path) != digest:
                    failures.append(f"{shown!r}: changed although it is {kind}")
                if os.path.lexists(backup):
                    failures.append(f"{shown!r}: has a backup although it is {kind}")
    for extra in sorted(set(os.listdir(folder)) - expected):
        failures.append(f"left behind: {extra!r}")
    for failure in failures[:20]:
        print("FAIL", failure)
    print(" ".join(f"{kind}={count}" for kind, count in sorted(kinds.items())))
    return not failures


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
    elif sys.argv[1] == "check":
        sys.exit(0 if check(sys.argv[2], sys.argv[3]) else 1)
    else:
        sys.exit(__doc__)
