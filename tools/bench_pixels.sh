#!/bin/bash
# Runs the pixel-kernel benchmark (usage counts and index remapping) and prints
# each median throughput as a ratio to memcpy's median in the same run.
# Repetitions are interleaved in random order so that a change in the machine's
# load during the run affects the reference and the kernels alike.
# usage: tools/bench_pixels.sh [build-dir] [repetitions]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-pixels-bench}
reps=${2:-10}
source "$here/lib/bench_folder.sh"
bench_configure "$build" -DHW_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j2 --target bench_pixels >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/bench_pixels" --benchmark_filter='BM_Memcpy|BM_Histo/|BM_Remap/' \
  --benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$out"
/usr/bin/python3 - "$out" <<'PY'
import json, sys
rows = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("aggregate_name") == "median"]
speed = {b["run_name"]: b["bytes_per_second"] / 1e9 for b in rows}
ref = speed.pop("BM_Memcpy/real_time")
names = ["photo", "cartoon", "random", "worst", "flat"]
print(f"memcpy {ref:6.2f} GB/s")
for name, gbs in sorted(speed.items()):
    kind, content = name.split("/")[0][3:], int(name.split(":")[1].split("/")[0])
    print(f"{kind:6} {names[content]:8} {gbs:6.2f} GB/s  {gbs / ref:5.2f} x memcpy")
PY
