#!/usr/bin/env bash
# End to end: the real orv under Xvfb, first without a window manager, then under openbox. Closed and
# started again, the window reopens exactly where and as large as it was, and the settings keep its
# outer frame; a size chosen with "+" survives a restart; a window made larger than the screen, or
# maximized, keeps the whole panel (the debug panel too) on the 1024 x 768 screen.
# Usage: e2e_window.sh path/to/orv have-monitor(0|1)
set -euo pipefail
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

e2e_begin "$1" "${2:-1}" openbox wmctrl xwininfo xprop

e2e_session <<'SESSION' || e2e_abort "the session did not finish"
manager=none

# The client area as the X server has it (cx, cy, cw, ch), the frame's extents the window manager
# announces (none without one), and the outer frame as the settings write it: left top right bottom.
measure() {
  eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X:/ { print "cx=" $4 }
    /Absolute upper-left Y:/ { print "cy=" $4 } /^  Width:/ { print "cw=" $2 } /^  Height:/ { print "ch=" $2 }')"
  extents=$(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/^.*= //p')
  local fl=0 fr=0 ft=0 fb=0
  [ -z "$extents" ] || IFS=', ' read -r fl fr ft fb <<< "$extents"
  frame="$((cx - fl)) $((cy - ft)) $((cx + cw + fr)) $((cy + ch + fb))"
}

# Waits until the window has its layout's width, its frame when there is a window manager, and
# stays as it is for two looks in a row.
settle() {
  local deadline=$((SECONDS + 20)) last=""
  while :; do
    measure
    if [ $((cw % 100)) -eq 0 ] && { [ "$manager" = none ] || [ -n "$extents" ]; } \
      && [ "$frame $cw $ch" = "$last" ]; then
      return 0
    fi
    last="$frame $cw $ch"
    [ "$SECONDS" -lt "$deadline" ] || { echo "FAIL: the window did not settle ($last)"; exit 1; }
    sleep 0.3
  done
}

saved() {
  awk -F= '/^mainLeft=/ { l = $2 } /^mainTop=/ { t = $2 } /^mainRight=/ { r = $2 }
    /^mainBottom=/ { b = $2 } END { print l, t, r, b }' orv.ini
}

close_orv() {
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  e2e_menu f x
  e2e_wait_exit
}

# close_and_check WHAT: closes orv; the settings must hold the frame last measured, moved onto the
# screen when it reached past the left or top edge (a maximized window's border does).
close_and_check() {
  local left top right bottom shown
  read -r left top right bottom <<< "$frame"
  [ "$left" -ge 0 ] || { right=$((right - left)); left=0; }
  [ "$top" -ge 0 ] || { bottom=$((bottom - top)); top=0; }
  shown="$left $top $right $bottom"
  close_orv
  [ "$(saved)" = "$shown" ] || { echo "FAIL: $manager, $1: saved $(saved), the frame was $shown"; exit 1; }
}

# reopen WHAT: starts orv again; its window must come back with the frame the settings hold, within
# 10 s (a later jump shows when it is closed).
reopen() {
  local deadline=$((SECONDS + 10))
  e2e_start "$work"
  while settle; [ "$frame" != "$(saved)" ]; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "FAIL: $manager, $1: reopened at $frame, saved $(saved)"; exit 1; }
    sleep 0.2
  done
}

# wait_for_change OLD: polls until the window is no longer as OLD ("$frame $cw $ch"), then settles.
wait_for_change() {
  local deadline=$((SECONDS + 10))
  while measure; [ "$frame $cw $ch" = "$1" ]; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "FAIL: $manager: the window stayed $1"; exit 1; }
    sleep 0.2
  done
  settle
}

# on_screen WHAT: the client area, and so the whole panel, lies on the screen, the frame does not reach
# past its right or bottom edge, and the next scale would not fit.
on_screen() {
  local scale=$((cw / 100)) right bottom
  read -r _ _ right bottom <<< "$frame"
  if [ "$cx" -lt 0 ] || [ "$cy" -lt 0 ] || [ "$right" -gt 1024 ] || [ "$bottom" -gt 768 ]; then
    echo "FAIL: $manager, $1: client ${cw}x${ch}+$cx+$cy, frame $frame on a 1024 x 768 screen"
    exit 1
  fi
  # One step more adds 100 pixels of width and at least the keypad's 90 of height.
  if [ $((right + 100)) -le 1024 ] && [ $((bottom + 90)) -le 768 ]; then
    echo "FAIL: $manager, $1: scale $scale leaves room for more"
    exit 1
  fi
  echo "$manager, $1: scale $scale, frame $frame"
}

# The whole round, with the window manager given (or none).
round() {
  settle
  close_and_check "the first start"
  local first
  first=$(saved)
  for n in 1 2 3; do
    reopen "start $n"
    close_and_check "close $n"
  done
  [ "$(saved)" = "$first" ] || { echo "FAIL: $manager: the place moved from $first to $(saved)"; exit 1; }

  # Moved near the top, where the window grows without the window manager pushing it back up.
  reopen "before moving"
  xdotool windowmove "$window" 40 30
  wait_for_change "$frame $cw $ch"
  close_and_check "the moved window"
  reopen "the moved window"

  local width=$cw
  xdotool key --window "$window" plus
  wait_for_change "$frame $cw $ch"
  [ "$cw" -eq $((width + 100)) ] || { echo "FAIL: $manager: zoomed from $width to $cw"; exit 1; }
  close_and_check "the zoomed window"
  reopen "the zoomed window"

  xdotool windowfocus --sync "$window" 2>/dev/null || true
  e2e_menu v d
  xdotool key Escape
  wait_for_change "$frame $cw $ch"
  xdotool windowsize "$window" 1500 1300
  wait_for_change "$frame $cw $ch"
  on_screen "1500 x 1300 asked"
  if [ "$manager" != none ]; then
    wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
    wait_for_change "$frame $cw $ch"
    on_screen "maximized"
  fi
  close_and_check "the large window"
  reopen "the large window"
  close_orv
}

round

# The same under a window manager, from the default place again.
rm orv.ini
openbox > openbox.txt 2>&1 &
for _ in $(seq 300); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; then
  echo "FAIL: openbox did not start: $(cat openbox.txt)"
  exit 1
fi
manager=openbox
e2e_start "$work"
round
echo "PASS"
SESSION
e2e_finish "the window reopens where it was closed, with and without a window manager, and stays on the screen"
