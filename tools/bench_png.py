#!/usr/bin/python3
"""Indexed PNG decode and encode against Pillow, per content class, in one run.

Builds bench_png in its own Release folder (never one in build/), writes the 4096 x 4096
pictures with our encoder, times Pillow in this process (decode: open + load() of
the file's bytes; encode: save as PNG to memory, Pillow's defaults), runs our
benchmark, and prints the medians in MB of pixels per second and the ratios
ours / Pillow (target: decode at least Pillow's speed). Rounds alternate between
Pillow and ours so that the machine's load touches both alike.

usage: tools/bench_png.py [--build DIR] [--rounds N] [--reps N]
"""
import argparse
import io
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
KINDS = ["photo", "cartoon", "random", "worst", "flat"]
PIXELS = 4096 * 4096


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build-png-bench"))
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--reps", type=int, default=5)
    args = ap.parse_args()
    bench_folder.configure(args.build, ["-DCMAKE_BUILD_TYPE=Release", "-DHW_BUILD_GUI=OFF"])
    subprocess.run(["cmake", "--build", args.build, "-j2", "--target", "bench_png"], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    exe = os.path.join(args.build, "bench_png")
    work = tempfile.mkdtemp(prefix="hw_bench_png_")
    subprocess.run([exe, "--write_pictures=" + work], check=True)
    data = {k: open(os.path.join(work, k + ".png"), "rb").read() for k in KINDS}
    ours = {}
    pillow = {}
    for _ in range(args.rounds):
        for kind in KINDS:
            for _ in range(args.reps):
                t0 = time.perf_counter()
                with Image.open(io.BytesIO(data[kind])) as im:
                    im.load()
                    t1 = time.perf_counter()
                    im.save(io.BytesIO(), format="PNG")
                    t2 = time.perf_counter()
                pillow.setdefault(("decode", kind), []).append(t1 - t0)
                pillow.setdefault(("encode", kind), []).append(t2 - t1)
        out = subprocess.run([exe, "--benchmark_format=json",
                              "--benchmark_repetitions=%d" % args.reps,
                              "--benchmark_min_time=0.1"], check=True, capture_output=True,
                             text=True).stdout
        for b in json.loads(out)["benchmarks"]:
            if b.get("run_type") != "iteration":
                continue
            what = "decode" if "Decode" in b["run_name"] else "encode"
            ours.setdefault((what, b["label"]), []).append(b["real_time"] / 1000)
    print("%-7s %-8s %10s %10s %7s" % ("", "class", "ours MB/s", "Pillow", "ratio"))
    for what in ("decode", "encode"):
        for kind in KINDS:
            a = PIXELS / 1e6 / statistics.median(ours[(what, kind)])
            b = PIXELS / 1e6 / statistics.median(pillow[(what, kind)])
            print("%-7s %-8s %10.0f %10.0f %7.2f" % (what, kind, a, b, a / b))
    for k in KINDS:
        os.remove(os.path.join(work, k + ".png"))
    os.rmdir(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
