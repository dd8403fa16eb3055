#!/usr/bin/env bash
# End to end: the real orv under Xvfb loads an object file through Load on the popup menu, with the
# file name typed into the dialog. The file holds a program at 0200 that lights segment p of digit p
# (the point of digit 7) and a reset vector pointing at it; after a click on "rst" the screenshot's
# pixels must show that diagonal and nothing else. A named pipe chosen for Load is refused with the
# failure box at once.
# Usage: e2e_load.sh path/to/orv have-monitor(0|1)
set -euo pipefail
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

e2e_begin "$1" "${2:-1}" import convert
printf '[User]\r\ndiag=1\r\n' > "$work/orv.ini"

{
  e2e_diagonal_records
  # Into the ROM: the reset vector.
  e2e_hex_record FFFC 00 02
  printf ':00000001FF\r\n'
} > "$work/diagonal.obj"
mkfifo "$work/pipe.obj"

e2e_session <<'SESSION' || e2e_abort "the session did not complete"
e2e_place

# Load from the popup (a right click on the display panel, left of the first digit; "l" picks &Load)
# with the file typed into the dialog; answers the result box captioned $2 with key $3.
load_file() {
  xdotool mousemove $((X + 3 * scale)) $((panel_top + 8 * scale)) click 3
  sleep 0.5
  xdotool key l
  dialog=$(e2e_wait_window '^Load Object file\.\.\.$') || { echo "the load dialog for $1 did not appear"; exit 1; }
  xdotool windowfocus --sync "$dialog"
  sleep 0.5
  xdotool key ctrl+a
  xdotool type --delay 20 "$1"
  xdotool key Return
  box=$(e2e_wait_window "^$2\$") || { echo "no '$2' box for $1"; exit 1; }
  xdotool windowfocus --sync "$box"
  sleep 0.3
  xdotool key "$3"
  for _ in $(seq 50); do xdotool search --onlyvisible --name "^$2\$" >/dev/null 2>&1 || break; sleep 0.1; done
}
load_file "$1/diagonal.obj" 'Successful load' Return
# A named pipe is refused at once with the command's own box: nothing waits for a writer.
load_file "$1/pipe.obj" 'Error loading from file' Escape

# Reset takes the loaded vector.
e2e_click_rst
e2e_shot_showing shot.png "${E2E_DIAGONAL[@]}"
SESSION
e2e_read_place
e2e_keep shot.png orv_e2e_load.png
grep -q "^Loading diagonal.obj\.\.\.$" "$work/trace.txt" || e2e_abort "no load in the trace"
grep -q "^Bytes loaded: 39$" "$work/trace.txt" || e2e_abort "not all 39 bytes loaded"
grep -q "^Loading pipe.obj\.\.\.$" "$work/trace.txt" || e2e_abort "no load of the pipe in the trace"
grep -qx "Monitor loaded \[512 bytes\]" "$work/trace.txt" || e2e_fail "no trace of the monitor loaded at start-up"

# Segment p of digit p lit, and the point of digit 7; everything else dark.
e2e_pixels "$work/shot.png"
e2e_check_digits "${E2E_DIAGONAL[@]}"
e2e_finish "the loaded program lights segment p of digit p and the point of digit 7 (scale $scale)"
