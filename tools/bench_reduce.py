#!/usr/bin/python3
"""Quality of `huewright-cli edit IN OUT reduce:N` against pngquant and Pillow.

For each picture (the benchmark content classes, written by bench_pcx, and the
files in examples/) and each N, three reductions of the same picture are made in
this run:
  huewright  huewright-cli edit IN OUT.png reduce:N
  pngquant   pngquant N --nofs --speed 1 (of the picture as an RGB PNG)
  pillow     Image.convert("RGB").quantize(N)
and each result is compared pixel by pixel with the original: the mean CIEDE2000
(scikit-image's rgb2lab and deltaE_ciede2000) and the RGB root-mean-square error.
The table gives both, and the ratios of Huewright's to the better peer's.

    python3 tools/bench_reduce.py [--build build/release] [--n 16,32,64]

Builds nothing: --build names a folder holding huewright-cli and bench_pcx (the
release preset's). Exits 1 when Huewright's mean CIEDE2000 is above a peer's for
some picture and N, or its RGB RMS above 1.1 times the better peer's.
"""
import argparse
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image
from skimage import color


def rgb_of(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=np.uint8)


def errors(original, reduced):
    """Mean CIEDE2000 and RGB RMS, computed once per distinct pair of colours."""
    a = original.reshape(-1, 3).astype(np.uint32)
    b = reduced.reshape(-1, 3).astype(np.uint32)
    key = (a[:, 0].astype(np.uint64) << 40) | (a[:, 1].astype(np.uint64) << 32) | \
        (a[:, 2].astype(np.uint64) << 24) | (b[:, 0].astype(np.uint64) << 16) | \
        (b[:, 1].astype(np.uint64) << 8) | b[:, 2].astype(np.uint64)
    pairs, counts = np.unique(key, return_counts=True)
    src = np.stack([(pairs >> s) & 255 for s in (40, 32, 24)], axis=1).astype(np.float64)
    dst = np.stack([(pairs >> s) & 255 for s in (16, 8, 0)], axis=1).astype(np.float64)
    lab_s = color.rgb2lab((src / 255.0).reshape(-1, 1, 3)).reshape(-1, 3)
    lab_d = color.rgb2lab((dst / 255.0).reshape(-1, 1, 3)).reshape(-1, 3)
    de = color.deltaE_ciede2000(lab_s, lab_d)
    total = counts.sum()
    mean = float((de * counts).sum() / total)
    rms = float(np.sqrt((((src - dst) ** 2).sum(axis=1) * counts).sum() / (3 * total)))
    return mean, rms


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(root, "build", "release"))
    ap.add_argument("--n", default="16,32,64")
    args = ap.parse_args()
    cli = os.path.join(args.build, "huewright-cli")
    bench_pcx = os.path.join(args.build, "bench_pcx")
    ns = [int(x) for x in args.n.split(",")]
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([bench_pcx, "--write_pictures=" + tmp], check=True)
        pictures = sorted(os.path.join(tmp, f) for f in os.listdir(tmp) if f.endswith(".pcx"))
        examples = os.path.join(root, "examples")
        pictures += sorted(os.path.join(examples, f) for f in os.listdir(examples)
                           if f.endswith((".pcx", ".png")))
        print(f"{'picture':<16}{'N':>4}  {'dE00 ours':>9} {'pngquant':>9} {'pillow':>9}  "
              f"{'RMS ours':>9} {'pngquant':>9} {'pillow':>9}  {'dE ratio':>8} {'RMS ratio':>9}")
        failed = False
        for pic in pictures:
            original = rgb_of(pic)
            name = os.path.splitext(os.path.basename(pic))[0]
            rgb_png = os.path.join(tmp, name + "_rgb.png")
            Image.fromarray(original).save(rgb_png)
            for n in ns:
                ours = os.path.join(tmp, f"{name}_{n}_ours.png")
                subprocess.run([cli, "edit", pic, ours, f"reduce:{n}"], check=True)
                pq = os.path.join(tmp, f"{name}_{n}_pq.png")
                subprocess.run(["pngquant", str(n), "--nofs", "--speed", "1", "--force",
                                "--output", pq, rgb_png], check=False)
                if not os.path.exists(pq):  # pngquant declines a picture it cannot improve
                    Image.fromarray(original).save(pq)
                pil = Image.fromarray(original).quantize(n).convert("RGB")
                e_ours = errors(original, rgb_of(ours))
                e_pq = errors(original, rgb_of(pq))
                e_pil = errors(original, np.asarray(pil, dtype=np.uint8))
                best_de = min(e_pq[0], e_pil[0])
                best_rms = min(e_pq[1], e_pil[1])
                de_ratio = e_ours[0] / best_de if best_de > 0 else (1.0 if e_ours[0] == 0 else float("inf"))
                rms_ratio = e_ours[1] / best_rms if best_rms > 0 else (1.0 if e_ours[1] == 0 else float("inf"))
                bad = e_ours[0] > best_de + 1e-9 or e_ours[1] > 1.1 * best_rms + 1e-9
                failed |= bad
                print(f"{name:<16}{n:>4}  {e_ours[0]:9.4f} {e_pq[0]:9.4f} {e_pil[0]:9.4f}  "
                      f"{e_ours[1]:9.4f} {e_pq[1]:9.4f} {e_pil[1]:9.4f}  {de_ratio:8.3f} "
                      f"{rms_ratio:9.3f}{'  <-- loses' if bad else ''}")
        return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
