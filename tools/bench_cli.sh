#!/bin/bash
# Whole-process `huewright-cli indices FILE > /dev/null` against Pillow's in-process
# Image.open(FILE).load() on the same 4096 x 4096 pictures, one per content class
# (photo, cartoon, random, worst from bench_pcx, and flat: one index), each as PCX
# and converted by huewright-cli to GIF and BMP, and two of them as 4-bit and
# run-length BMPs written by ImageMagick.
# Runs are interleaved (ours, then Pillow's, class after class) and each side
# reports the median wall time of --runs runs; the ratio is Pillow / ours, so
# above 1 means the CLI as a whole process is faster than Pillow's decode alone.
# A second Pillow column adds tobytes(), the indices in memory as the CLI writes
# them: where load() only maps the file (an uncompressed 8-bit BMP) this is the
# measure that reads the pixels.
#
# With --edit it runs bench_cli (Google Benchmark) instead: on one 8192 x 8192 PCX,
# `edit` with one step against `rewrite` of the same file and `stats` against
# `info`, `cycle-gif` of the same picture as a PNG with five ranges against
# `convert` of that PNG to GIF, and on a 4096 x 4096 ILBM of 8 planes `indices`
# against netpbm's `ilbmtoppm`, whole processes run back to back in every
# iteration; the ratio column is command / reference.
# usage: tools/bench_cli.sh [--edit] [build-dir] [runs]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
edit=0
if [ "${1:-}" = --edit ]; then edit=1; shift; fi
build=${1:-$root/build-cli-bench}
runs=${2:-21}
source "$here/lib/bench_folder.sh"
build_cli() {  # folder, cmake options...
  local folder=$1
  shift
  bench_configure "$folder" -DHW_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Release "$@"
  cmake --build "$folder" -j2 --target huewright-cli bench_pcx bench_cli >"$folder/bench-build.log" 2>&1 ||
    { cat "$folder/bench-build.log" >&2; exit 1; }
}
build_cli "$build"
if [ $edit = 1 ]; then
  exec "$build/bench_cli" --cli="$build/huewright-cli" --runs="${2:-9}" \
    --benchmark_counters_tabular=true
fi
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
"$build/bench_pcx" --write_pictures="$pictures" >/dev/null
/usr/bin/python3 - "$build/huewright-cli" "$pictures" "$runs" <<'PY'
import os, statistics, subprocess, sys, time
from PIL import Image

cli, folder, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
Image.new("P", (4096, 4096), 7).save(os.path.join(folder, "flat.pcx"))
classes = ["photo", "cartoon", "random", "worst", "flat"]
for c in classes:
    for ext in ("gif", "bmp"):
        subprocess.run([cli, "convert", os.path.join(folder, c + ".pcx"),
                        os.path.join(folder, c + "." + ext)], check=True)
# BMPs of the other kinds, written by ImageMagick: 4 bits a pixel (16 colours) and
# 8-bit run-length. Pillow maps an uncompressed 8-bit BMP rather than decoding it,
# so its load() reads no pixel there; these kinds it decodes.
others = []
for c in ("photo", "cartoon"):
    bmp = os.path.join(folder, c + ".bmp")
    for kind, options in (("4bit", ["-colors", "16", "-compress", "None"]),
                          ("rle8", ["-compress", "RLE"])):
        subprocess.run(["convert", bmp, *options, f"BMP3:{folder}/{c}-{kind}.bmp"], check=True)
        others.append(f"{c}-{kind}.bmp")
kinds = [c + "." + ext for ext in ("pcx", "gif", "bmp") for c in classes] + others
files = {k: os.path.join(folder, k) for k in kinds}

def ours(path):
    t0 = time.perf_counter()
    subprocess.run([cli, "indices", path], stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - t0

def pillow(path):
    t0 = time.perf_counter()
    Image.open(path).load()
    return time.perf_counter() - t0

def pillow_bytes(path):  # the indices in memory, as the CLI writes them
    t0 = time.perf_counter()
    Image.open(path).tobytes()
    return time.perf_counter() - t0

for k in kinds:  # both agree on the pixels, and the page cache holds the files
    out = subprocess.run([cli, "indices", files[k]], capture_output=True, check=True).stdout
    assert out == Image.open(files[k]).tobytes(), k
times = {(k, side): [] for k in kinds for side in ("ours", "pillow", "bytes")}
for _ in range(runs):
    for k in kinds:
        times[(k, "ours")].append(ours(files[k]))
        times[(k, "pillow")].append(pillow(files[k]))
        times[(k, "bytes")].append(pillow_bytes(files[k]))
med = lambda k, side: statistics.median(times[(k, side)]) * 1e3
print(f"4096 x 4096, median of {runs} interleaved runs (wall time, ms)")
print(f"{'picture':16} {'file MB':>8} {'cli':>8} {'Pillow':>8} {'Pillow/cli':>11}"
      f" {'+tobytes':>9} {'+tobytes/cli':>13}")
for k in kinds:
    a, b, c = med(k, "ours"), med(k, "pillow"), med(k, "bytes")
    print(f"{k:16} {os.path.getsize(files[k]) / 1e6:8.1f} {a:8.1f} {b:8.1f} {b / a:11.2f}"
          f" {c:9.1f} {c / a:13.2f}")
PY
