#!/usr/bin/python3
"""Runs the Linux companion and the Windows companion (under Wine) on the same
files and lists every file where the two differ: in the outcome (shrunk or
passed over), or in the half-size image as Pillow decodes both outputs.

    scripts/compare-platforms.py [--linux PATH] [--windows PATH]
                                 [--work DIR] [--table FILE] [FOLDER...]

FOLDER defaults to the public suites and the interop corpus under tests/data.
Outputs are compared by the colours they show (RGBA), so a palette file and a
true-colour file of the same colours differ only in "storage"; "pixels" means
other colours, another size or an output Pillow cannot read. Each difference
names Pillow's modes of the two outputs. Prints a summary; --table writes one
tab-separated line per difference.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_FOLDERS = ["tests/data/bmpsuite/g", "tests/data/bmpsuite/q", "tests/data/bmpsuite/b",
                   "tests/data/pngsuite", "tests/data/interop"]
IMAGE_EXTENSIONS = (".bmp", ".dib", ".png", ".jpg", ".jpeg", ".gif", ".tif", ".tiff")


def inputs(folders):
    """(label, path) for every image file of the folders, in a stable order."""
    found = []
    for folder in folders:
        absolute = os.path.join(ROOT, folder) if not os.path.isabs(folder) else folder
        for name in sorted(os.listdir(absolute)):
            if name.lower().endswith(IMAGE_EXTENSIONS):
                found.append((os.path.join(os.path.basename(folder.rstrip("/")), name),
                              os.path.join(absolute, name)))
    return found


def run_companion(command, folder, names):
    """Runs one companion over the names in folder; returns {name: outcome}."""
    result = subprocess.run(command + ["-j1", "--"] + names, cwd=folder, capture_output=True,
                            text=True, errors="replace",
                            env=dict(os.environ, WINEDEBUG="-all"))
    outcomes = {}
    for line in (result.stdout + result.stderr).splitlines():
        line = line.rstrip("\r")
        for name in names:
            if line.startswith("shrunk " + name + " "):
                outcomes[name] = "shrunk"
            elif line.startswith("passed over " + name + ": "):
                outcomes[name] = "passed over: " + line[len("passed over " + name + ": "):]
    for name in names:
        outcomes.setdefault(name, "no report")
    return outcomes


def decoded(path):
    """(mode, size, RGBA pixels) as Pillow reads the file; mode "unreadable" and
    the error when it cannot."""
    try:
        with Image.open(path) as picture:
            picture.load()
            # Palette, grey and bilevel files are compared by the colours they show,
            # a transparent palette entry or grey level included.
            return picture.mode, picture.size, np.asarray(picture.convert("RGBA"))
    except Exception as error:  # Pillow's refusal is itself a result to compare
        return "unreadable", None, str(error)


def compare_outputs(linux_path, windows_path):
    """(kind, what) for the two half-size images: kind '' when Pillow reads the
    same colours in the same storage, 'storage' when the colours agree but the
    files store them differently (palette, grey or true colour), else 'pixels'."""
    lmode, lsize, lpixels = decoded(linux_path)
    wmode, wsize, wpixels = decoded(windows_path)
    modes = "%s vs %s" % (lmode, wmode)
    if lmode == "unreadable" or wmode == "unreadable":
        return "pixels", "output unreadable (%s)" % modes
    if lsize != wsize:
        return "pixels", "size %dx%d vs %dx%d" % (lsize + wsize)
    if not np.array_equal(lpixels, wpixels):
        difference = np.abs(lpixels.astype(np.int32) - wpixels.astype(np.int32))
        pixels = difference.any(axis=2).sum()
        return "pixels", "pixels: %d differ, at most by %d (%s)" % (pixels, difference.max(), modes)
    if lmode != wmode:
        return "storage", "same colours, mode %s" % modes
    return "", ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--linux", default=os.path.join(ROOT, "build/cli/dorvalune-shrink"))
    parser.add_argument("--windows",
                        default=os.path.join(ROOT, "build-windows/cli/dorvalune-shrink.exe"))
    parser.add_argument("--work", help="folder for the copies (default: a temporary one)")
    parser.add_argument("--table", help="write the differences here, tab-separated")
    parser.add_argument("folders", nargs="*", default=DEFAULT_FOLDERS)
    options = parser.parse_args()

    for program in (options.linux, options.windows):
        if not os.path.isfile(program):
            sys.exit("%s is missing: build it first (make build, make windows)" % program)
    if shutil.which("wine") is None:
        sys.exit("wine is missing: scripts/install-deps windows installs it")
    files = inputs(options.folders)
    work = options.work or tempfile.mkdtemp(prefix="dorvalune-platforms-")
    commands = {"linux": [os.path.abspath(options.linux)],
                "windows": ["wine", os.path.abspath(options.windows)]}
    outcomes = {}
    for platform, command in commands.items():
        outcomes[platform] = {}
        for folder in sorted({os.path.dirname(label) for label, _ in files}):
            target = os.path.join(work, platform, folder)
            shutil.rmtree(target, ignore_errors=True)
            os.makedirs(target)
            names = []
            for label, path in files:
                if os.path.dirname(label) == folder:
                    shutil.copyfile(path, os.path.join(target, os.path.basename(label)))
                    names.append(os.path.basename(label))
            for name, outcome in run_companion(command, target, names).items():
                outcomes[platform][os.path.join(folder, name)] = outcome

    differences = []
    for label, _ in files:
        linux, windows = outcomes["linux"][label], outcomes["windows"][label]
        if (linux == "shrunk") != (windows == "shrunk"):
            side = "Linux" if linux == "shrunk" else "Windows"
            differences.append((label, linux, windows, "outcome", "shrunk on %s only" % side))
        elif linux == "shrunk":
            kind, what = compare_outputs(os.path.join(work, "linux", label),
                                         os.path.join(work, "windows", label))
            if kind:
                differences.append((label, linux, windows, kind, what))
    shrunk = sum(1 for label, _ in files if outcomes["linux"][label] == "shrunk")
    kinds = {kind: sum(1 for row in differences if row[3] == kind)
             for kind in ("outcome", "pixels", "storage")}
    print("%d files compared (%d shrunk on Linux), %d differences: %d in outcome, "
          "%d in pixels, %d in storage only" %
          (len(files), shrunk, len(differences), kinds["outcome"], kinds["pixels"],
           kinds["storage"]))
    for row in differences:
        print("\t".join(row))
    if options.table:
        with open(options.table, "w") as table:
            table.write("file\tlinux\twindows\tkind\tdifference\n")
            for row in differences:
                table.write("\t".join(row) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
