#!/bin/bash
# The benchmark scripts configure folders of their own and refuse build/ and the
# presets' folders inside it, so those keep their options and the editor's target
# (which setup.sh runs).
#   bench_scripts_leave_build_alone.sh SOURCE_DIR BINARY_DIR
set -euo pipefail
src=$1
bin=$2
caches() { sha256sum "$bin/CMakeCache.txt" "$src"/build/*/CMakeCache.txt 2>/dev/null || true; }
before=$(caches)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HW_BENCH_CONFIGURE_ONLY=1
bash "$src/tools/bench_pixels.sh" "$scratch/pixels"
bash "$src/tools/bench_pcx.sh" "$scratch/pcx"
bash "$src/tools/bench_cli.sh" "$scratch/cli"
/usr/bin/python3 "$src/tools/bench_window.py" --build "$scratch/window"
/usr/bin/python3 "$src/tools/bench_png.py" --build "$scratch/png"
for folder in "$src/build" "$src/build/release" "$src/build/test/"; do
  for script in bench_pixels.sh bench_pcx.sh bench_cli.sh; do
    if bash "$src/tools/$script" "$folder" 2>/dev/null; then
      echo "FAIL: $script accepted $folder as its folder"; exit 1
    fi
  done
  for script in bench_window.py bench_png.py; do
    if /usr/bin/python3 "$src/tools/$script" --build "$folder" 2>/dev/null; then
      echo "FAIL: $script accepted $folder as its folder"; exit 1
    fi
  done
done
[ "$(caches)" = "$before" ] || { echo "FAIL: a build folder was reconfigured"; exit 1; }
if grep -q '^HW_BUILD_GUI:BOOL=ON' "$bin/CMakeCache.txt"; then
  targets=$(cmake --build "$bin" --target help)
  grep -q ' huewright$' <<<"$targets" || { echo "FAIL: no huewright target"; exit 1; }
fi
echo "benchmark scripts leave $bin and build/ alone"
