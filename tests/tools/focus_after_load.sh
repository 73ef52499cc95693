#!/usr/bin/env bash
# Under a virtual X server with a real window manager (openbox): after a picture
# loads, at start and through the Load Pic dialog, the main window keeps the
# keyboard and an arrow key moves the board's selection.
#   focus_after_load.sh EDITOR PICTURE
set -euo pipefail
editor=$1
picture=$2
for tool in xvfb-run openbox xdotool import compare; do
  command -v "$tool" >/dev/null || { echo "focus_after_load: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$picture" "$work/first.pcx"
cp "$picture" "$work/second.pcx"
export HW_EXE="$editor" HW_WORK="$work" XDG_CONFIG_HOME="$work/config"
# The editor must show real windows on the virtual server: the test presets set
# QT_QPA_PLATFORM=offscreen for the widget tests, under which no window appears.
unset QT_QPA_PLATFORM
# Bounded throughout, so that a window that never shows ends the check instead
# of leaving the server behind.
timeout -k 5 100 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  "$HW_EXE" --load "$HW_WORK/first.pcx" 2>"$HW_WORK/app.log" &
  app=$!
  trap "kill $app $wm 2>/dev/null || true" EXIT
  main=$(timeout 30 xdotool search --sync --onlyvisible --name "Huewright ver 1.0" | head -1)
  [ -n "$main" ] || { echo "FAIL: the main window did not appear"; cat "$HW_WORK/app.log"; exit 1; }
  picture_shown() {
    for _ in $(seq 100); do
      xdotool search --onlyvisible --name "^$HW_WORK/$1" >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    echo "FAIL: the picture window for $1 did not appear"; exit 1
  }
  active_is_main() {
    sleep 1
    [ "$(xdotool getactivewindow)" = "$main" ] ||
      { echo "FAIL: after loading $1 the keyboard is with $(xdotool getactivewindow getwindowname)"; exit 1; }
  }
  board() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    import -window root -crop 240x250+$X+$Y "$HW_WORK/$1.png"
  }
  arrow_moves_selection() {
    board before; xdotool key Right; sleep 0.5; board after
    [ "$(compare -metric AE "$HW_WORK/before.png" "$HW_WORK/after.png" null: 2>&1 || true)" != 0 ] ||
      { echo "FAIL: after loading $1 the Right key left the board as it was"; exit 1; }
  }
  picture_shown first.pcx
  active_is_main first.pcx
  arrow_moves_selection first.pcx
  echo "ok: the board keeps the keyboard after a load at start"
  # Load Pic through its dialog: the name typed, then Enter.
  xdotool key ctrl+o; sleep 1.5
  xdotool type --delay 20 "$HW_WORK/second.pcx"; sleep 0.3
  xdotool key Return
  picture_shown second.pcx
  active_is_main second.pcx
  arrow_moves_selection second.pcx
  echo "ok: the board keeps the keyboard after Load Pic"
'
