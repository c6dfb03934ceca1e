"""Makes and checks the soak test's folder of pictures.

make FOLDER MANIFEST COUNT SEED   writes COUNT files, and a line for each in
                                  MANIFEST saying what the job must do with it
check FOLDER MANIFEST             every good picture halved with its original
                                  kept byte for byte under the backup name,
                                  everything else untouched without a backup,
                                  nothing else in the folder

Good pictures: BMP, PNG, GIF, JPEG and TIFF at the depths Pillow writes,
some named after another of these formats. Others: files cut short, random
bytes, extensions no encoder writes, pictures a pixel wide or high. Some
names carry spaces, newlines, bytes that are not UTF-8 or a leading dash.
"""
import hashlib, io, os, random, sys

from PIL import Image

FORMATS = {"bmp": ["1", "P", "L", "RGB", "RGBA"], "png": ["P", "L", "RGB", "RGBA"], "gif": ["P"],
           "jpg": ["RGB", "L"], "tif": ["P", "L", "RGB", "RGBA"]}
TWISTS = [b"", b"", b"", b" with space", b"\nnewline", b"\xff\xfe", b"\\back"]
KINDS = ["good"] * 7 + ["damaged", "damaged", "noencoder", "toosmall", "renamed"]


def make(folder, manifest, count, seed):
    rng = random.Random(seed)
    os.makedirs(folder, exist_ok=True)
    with open(manifest, "w") as lines:
        for i in range(count):
            ext, kind = rng.choice(list(FORMATS)), rng.choice(KINDS)
            w, h = rng.choice([(1, 9), (9, 1)]) if kind == "toosmall" else (rng.randint(2, 48), rng.randint(2, 48))
            image = Image.frombytes("RGBA", (w, h), rng.randbytes(w * h * 4)).convert("RGB")
            mode = rng.choice(FORMATS[ext])
            image = image.quantize(rng.choice([2, 16, 200])) if mode == "P" else image.convert(mode)
            out = io.BytesIO()
            image.save(out, {"jpg": "JPEG", "tif": "TIFF"}.get(ext, ext.upper()))
            data = out.getvalue()
            if kind == "damaged":  # cut short, or random bytes
                cut = data[: rng.randint(len(data) // 10, len(data) * 9 // 10)]
                data = cut if rng.random() < 0.5 else rng.randbytes(rng.randint(1, 3000))
            elif kind == "noencoder":
                ext = rng.choice(["txt", "bmp~", "jpeg.part"])
            elif kind == "renamed":  # a good picture named after another format
                ext, kind = rng.choice([e for e in FORMATS if e != ext]), "good"
            name = (b"-" if i % 50 == 7 else b"") + b"%05d" % i + rng.choice(TWISTS) + b"." + ext.encode()
            with open(os.path.join(os.fsencode(folder), name), "wb") as f:
                f.write(data)
            lines.write(f"{name.hex()} {kind} {w} {h} {hashlib.sha256(data).hexdigest()}\n")


def check(folder, manifest):
    folder, expected, failures = os.fsencode(folder), set(), []
    digest = lambda path: hashlib.sha256(open(path, "rb").read()).hexdigest() if os.path.isfile(path) else None
    for line in open(manifest):
        name_hex, kind, w, h, original = line.split()
        name = bytes.fromhex(name_hex)
        path, backup = os.path.join(folder, name), os.path.join(folder, b"old" + name)
        expected.add(name)
        if kind == "good":
            expected.add(b"old" + name)
            try:
                with Image.open(path) as halved:
                    if halved.size != (int(w) // 2, int(h) // 2):
                        failures.append(f"{name!r}: {halved.size}, not half of {w}x{h}")
            except Exception as error:  # any reason it cannot be read is a failure
                failures.append(f"{name!r}: halved picture unreadable ({error})")
        if digest(backup if kind == "good" else path) != original or (kind != "good" and os.path.lexists(backup)):
            failures.append(f"{name!r} ({kind}): the original is not where it belongs")
    failures += [f"left behind: {extra!r}" for extra in sorted(set(os.listdir(folder)) - expected)]
    print("\n".join(failures[:20]))
    return not failures


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
    else:
        sys.exit(0 if check(sys.argv[2], sys.argv[3]) else 1)
