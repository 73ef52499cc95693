#!/bin/bash
# Builds the PCX codec benchmark and compares it with Pillow on the same pictures.
# usage: tools/bench_pcx.sh [build-dir] [extra pcx_against_pillow.py options]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-pcx-bench}
shift || true
source "$here/lib/bench_folder.sh"
bench_configure "$build" -DHW_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2 --target bench_pcx >/dev/null
/usr/bin/python3 "$here/lib/pcx_against_pillow.py" "$build/bench_pcx" "$@"
