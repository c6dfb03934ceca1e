#!/usr/bin/python3
"""Runs the Linux companion and the Windows companion (under Wine) on the same
files and lists every file where the two differ: in the outcome (shrunk or
passed over), or in the half-size image (size, mode or pixels, as Pillow
decodes both outputs).

    scripts/compare-platforms.py [--linux PATH] [--windows PATH]
                                 [--work DIR] [--table FILE] [FOLDER...]

FOLDER defaults to the public suites and the interop corpus under tests/data.
Prints a summary; --table writes one tab-separated line per difference.
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
    try:
        with Image.open(path) as picture:
            picture.load()
            return picture.mode, picture.size, np.asarray(picture)
    except Exception as error:  # Pillow's refusal is itself a result to compare
        return "unreadable", None, str(error)


def compare_outputs(linux_path, windows_path):
    """'' when Pillow reads the same picture from both, else what differs."""
    lmode, lsize, lpixels = decoded(linux_path)
    wmode, wsize, wpixels = decoded(windows_path)
    if lmode == "unreadable" or wmode == "unreadable":
        return "output unreadable (linux %s, windows %s)" % (lmode, wmode)
    if lsize != wsize:
        return "size %dx%d vs %dx%d" % (lsize + wsize)
    if lmode != wmode:
        return "mode %s vs %s" % (lmode, wmode)
    if lpixels.shape != wpixels.shape or not np.array_equal(lpixels, wpixels):
        difference = np.abs(lpixels.astype(np.int32) - wpixels.astype(np.int32))
        pixels = difference.reshape(lsize[1], lsize[0], -1).any(axis=2).sum()
        return "pixels: %d differ, at most by %d" % (pixels, difference.max())
    return ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--linux", default=os.path.join(ROOT, "build/cli/dorvalune-shrink"))
    parser.add_argument("--windows",
                        default=os.path.join(ROOT, "build-windows/cli/dorvalune-shrink.exe"))
    parser.add_argument("--work", help="folder for the copies (default: a temporary one)")
    parser.add_argument("--table", help="write the differences here, tab-separated")
    parser.add_argument("folders", nargs="*", default=DEFAULT_FOLDERS)
    options = parser.parse_args()

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
            differences.append((label, linux, windows, "outcome"))
        elif linux == "shrunk":
            what = compare_outputs(os.path.join(work, "linux", label),
                                   os.path.join(work, "windows", label))
            if what:
                differences.append((label, linux, windows, what))
    shrunk = sum(1 for label, _ in files if outcomes["linux"][label] == "shrunk")
    print("%d files compared (%d shrunk on Linux), %d differences" %
          (len(files), shrunk, len(differences)))
    for row in differences:
        print("\t".join(row))
    if options.table:
        with open(options.table, "w") as table:
            table.write("file\tlinux\twindows\tdifference\n")
            for row in differences:
                table.write("\t".join(row) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
