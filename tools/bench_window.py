#!/usr/bin/python3
"""Load-to-shown and repaint in the editor's windows, against Pillow and a remap.

Builds bench_window in its own Release build folder (never one in build/), writes the
content-class pictures, then for each picture runs, interleaved in rounds:
  - bench_window: the load command to the end of the picture window's first
    paint (BM_LoadToShown), a 1024 x 768 repaint after a palette change
    (BM_RepaintView) and one warm remap of the picture (BM_WarmRemap);
  - Pillow in this process: Image.open(path) and load() of the same file.
Prints medians over all rounds and the ratios ours / reference (targets:
load-to-shown at most 1x Pillow's decode; a repaint at most 1.5x a warm remap).
Then the peak memory of one editor that loads a 16384 x 16384 worst-class picture
and sorts it (target: at most 2.2 x the pixels + 64 MiB).

usage: tools/bench_window.py [--build DIR] [--rounds N] [--reps N] [--no-memory]
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools", "lib"))
import bench_folder  # noqa: E402


def build(folder):
    bench_folder.configure(folder, ["-DCMAKE_BUILD_TYPE=Release"])
    subprocess.run(["cmake", "--build", folder, "-j2", "--target", "bench_window"], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return os.path.join(folder, "bench_window")


def ours(exe, picture, reps):
    out = subprocess.run([exe, "--picture=" + picture, "--benchmark_format=json",
                          "--benchmark_repetitions=%d" % reps, "--benchmark_min_time=0.2"],
                         check=True, capture_output=True, text=True).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        times.setdefault(b["run_name"], []).append(b["real_time"])  # milliseconds
    return times


def pillow(picture, reps):
    times = []
    for _ in range(reps):
        t0 = time.perf_counter()
        with Image.open(picture) as im:
            im.load()
        times.append((time.perf_counter() - t0) * 1000)
    return times


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build-window-bench"))
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--no-memory", action="store_true")
    args = ap.parse_args()
    exe = build(args.build)
    work = tempfile.mkdtemp(prefix="hw_bench_window_")
    pictures = []
    for kind, side in (("photo", 4096), ("worst", 4096), ("photo", 8192), ("worst", 8192)):
        path = os.path.join(work, "%s_%d.pcx" % (kind, side))
        subprocess.run([exe, "--write=%s,%d,%s" % (kind, side, path)], check=True)
        pictures.append((kind, side, path))
    print("%-12s %11s %11s %7s %11s %11s %7s" % ("picture", "shown ms", "Pillow ms", "ratio",
                                                  "repaint ms", "remap ms", "ratio"))
    for kind, side, path in pictures:
        mine, theirs = {}, []
        for _ in range(args.rounds):
            for name, values in ours(exe, path, args.reps).items():
                mine.setdefault(name, []).extend(values)
            theirs.extend(pillow(path, args.reps))
        shown = statistics.median(mine["BM_LoadToShown"])
        ref = statistics.median(theirs)
        repaint = statistics.median(mine["BM_RepaintView"])
        remap = statistics.median(mine["BM_WarmRemap"])
        print("%-12s %11.1f %11.1f %7.2f %11.2f %11.2f %7.2f" % (
            "%s %d" % (kind, side), shown, ref, shown / ref, repaint, remap, repaint / remap))
        os.remove(path)
    if not args.no_memory:
        path = os.path.join(work, "worst_16384.pcx")
        subprocess.run([exe, "--write=worst,16384,%s" % path], check=True)
        subprocess.run([exe, "--peak_memory=" + path], check=True)
        os.remove(path)
    os.rmdir(work)


if __name__ == "__main__":
    sys.exit(main())
