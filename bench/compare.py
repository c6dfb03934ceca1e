#!/usr/bin/python3
"""Whole-process comparison of dorvalune-shrink with the tools a user would
pick instead, on the same inputs, side by side in one run.

Makes its inputs, runs every case a few times after a warm-up on a fresh copy
of the input (the copy is not timed), the tools taking turns, and prints the
median wall time, the peak resident memory, that peak as a multiple of the
decoded picture and the ratio to each peer.

    bench/compare.py [--runs N] [--work DIR] [--shrink PATH] [--baseline PATH] [--only TEXT]

--only keeps the cases whose title contains TEXT ("BMP", "PNG", "sprites").
--baseline adds another build of dorvalune-shrink as one more tool, taking
turns with the others, for a before-and-after in one run.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

import numpy as np
from PIL import Image


def picture(width, height, seed):
    """A smooth picture with key-coloured blobs over about a fifth of it."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width].astype(np.float32)
    rgb = np.empty((height, width, 3), np.uint8)
    rgb[..., 0] = (127 + 120 * np.sin(x / 97.0 + y / 151.0)).astype(np.uint8)
    rgb[..., 1] = (127 + 120 * np.cos(y / 83.0)).astype(np.uint8)
    rgb[..., 2] = ((x + y) / (width + height) * 255).astype(np.uint8)
    rgb += rng.integers(0, 6, rgb.shape, dtype=np.uint8)
    # Key blobs: runs of key colour in random rows, about 20 percent in all.
    key = np.zeros((height, width), bool)
    cells = rng.random((height // 16 + 1, width // 16 + 1)) < 0.2
    key |= np.kron(cells, np.ones((16, 16), bool))[:height, :width]
    rgb[key] = (255, 0, 128)
    return Image.fromarray(rgb, "RGB")


def make_inputs(work):
    os.makedirs(work, exist_ok=True)
    done = os.path.join(work, ".made")
    if os.path.exists(done):
        return
    print("making inputs in", work, flush=True)
    big = picture(8000, 6000, 1)
    big.save(os.path.join(work, "big24.bmp"))
    big.save(os.path.join(work, "big.png"), compress_level=6)
    big.save(os.path.join(work, "big.jpg"), quality=90)
    small = picture(4000, 3000, 2)
    small.quantize(colors=256, method=Image.Quantize.MEDIANCUT).save(
        os.path.join(work, "pal8.bmp"))
    sprites = os.path.join(work, "sprites")
    os.makedirs(sprites, exist_ok=True)
    rng = np.random.default_rng(3)
    for i in range(500):
        w, h = (int(v) for v in rng.integers(64, 257, 2))
        picture(w, h, 100 + i).save(os.path.join(sprites, "sprite%03d.bmp" % i))
    open(done, "w").close()


# Bits per pixel of the format our decoders report for each Pillow mode of
# the inputs.
DECODED_BITS = {"1": 1, "L": 8, "P": 8, "RGB": 24, "RGBA": 32}


def decoded_mib(path):
    """The decoded picture in MiB: its rows at the decoded format's depth,
    each padded to whole 4-byte words, as the program's section holds it.
    For a folder, the largest of its pictures."""
    if os.path.isdir(path):
        return max(decoded_mib(os.path.join(path, name)) for name in os.listdir(path))
    with Image.open(path) as image:
        width, height = image.size
        bits = DECODED_BITS[image.mode]
    return (width * bits + 31) // 32 * 4 * height / (1 << 20)


def report(label, seconds, peak, picture, ratio):
    print("  %-18s %7.3f s  %7.1f MiB peak (%5.2f x picture)%s"
          % (label, seconds, peak, peak / picture, ratio))


def run_once(command, cwd):
    """Wall time and peak resident set (MiB) of one run. The peak comes from
    /usr/bin/time: the rusage of a forked child would include what it
    inherited from this script before its exec."""
    report = os.path.join(cwd, ".peak")
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + command, cwd=cwd,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        raise RuntimeError("%s failed: %s" % (" ".join(command),
                                              result.stderr.decode(errors="replace").strip()))
    with open(report) as peak:
        kib = int(peak.read().split()[-1])
    os.remove(report)
    return elapsed, kib / 1024.0


def measure(source, commands, runs, work):
    """Median time and peak memory of each command over fresh copies of source.

    The commands take turns, one run each per round, so that each meets the
    machine in the same state: a tool that flushes its files to disk waits
    longer right after others have written much."""
    scratch = os.path.join(work, "scratch")
    times = {name: [] for name in commands}
    peaks = {name: [] for name in commands}
    failed = {}
    for attempt in range(runs + 1):
        for name, command_for in commands.items():
            if name in failed:
                continue
            shutil.rmtree(scratch, ignore_errors=True)
            os.makedirs(scratch)
            if os.path.isdir(source):
                target = os.path.join(scratch, "in")
                shutil.copytree(source, target)
            else:
                target = os.path.join(scratch, os.path.basename(source))
                shutil.copy(source, target)
            subprocess.run(["sync"])
            try:
                elapsed, peak = run_once(command_for(target), scratch)
            except RuntimeError as error:
                failed[name] = error
                continue
            if attempt > 0:  # the first round warms the caches
                times[name].append(elapsed)
                peaks[name].append(peak)
    shutil.rmtree(scratch, ignore_errors=True)
    results = {name: (statistics.median(times[name]), max(peaks[name]))
               for name in commands if name not in failed}
    return results, failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default="/tmp/dorvalune-compare")
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--shrink",
                        default=os.path.join(here, "..", "build", "cli", "dorvalune-shrink"))
    parser.add_argument("--only", default="", help="only the cases whose title contains this")
    parser.add_argument("--baseline", help="another dorvalune-shrink to compare with")
    args = parser.parse_args()
    shrink = os.path.abspath(args.shrink)
    baseline = os.path.abspath(args.baseline) if args.baseline else None
    make_inputs(args.work)

    def out(path, suffix=None):
        base, ext = os.path.splitext(path)
        return base + ".out" + (suffix or ext)

    def sprites(tool):
        def command(folder):
            files = sorted(os.path.join(folder, f) for f in os.listdir(folder))
            if tool == "dorvalune":
                return [shrink, "--quiet"] + files
            if tool == "baseline":
                return [baseline, "--quiet"] + files
            if tool == "gm":
                return ["gm", "mogrify", "-sample", "50%"] + files
            return ["mogrify", "-sample", "50%"] + files
        return command

    peers = {
        "dorvalune-shrink": lambda f: [shrink, "--quiet", f],
        "gm -sample": lambda f: ["gm", "convert", f, "-sample", "50%", out(f)],
        "convert -sample": lambda f: ["convert", f, "-sample", "50%", out(f)],
        "convert -scale": lambda f: ["convert", f, "-scale", "50%", out(f)],
        "vips subsample": lambda f: ["vips", "subsample", f, out(f), "2", "2"],
    }
    if baseline:
        peers["baseline-shrink"] = lambda f: [baseline, "--quiet", f]
    cases = [("24-bit BMP 8000x6000", "big24.bmp"), ("8-bit BMP 4000x3000", "pal8.bmp"),
             ("PNG 8000x6000", "big.png"), ("JPEG 8000x6000", "big.jpg")]
    available = {name: shutil.which(cmd("x.bmp")[0]) is not None for name, cmd in peers.items()}
    for title, name in cases:
        if args.only not in title:
            continue
        source = os.path.join(args.work, name)
        print("\n%s (%d runs, median)" % (title, args.runs))
        for peer in peers:
            if not available[peer]:
                print("  %-18s not installed" % peer)
        results, failed = measure(
            source, {peer: command for peer, command in peers.items() if available[peer]},
            args.runs, args.work)
        for peer, error in failed.items():
            print("  %-18s failed: %s" % (peer, error))
        ours = results.get("dorvalune-shrink")
        picture = decoded_mib(source)
        print("  decoded picture    %7.1f MiB" % picture)
        for peer, (seconds, peak) in results.items():
            ratio = "" if ours is None or peer == "dorvalune-shrink" else \
                "  dorvalune/peer %.2f" % (ours[0] / seconds)
            report(peer, seconds, peak, picture, ratio)

    title = "500 sprites, 64 to 256 pixels a side"
    if args.only not in title:
        return 0
    print("\n%s (%d runs, median)" % (title, args.runs))
    folder = os.path.join(args.work, "sprites")
    tools = [("dorvalune-shrink", "dorvalune"), ("gm mogrify -sample", "gm"),
             ("mogrify -sample", "im")] + ([("baseline-shrink", "baseline")] if baseline else [])
    results, failed = measure(folder, {label: sprites(tool) for label, tool in tools},
                              args.runs, args.work)
    for label, error in failed.items():
        print("  %-18s failed: %s" % (label, error))
    ours = results["dorvalune-shrink"][0]
    picture = decoded_mib(folder)
    print("  largest decoded    %7.1f MiB" % picture)
    for label, (seconds, peak) in results.items():
        ratio = "" if label == "dorvalune-shrink" else "  dorvalune/peer %.2f" % (ours / seconds)
        report(label, seconds, peak, picture, ratio)


if __name__ == "__main__":
    sys.exit(main())
