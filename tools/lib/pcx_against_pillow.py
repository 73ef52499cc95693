#!/usr/bin/python3
"""Compares our PCX codec with Pillow's on the same four 4096 x 4096 pictures.

The benchmark program writes the pictures (bench_pcx --write_pictures=DIR); this
script times Pillow's decode (im.load() only) and encode (im.save() to a BytesIO as
PCX) in process, then runs our benchmark in the same run and prints MB/s for both
and the ratio ours / Pillow per kind. Times are process CPU time, like the
benchmark's own figures, so other load on the machine affects both alike; both
sides report the best of --repeat runs.

usage: tools/lib/pcx_against_pillow.py [path/to/bench_pcx (default build/release/bench_pcx)] [--repeat N] [--min-time SECONDS]
"""
import argparse
import io
import json
import os
import subprocess
import sys
import tempfile
import time

from PIL import Image

KINDS = ["photo", "cartoon", "random", "worst"]


def best_time(fn, repeat):
    best = None
    for _ in range(repeat):
        t0 = time.process_time()
        fn()
        t = time.process_time() - t0
        best = t if best is None or t < best else best
    return best


def time_pillow(path, repeat):
    data = open(path, "rb").read()

    def decode():
        im = Image.open(io.BytesIO(data))
        im.load()
        return im

    im = decode()
    assert im.mode == "P" and im.size == (4096, 4096), (im.mode, im.size)
    pixels = im.size[0] * im.size[1]
    dec = best_time(decode, repeat)

    def encode():
        out = io.BytesIO()
        im.save(out, "PCX")

    enc = best_time(encode, repeat)
    return pixels / dec / 1e6, pixels / enc / 1e6


def run_ours(bench, min_time, repeat):
    out = subprocess.run(
        [bench, "--benchmark_format=json", f"--benchmark_min_time={min_time}",
         f"--benchmark_repetitions={repeat}"],
        check=True, capture_output=True, text=True).stdout
    results = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration":
            continue
        op = "decode" if b["name"].startswith("BM_PcxDecode") else "encode"
        # Best of the repetitions, as for Pillow.
        mbs = b["bytes_per_second"] / 1e6
        results[(op, b["label"])] = max(mbs, results.get((op, b["label"]), 0.0))
    return results


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    ap = argparse.ArgumentParser()
    ap.add_argument("bench", nargs="?", default=os.path.join(root, "build", "release", "bench_pcx"))
    ap.add_argument("--repeat", type=int, default=5)
    ap.add_argument("--min-time", type=float, default=0.5)
    args = ap.parse_args()
    if not os.access(args.bench, os.X_OK):
        sys.exit(f"benchmark program not found: {args.bench} (build the bench_pcx target)")

    with tempfile.TemporaryDirectory(prefix="hw-bench-pcx-") as d:
        subprocess.run([args.bench, f"--write_pictures={d}"], check=True)
        pillow = {k: time_pillow(os.path.join(d, k + ".pcx"), args.repeat) for k in KINDS}
    ours = run_ours(args.bench, args.min_time, args.repeat)

    print(f"{'kind':8} {'op':7} {'ours MB/s':>10} {'Pillow MB/s':>12} {'ours/Pillow':>12}")
    worst_ratio = None
    for k in KINDS:
        for i, op in enumerate(["decode", "encode"]):
            o, p = ours[(op, k)], pillow[k][i]
            ratio = o / p
            worst_ratio = ratio if worst_ratio is None else min(worst_ratio, ratio)
            print(f"{k:8} {op:7} {o:10.0f} {p:12.0f} {ratio:11.2f}x")
    print(f"lowest ratio: {worst_ratio:.2f}x")


if __name__ == "__main__":
    main()
