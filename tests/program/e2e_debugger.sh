#!/usr/bin/env bash
# End to end: the debugger window of the real orv under Xvfb. orv starts running an object file, with
# its ld65 label file given by --labels. Ctrl+D opens the debugger window and Pause halts the program;
# "loop" typed into the code pane's Go to and F4 (Run to here) bring the PC there; Go to "count"
# and a click in the margin at its row set a breakpoint; Pause runs the program, which stops there: the
# trace shows the stop's registers and the row clicked is marked as the PC's.
# Usage: e2e_debugger.sh path/to/orv have-monitor(0|1)
set -euo pipefail
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

e2e_begin "$1" "${2:-1}" import convert
printf '[User]\r\ndiag=1\r\n' > "$work/orv.ini"

# start: LDX #0 / loop: INX, JSR count, JMP loop / count: INC $10, RTS
{
  e2e_hex_record 0200 A2 00 E8 20 09 02 4C 02 02 E6 10 60
  printf ':00000001FF\r\n'
} > "$work/prog.obj"
printf 'al 000209 .count\nal 000202 .loop\nal 000200 .start\n' > "$work/prog.lbl"

e2e_session --labels prog.lbl --run 0200 prog.obj <<'SESSION' || e2e_abort "the session did not complete"
xdotool windowfocus --sync "$window"
xdotool key --window "$window" ctrl+d
debugger=$(e2e_wait_window '^Orvane Debugger$') || { echo "the debugger window did not appear"; exit 1; }
xdotool windowfocus --sync "$debugger"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$debugger")"
echo "debugger window ${WIDTH}x${HEIGHT}+${X}+${Y}"
echo "left=$X top=$Y width=$WIDTH height=$HEIGHT" > debugger_place.txt

# row_of COLOURS [TOP]: "left top bottom" of the code pane's row painted in one of the colours
# (#RRGGBB|#RRGGBB...) on a fresh screenshot, waiting up to 10 s for one (starting at TOP when given);
# nothing when none came.
row_of() {
  local found
  for _ in $(seq 50); do
    import -window root shot.png
    found=$(convert shot.png -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -depth 8 txt:- |
      awk -v colours="$1" -F'[,: ]+' '$0 ~ colours {
          if (n++ == 0 || $1 < left) left = $1
          if (n == 1 || $2 < top) top = $2
          if ($2 > bottom) bottom = $2
        }
        END { if (n > 200) print left, top, bottom }')
    if [ -n "$found" ] && { [ -z "${2:-}" ] || [ "$(echo "$found" | cut -d' ' -f2)" = "$2" ]; }; then
      echo "$found"
      return 0
    fi
    sleep 0.2
  done
}
cursor_colour='#CCE0FA'
pc_colour='#FFEC8C'

# await_trace PATTERN: the trace has a line matching it, within 10 s.
await_trace() {
  for _ in $(seq 100); do
    grep -qE "$1" trace.txt && return 0
    sleep 0.1
  done
  echo "no line like '$1' in the trace"
  exit 1
}

xdotool key Pause
await_trace '^Halted\.'
xdotool key ctrl+g
xdotool type --delay 20 loop
xdotool key Return
# The halt may have come at loop: then its row is the PC's.
read -r left top bottom <<< "$(row_of "$cursor_colour|$pc_colour")"
[ -n "$bottom" ] || { echo "no cursor row after going to loop"; exit 1; }
xdotool key F4
read -r left top bottom <<< "$(row_of "$pc_colour" "$top")"
[ -n "$bottom" ] || { echo "the PC's row is not loop's after Run to here"; exit 1; }

xdotool key ctrl+g
xdotool type --delay 20 count
xdotool key Return
read -r left top bottom <<< "$(row_of "$cursor_colour")"
[ -n "$bottom" ] || { echo "no cursor row after going to count"; exit 1; }
echo "count's row at x $left, y $top-$bottom"
# The margin is the strip left of the row's colour.
xdotool mousemove $((X + left - 8)) $((Y + (top + bottom) / 2)) click 1
sleep 0.3
xdotool key Pause
await_trace '^PC:0209 '
read -r pc_left pc_top pc_bottom <<< "$(row_of "$pc_colour")"
echo "$top $bottom ${pc_top:-none} ${pc_bottom:-none}" > rows.txt
SESSION

grep -qE '^Running, minTimer=' "$work/trace.txt" || e2e_fail "the program was not running from the start"
# The breakpoint's stop, after the halt and the run to loop.
grep -qE '^PC:0209 A:.. X:.. Y:.. .* SP:.. \[cyc=[0-9]+\]$' "$work/trace.txt" || e2e_fail "no stop at count"
read -r top bottom pc_top pc_bottom < "$work/rows.txt"
[ "$pc_top" = "$top" ] && [ "$pc_bottom" = "$bottom" ] ||
  e2e_fail "the PC's mark is at rows $pc_top-$pc_bottom, not at count's row $top-$bottom"
# Ended by a signal with the window never moved, it is still saved where it stood.
for key in left top width height; do
  grep -qx "$key=$(grep -o "$key=[0-9]*" "$work/debugger_place.txt" | cut -d= -f2)" <(tr -d '\r' < "$work/orv.ini") ||
    e2e_fail "the debugger window's $key in orv.ini is not where it stood: $(cat "$work/debugger_place.txt")"
done
e2e_keep shot.png orv_e2e_debugger.png
e2e_finish "a breakpoint set in the margin at a label's row stops the program there, marked as the PC's row"
