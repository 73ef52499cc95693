#!/usr/bin/env bash
# Drives the editor with real pointer events under a virtual X server and checks
# what the widget tests cannot: a true drag of one swatch onto another changes the
# board, a click on a swatch (a drop onto itself) selects it, and a rubber band
# leaves no trace once released. Exits non-zero on the first failure.
#
#   tools/drag_check.sh [picture.pcx]
#
# HW_BUILD_DIR chooses the build directory (default build-qt). Needs xvfb-run,
# xdotool and ImageMagick.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${HW_BUILD_DIR:-$root/build-qt}
picture=$(realpath -m "${1:-$root/examples/landscape.pcx}")
[ -f "$picture" ] || { echo "drag_check: no picture at $picture" >&2; exit 1; }
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target huewright >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HW_EXE="$build/huewright" HW_PICTURE="$picture" HW_WORK="$work"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  "$HW_EXE" --load "$HW_PICTURE" 2>"$HW_WORK/app.log" &
  app=$!
  trap "kill $app 2>/dev/null || true" EXIT
  win=$(xdotool search --sync --onlyvisible --name "Huewright ver 1.0" | head -1)
  sleep 1.5
  eval "$(xdotool getwindowgeometry --shell "$win")"
  # Centre of swatch n on the screen: column n / 16, row n % 16, pitch 211.2 twips.
  cx() { echo $(( X + (($1 / 16) * 2112 + 1200 + 75) / 150 + 6 )); }
  cy() { echo $(( Y + (($1 % 16) * 2112 + 3600 + 75) / 150 + 6 )); }
  board() { import -window root -crop 240x250+$X+$Y "$HW_WORK/$1.png"; }
  differ() { [ "$(compare -metric AE "$HW_WORK/$1.png" "$HW_WORK/$2.png" null: 2>&1 || true)" != 0 ]; }

  board start
  xdotool mousemove "$(cx 1)" "$(cy 1)"; sleep 0.2
  xdotool mousedown 1; sleep 0.3
  for s in 20 60 120 200; do xdotool mousemove "$(cx $s)" "$(cy $s)"; sleep 0.1; done
  sleep 0.3; xdotool mouseup 1; sleep 0.6
  board dragged
  differ start dragged || { echo "FAIL: dragging swatch 1 onto 200 left the board as it was"; exit 1; }
  echo "ok: a drag of swatch 1 onto swatch 200 changed the board"

  xdotool mousemove "$(cx 70)" "$(cy 70)"; sleep 0.2
  xdotool mousedown 1; sleep 0.15; xdotool mouseup 1; sleep 0.8
  board clicked
  differ dragged clicked || { echo "FAIL: a click on swatch 70 did not move the marks"; exit 1; }
  echo "ok: a click on swatch 70 selected it"

  xdotool mousemove $((X + 21)) $((Y + 30)); sleep 0.2
  xdotool mousedown 1; sleep 0.2
  xdotool mousemove $((X + 120)) $((Y + 140)); sleep 0.2
  xdotool mousemove $((X + 150)) $((Y + 160)); sleep 0.3
  board banding
  xdotool mouseup 1; sleep 0.4
  board banded
  differ clicked banding || { echo "FAIL: no rubber band was drawn"; exit 1; }
  differ clicked banded && { echo "FAIL: the rubber band left a trace"; exit 1; }
  echo "ok: the rubber band showed while dragging and left no trace"
  kill -0 "$app" || { echo "FAIL: the editor ended early"; cat "$HW_WORK/app.log"; exit 1; }
  if grep -E "runtime error|AddressSanitizer" "$HW_WORK/app.log"; then exit 1; fi
'
echo "drag_check: all passed"
