#!/usr/bin/env bash
# End to end: the real orv under Xvfb. Menus opened and closed from the keyboard (Alt+A and Esc, then
# Alt+V and D for Debug) leave the keys with the window: the Esc typed next resets the machine, whose
# monitor then shows eight decimal points. Alt+F, X ends it.
# Usage: e2e_menus.sh path/to/orv have-monitor(0|1)
set -euo pipefail
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

e2e_begin "$1" "${2:-1}" import convert
printf '[User]\r\ndiag=1\r\n' > "$work/orv.ini"

e2e_session <<'SESSION' || e2e_abort "the session did not finish"
e2e_place
xdotool windowfocus --sync "$window"
xdotool key alt+a
sleep 0.5
xdotool key Escape
sleep 0.5
e2e_menu v d
xdotool key Escape
e2e_shot_showing shot.png 0x80 0x80 0x80 0x80 0x80 0x80 0x80 0x80
e2e_menu f x
e2e_wait_exit
SESSION
e2e_read_place
e2e_keep shot.png orv_e2e_menus.png

tr -d '\r' < "$work/orv.ini" | grep -qx 'debug=1' || e2e_fail "View > Debug was not picked"
[ "$(grep -c '^Reset\.\.\.$' "$work/trace.txt")" -eq 1 ] || e2e_fail "Esc after the menus did not reset once"
e2e_pixels "$work/shot.png"
e2e_check_digits 0x80 0x80 0x80 0x80 0x80 0x80 0x80 0x80
e2e_finish "Esc reset the machine after the menus had been used from the keyboard (scale $scale)"
