#!/bin/bash
# The benchmark scripts configure folders of their own and refuse build/, so the
# normal build keeps its options and the editor's target (which setup.sh runs).
#   bench_scripts_leave_build_alone.sh SOURCE_DIR BINARY_DIR
set -euo pipefail
src=$1
bin=$2
before=$(sha256sum "$bin/CMakeCache.txt")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HW_BENCH_CONFIGURE_ONLY=1
bash "$src/tools/bench_pixels.sh" "$scratch/pixels"
bash "$src/tools/bench_codec.sh" "$scratch/codec"
bash "$src/tools/bench_cli.sh" "$scratch/cli"
/usr/bin/python3 "$src/tools/bench_window.py" --build "$scratch/window"
/usr/bin/python3 "$src/tools/bench_png.py" --build "$scratch/png"
for script in bench_pixels.sh bench_codec.sh bench_cli.sh; do
  if bash "$src/tools/$script" "$src/build" 2>/dev/null; then
    echo "FAIL: $script accepted build/ as its folder"; exit 1
  fi
done
[ "$(sha256sum "$bin/CMakeCache.txt")" = "$before" ] || { echo "FAIL: $bin was reconfigured"; exit 1; }
if grep -q '^HW_BUILD_GUI:BOOL=ON' "$bin/CMakeCache.txt"; then
  targets=$(cmake --build "$bin" --target help)
  grep -q ' huewright$' <<<"$targets" || { echo "FAIL: no huewright target"; exit 1; }
fi
echo "benchmark scripts leave $bin alone"
