#!/usr/bin/env bash
# Builds the editor if needed, runs it under a virtual X server with a sample
# picture loaded, and writes a screenshot of both windows to docs/screenshot.png.
#
#   tools/screenshot.sh [picture.pcx] [output.png]
#
# Uses the editor of the release preset (build/release), or of the build folder
# HW_BUILD_DIR names (build/asan: under the sanitizers). Needs xvfb-run,
# xdotool and ImageMagick's import/convert.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
picture=$(realpath -m "${1:-$root/examples/lava_cave.pcx}")
out=${2:-$root/docs/screenshot.png}

if [ ! -f "$picture" ]; then
  echo "screenshot: no picture at $picture" >&2
  exit 1
fi
source "$root/tools/lib/presets.sh"
editor_build
mkdir -p "$(dirname "$out")"

export HW_EXE="$editor" HW_PICTURE="$picture" HW_OUT="$out"
export XDG_CONFIG_HOME=$(mktemp -d)  # no window place remembered by an earlier run
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  "$HW_EXE" --load "$HW_PICTURE" &
  app=$!
  trap "kill $app 2>/dev/null || true" EXIT
  xdotool search --sync --onlyvisible --name "Huewright ver 1.0" >/dev/null
  # The picture window appears once the load has finished.
  for _ in $(seq 50); do
    if xdotool search --onlyvisible --name "^$HW_PICTURE" >/dev/null 2>&1; then break; fi
    sleep 0.1
  done
  sleep 1
  shot=$(mktemp --suffix=.png)
  import -window root "$shot"
  # Keep the part of the screen the two windows cover.
  convert "$shot" -bordercolor black -border 1 -trim +repage -bordercolor "#303030" -border 8 "$HW_OUT"
  rm -f "$shot"
'
echo "wrote $out"
