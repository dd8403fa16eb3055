#!/usr/bin/env bash
# End to end: the real orv under Xvfb, typed at with xdotool. It opens at the place its settings file
# gives, Esc resets the machine, "m0200", Enter and "a9" make the monitor show the address and the new
# byte, a right click opens the popup menu, and Alt+F, X ends the program, which writes its settings.
# Usage: e2e_keys.sh path/to/orv have-monitor(0|1)
set -euo pipefail
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

e2e_begin "$1" "${2:-1}" import convert compare
# A saved place: 400 x 300 at (5, 5). With no window manager there is no frame around it.
printf '[Screen]\nmainLeft=5\nmainTop=5\nmainRight=405\nmainBottom=305\n' > "$work/orv.ini"

e2e_session <<'SESSION' || e2e_abort "the session did not finish"
e2e_place

xdotool windowfocus --sync "$window"
xdotool key Escape
# The monitor is up once it shows its eight points.
e2e_shot_showing reset.png 0x80 0x80 0x80 0x80 0x80 0x80 0x80 0x80
# A key reaches the monitor in two ticks; the delay keeps well clear of the queue's limit. Keys one by
# one: "xdotool type" now and then drops a character of a longer string.
xdotool key --delay 150 m 0 2 0 0 Return a 9
e2e_shot_showing keys.png 0xF7 0x3F 0x5B 0x3F 0x3F 0x80 0x77 0x6F

# The right button on the display panel, beside the digits; the popup opens below and right of it.
xdotool mousemove $((X + 2 * scale)) $((panel_top + 15 * scale)) click 3
region="120x120+$((X + 2 * scale + 5))+$((panel_top + 15 * scale + 5))"
for _ in $(seq 100); do
  import -window root popup.png
  [ "$(e2e_changed_pixels keys.png popup.png "$region")" -gt 2000 ] 2>/dev/null && break
  sleep 0.2
done
xdotool key Escape
sleep 0.3

xdotool windowfocus --sync "$window"
e2e_menu f x
e2e_wait_exit
SESSION
e2e_read_place
e2e_keep keys.png orv_e2e_keys.png
e2e_keep popup.png orv_e2e_popup.png

[ "$x" -eq 5 ] && [ "$y" -eq 5 ] || e2e_fail "window at ($x,$y), expected the saved (5,5)"
[ "$width" -eq 400 ] || e2e_fail "window $width wide, expected the saved 400"

# Digit 0 the "m" prompt, 1-4 the address, 5 only its point, 6-7 the byte typed.
e2e_pixels "$work/keys.png"
e2e_check_digits 0xF7 0x3F 0x5B 0x3F 0x3F 0x80 0x77 0x6F

# The popup opens below and right of the click, over the panel.
region="120x120+$((x + 2 * scale + 5))+$((top + 15 * scale + 5))"
changed=$(e2e_changed_pixels "$work/keys.png" "$work/popup.png" "$region")
[ "$changed" -gt 2000 ] 2>/dev/null || e2e_fail "no popup menu at the click: $changed pixels changed"

# Exit wrote the three sections, in order, beside the executable.
sections=$(grep -E '^\[' "$work/orv.ini" | tr '\n' ' ')
[ "$sections" = "[Screen] [User] [Debug] " ] || e2e_fail "settings sections: $sections"
for line in menu=1 keys=1 debug=0 debugM=0000 mainLeft=5 mainTop=5 mainRight=405; do
  grep -qx "$line" "$work/orv.ini" || e2e_fail "settings lack $line"
done

e2e_finish "saved place, monitor shows m 0200 . a9, popup opened, settings written at exit (scale $scale)"
