#!/usr/bin/env bash
# Drives the editor with real pointer events under a virtual X server and checks
# what the widget tests cannot: a true drag of one swatch onto another changes the
# board, a click on a swatch (a drop onto itself) selects it, a rubber band
# leaves no trace once released, the saves write what the window shows, and Quit
# asks before unsaved changes would be lost. Works on a copy of the picture.
# Exits non-zero on the first failure.
#
#   tools/drag_check.sh [picture.pcx]
#
# Uses the editor of the release preset (build/release), or of the build folder
# HW_BUILD_DIR names (build/asan: under the sanitizers). Needs xvfb-run,
# xdotool and ImageMagick.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
picture=$(realpath -m "${1:-$root/examples/landscape.pcx}")
[ -f "$picture" ] || { echo "drag_check: no picture at $picture" >&2; exit 1; }
source "$root/tools/lib/presets.sh"
editor_build

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Saves write into the work folder: load a copy.
cp "$picture" "$work/"
picture="$work/$(basename "$picture")"
cp "$picture" "$work/loaded.pcx"
export HW_EXE="$editor" HW_PICTURE="$picture" HW_WORK="$work"
# A window size or place remembered by an earlier run would move the board.
export XDG_CONFIG_HOME="$work/config"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  "$HW_EXE" --load "$HW_PICTURE" 2>"$HW_WORK/app.log" &
  app=$!
  trap "kill $app 2>/dev/null || true" EXIT
  win=$(xdotool search --sync --onlyvisible --name "Huewright ver 1.0" | head -1)
  sleep 1.5
  eval "$(xdotool getwindowgeometry --shell "$win")"
  # X, Y: the board surface, below the menu bar (19 pixels high under Xvfb).
  Y=$((Y + 19))
  # Centre of swatch n on the screen: column n / 16, row n % 16, 14 pixels apart
  # from swatch 0 at 8, 24 (the board at its design size).
  cx() { echo $(( X + 8 + ($1 / 16) * 14 + 6 )); }
  cy() { echo $(( Y + 24 + ($1 % 16) * 14 + 6 )); }
  board() { import -window root -crop 240x250+$X+$Y "$HW_WORK/$1.png"; }
  differ() { [ "$(compare -metric AE "$HW_WORK/$1.png" "$HW_WORK/$2.png" null: 2>&1 || true)" != 0 ]; }

  # The board has the keyboard once the window is focused (a dotted current swatch).
  xdotool windowfocus --sync "$win"; sleep 0.3
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
  # Undo and Redo from the keyboard, in the main window and in the picture window.
  xdotool windowfocus --sync "$win"; sleep 0.3
  xdotool key ctrl+z; sleep 0.6
  board undone
  differ start undone && { echo "FAIL: Ctrl+Z did not take the drag back"; exit 1; }
  echo "ok: Ctrl+Z took the drag back"
  # The picture window is named by the full path; the main window by the file name.
  pic=$(xdotool search --onlyvisible --name "^$HW_PICTURE" | head -1)
  xdotool windowfocus --sync "$pic"; sleep 0.3
  xdotool key ctrl+y; sleep 0.6
  xdotool windowfocus --sync "$win"; sleep 0.3
  board redone
  differ dragged redone && { echo "FAIL: Ctrl+Y in the picture window did not redo the drag"; exit 1; }
  echo "ok: Ctrl+Y in the picture window redid the drag"

  # "Save Pic..." through the real dialog; the saved file, opened by another program,
  # must show exactly what the picture window shows.
  # The picture window must show exactly what a file holds, opened by another program.
  compare_with_window() {
    eval "$(xdotool getwindowgeometry --shell "$pic" | sed "s/^/PIC_/")"
    import -window root -crop "${PIC_WIDTH}x${PIC_HEIGHT}+${PIC_X}+${PIC_Y}" "$HW_WORK/window.png"
    /usr/bin/python3 - "$1" "$HW_WORK/window.png" <<"PY" || exit 1
import sys
from PIL import Image
saved = Image.open(sys.argv[1]).convert("RGB")
shown = Image.open(sys.argv[2]).convert("RGB")
# The picture box sits 8 pixels in from the window corner; leave out the part
# that scroll bars may cover.
w, h = min(saved.width, shown.width - 8 - 20), min(saved.height, shown.height - 8 - 20)
bad = sum(saved.getpixel((x, y)) != shown.getpixel((x + 8, y + 8)) for y in range(h) for x in range(w))
print("compared %d x %d pixels, %d differ" % (w, h, bad))
sys.exit(1 if bad else 0)
PY
  }
  # "Save Pic..." through the real dialog.
  save_and_compare() {
    xdotool windowfocus --sync "$win"; sleep 0.3
    xdotool mousemove $((X + 325)) $((Y + 213)); sleep 0.2; xdotool click 1; sleep 1.5
    xdotool type --delay 20 "$HW_WORK/$1"; sleep 0.3; xdotool key Return; sleep 1.5
    [ -s "$HW_WORK/$1" ] || { echo "FAIL: Save Pic... wrote no file"; exit 1; }
    compare_with_window "$HW_WORK/$1"
  }
  save_and_compare saved.pcx
  echo "ok: the saved picture opened in Pillow shows what the picture window shows"

  # With "Index" alone ticked a drag recolours the picture: still exactly as saved.
  xdotool mousemove $((X + 174)) $((Y + 280)); sleep 0.2; xdotool click 1; sleep 0.4
  xdotool mousemove "$(cx 20)" "$(cy 20)"; sleep 0.2
  xdotool mousedown 1; sleep 0.3
  for s in 30 50 70; do xdotool mousemove "$(cx $s)" "$(cy $s)"; sleep 0.1; done
  sleep 0.3; xdotool mouseup 1; sleep 0.6
  save_and_compare saved_index.pcx
  cmp -s "$HW_WORK/saved.pcx" "$HW_WORK/saved_index.pcx" &&
    { echo "FAIL: the drag with Index alone changed nothing"; exit 1; }
  echo "ok: with Index alone the recoloured picture is saved as shown"

  # After "Save Pic..." the file saved becomes the picture file: a further drag and
  # Ctrl+S in the picture window write that file without a dialog; the loaded file
  # stays as it was.
  xdotool windowfocus --sync "$win"; sleep 0.3
  xdotool mousemove "$(cx 80)" "$(cy 80)"; sleep 0.2
  xdotool mousedown 1; sleep 0.3
  for s in 90 100 110; do xdotool mousemove "$(cx $s)" "$(cy $s)"; sleep 0.1; done
  sleep 0.3; xdotool mouseup 1; sleep 0.6
  cp "$HW_WORK/saved_index.pcx" "$HW_WORK/before_ctrl_s.pcx"
  xdotool windowfocus --sync "$pic"; sleep 0.3
  xdotool key ctrl+s; sleep 1
  cmp -s "$HW_WORK/saved_index.pcx" "$HW_WORK/before_ctrl_s.pcx" &&
    { echo "FAIL: Ctrl+S did not write the file saved last"; exit 1; }
  compare_with_window "$HW_WORK/saved_index.pcx"
  cmp -s "$HW_PICTURE" "$HW_WORK/loaded.pcx" || { echo "FAIL: Ctrl+S wrote the loaded file"; exit 1; }
  echo "ok: Ctrl+S wrote the file saved last, as shown, and left the loaded one alone"

  # Quit with unsaved changes asks; Escape cancels and keeps the editor.
  xdotool windowfocus --sync "$win"; sleep 0.3
  xdotool key ctrl+z; sleep 0.5
  xdotool key ctrl+q; sleep 1
  ask=$(xdotool search --onlyvisible --name "^Huewright$" | head -1)
  [ -n "$ask" ] || { echo "FAIL: Quit with unsaved changes did not ask"; exit 1; }
  xdotool windowfocus --sync "$ask"; xdotool key Escape; sleep 0.8
  kill -0 "$app" || { echo "FAIL: Cancel did not keep the editor"; cat "$HW_WORK/app.log"; exit 1; }
  echo "ok: Quit with unsaved changes asked, and Cancel kept the editor"

  # Redo comes back to the saved state: nothing to lose, Quit ends at once.
  xdotool windowfocus --sync "$win"; sleep 0.3
  xdotool key ctrl+y; sleep 0.5
  xdotool key ctrl+q; sleep 1.5
  if kill -0 "$app" 2>/dev/null; then echo "FAIL: Quit without unsaved changes did not end"; exit 1; fi
  wait "$app" || { echo "FAIL: the editor did not end cleanly"; cat "$HW_WORK/app.log"; exit 1; }
  echo "ok: with nothing unsaved Quit ended the editor"
  if grep -E "runtime error|AddressSanitizer" "$HW_WORK/app.log"; then exit 1; fi
'
echo "drag_check: all passed"
