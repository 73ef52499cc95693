#!/usr/bin/python3
"""Quality of `huewright-cli edit IN OUT reduce:N` against pngquant and Pillow.

For each picture (the benchmark content classes, written by bench_pcx when the
build folder has it, the files in examples/, and the photographs astronaut,
coffee, chelsea and motorcycle_left of skimage.data made indexed by pngquant's 256
colours) and each N, five reductions of the same picture are made in this run:
  huewright  huewright-cli edit IN OUT.png reduce:N
  pq-s1      pngquant N --nofs --speed 1 (of the picture as an RGB PNG)
  pq         pngquant N --nofs (its default speed)
  pillow     Image.convert("RGB").quantize(N)
  magick     convert IN +dither -colors N
and each result is compared pixel by pixel with the original: the mean CIEDE2000
(scikit-image's rgb2lab and deltaE_ciede2000) and the RGB root-mean-square error.
The table gives both, and the ratios of Huewright's to the better peer's.

    python3 tools/bench_reduce.py [--build build/release] [--n 4,8,16,32,64]

Builds nothing: --build names a folder holding huewright-cli and bench_pcx (the
release preset's). Exits 1 when Huewright's mean CIEDE2000 is above any peer's for
some picture and N, or its RGB RMS above 1.1 times the better of pngquant's and
Pillow's.
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
    ap.add_argument("--n", default="4,8,16,32,64")
    args = ap.parse_args()
    cli = os.path.join(args.build, "huewright-cli")
    bench_pcx = os.path.join(args.build, "bench_pcx")
    ns = [int(x) for x in args.n.split(",")]
    with tempfile.TemporaryDirectory() as tmp:
        if os.path.exists(bench_pcx):
            subprocess.run([bench_pcx, "--write_pictures=" + tmp], check=True)
        pictures = sorted(os.path.join(tmp, f) for f in os.listdir(tmp) if f.endswith(".pcx"))
        examples = os.path.join(root, "examples")
        pictures += sorted(os.path.join(examples, f) for f in os.listdir(examples)
                           if f.endswith((".pcx", ".png")))
        from skimage import data
        for photo in ("astronaut", "coffee", "chelsea", "motorcycle_left"):
            rgb = os.path.join(tmp, photo + "_photo.png")
            if photo == "motorcycle_left" and not hasattr(data, photo):
                pixels = data.stereo_motorcycle()[0]  # older scikit-image: (left, right, disparity)
            else:
                pixels = getattr(data, photo)()
            Image.fromarray(np.asarray(pixels)[:, :, :3]).save(rgb)
            indexed = os.path.join(tmp, photo + ".png")
            subprocess.run(["pngquant", "256", "--force", "--output", indexed, rgb], check=True)
            pictures.append(indexed)
        peers = ("pq-s1", "pq", "pillow", "magick")
        print(f"{'picture':<16}{'N':>4}  {'dE00 ours':>9}" + "".join(f" {p:>7}" for p in peers) +
              f"  {'RMS ours':>8}" + "".join(f" {p:>7}" for p in peers) +
              f"  {'dE ratio':>8} {'RMS ratio':>9}")
        failed = False
        for pic in pictures:
            original = rgb_of(pic)
            name = os.path.splitext(os.path.basename(pic))[0]
            rgb_png = os.path.join(tmp, name + "_rgb.png")
            Image.fromarray(original).save(rgb_png)
            for n in ns:
                ours = os.path.join(tmp, f"{name}_{n}_ours.png")
                subprocess.run([cli, "edit", pic, ours, f"reduce:{n}"], check=True)
                results = {}
                for peer, extra in (("pq-s1", ["--speed", "1"]), ("pq", [])):
                    pq = os.path.join(tmp, f"{name}_{n}_{peer}.png")
                    subprocess.run(["pngquant", str(n), "--nofs", *extra, "--force",
                                    "--output", pq, rgb_png], check=False)
                    if not os.path.exists(pq):  # pngquant declines a picture it cannot improve
                        Image.fromarray(original).save(pq)
                    results[peer] = errors(original, rgb_of(pq))
                pil = Image.fromarray(original).quantize(n).convert("RGB")
                results["pillow"] = errors(original, np.asarray(pil, dtype=np.uint8))
                im = os.path.join(tmp, f"{name}_{n}_im.png")
                subprocess.run(["convert", rgb_png, "+dither", "-colors", str(n), im], check=True)
                results["magick"] = errors(original, rgb_of(im))
                e_ours = errors(original, rgb_of(ours))
                best_de = min(r[0] for r in results.values())
                best_rms = min(results[p][1] for p in ("pq-s1", "pq", "pillow"))
                de_ratio = e_ours[0] / best_de if best_de > 0 else (1.0 if e_ours[0] == 0 else float("inf"))
                rms_ratio = e_ours[1] / best_rms if best_rms > 0 else (1.0 if e_ours[1] == 0 else float("inf"))
                bad = e_ours[0] > best_de + 1e-9 or e_ours[1] > 1.1 * best_rms + 1e-9
                failed |= bad
                print(f"{name:<16}{n:>4}  {e_ours[0]:9.4f}" +
                      "".join(f" {results[p][0]:7.3f}" for p in peers) +
                      f"  {e_ours[1]:8.3f}" + "".join(f" {results[p][1]:7.3f}" for p in peers) +
                      f"  {de_ratio:8.3f} {rms_ratio:9.3f}{'  <-- loses' if bad else ''}", flush=True)
        return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
