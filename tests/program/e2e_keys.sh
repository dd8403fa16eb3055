#!/usr/bin/env bash
# End to end: the real orv under Xvfb, typed at with xdotool. It opens at the place its settings file
# gives, Esc resets the machine, "m0200", Enter and "a9" make the monitor show the address and the new
# byte, a right click opens the popup menu, and Alt+F, X ends the program, which writes its settings.
# Usage: e2e_keys.sh path/to/orv have-monitor(0|1)
set -euo pipefail

orv=$1
have_monitor=${2:-1}
if [ "$have_monitor" != 1 ]; then
  echo "SKIPPED: the monitor image is not part of this build"
  exit 77
fi
for tool in xvfb-run xdotool import convert compare; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$orv" "$work/orv"
# A saved place: 400 x 300 at (5, 5). With no window manager there is no frame around it.
printf '[Screen]\nmainLeft=5\nmainTop=5\nmainRight=405\nmainBottom=305\n' > "$work/orv.ini"

cat > "$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
cd "$1"
./orv > trace.txt 2> errors.txt &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Orvane$' | head -1) || { echo "orv's window did not appear"; exit 1; }
for _ in $(seq 50); do
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ $((WIDTH % 100)) -eq 0 ] && [ $((HEIGHT - 90 * WIDTH / 100)) -gt 0 ] && break
  sleep 0.1
done
scale=$((WIDTH / 100))
panel_top=$((Y + HEIGHT - 90 * scale))
echo "$X $Y $WIDTH $scale $panel_top" > place.txt

xdotool windowfocus --sync "$window"
xdotool key Escape
sleep 0.5
# A key reaches the monitor in two ticks; the delay keeps well clear of the queue's limit. Keys one by
# one: "xdotool type" now and then drops a character of a longer string.
xdotool key --delay 150 m 0 2 0 0 Return a 9
sleep 1
import -window root keys.png

# The right button on the display panel, beside the digits.
xdotool mousemove $((X + 2 * scale)) $((panel_top + 15 * scale)) click 3
sleep 0.7
import -window root popup.png
xdotool key Escape
sleep 0.3

xdotool windowfocus --sync "$window"
xdotool key alt+f
sleep 0.5
xdotool key x
for _ in $(seq 50); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if kill -0 $pid 2>/dev/null; then echo "orv did not end after File, Exit"; exit 1; fi
wait $pid || { echo "orv ended with status $?"; exit 1; }
SESSION
chmod +x "$work/session.sh"

xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh" "$work"
read -r x y width scale top < "$work/place.txt"
cp "$work/keys.png" "${TMPDIR:-/tmp}/orv_e2e_keys.png" 2>/dev/null || true
cp "$work/popup.png" "${TMPDIR:-/tmp}/orv_e2e_popup.png" 2>/dev/null || true

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

[ "$x" -eq 5 ] && [ "$y" -eq 5 ] || fail "window at ($x,$y), expected the saved (5,5)"
[ "$width" -eq 400 ] || fail "window $width wide, expected the saved 400"

convert "$work/keys.png" -depth 8 txt:- > "$work/pixels.txt"
pixel() {
  grep -m1 "^$1,$2: " "$work/pixels.txt" | sed -E 's/^[^(]*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}
lit() { # x y -> 0 when the pixel is a lit segment's colour
  local r g b
  read -r r g b <<< "$(pixel "$1" "$2")"
  [ "$r" -eq 255 ] && { [ "$g" -eq 102 ] || [ "$g" -eq 204 ]; } && [ "$b" -eq 153 ]
}

# Digit 0 the "m" prompt, 1-4 the address, 5 only its point, 6-7 the byte typed.
patterns=(0xF7 0x3F 0x5B 0x3F 0x3F 0x80 0x77 0x6F)
# Segments a-g and the point: one unit inside each, clear of the joints (units from the digit's left).
seg_x=(3 6 6 3 0 0 3 8)
seg_y=(3 5 10 13 10 5 8 13)
for p in 0 1 2 3 4 5 6 7; do
  left=$((11 * p + 7))
  for s in 0 1 2 3 4 5 6 7; do
    px=$((x + (left + ${seg_x[$s]}) * scale + 1))
    py=$((top + ${seg_y[$s]} * scale + 1))
    want=$(((patterns[p] >> s) & 1))
    if lit "$px" "$py"; then got=1; else got=0; fi
    [ "$got" -eq "$want" ] || fail "digit $p segment $s at ($px,$py) is $got, expected $want"
  done
done

# The popup opens below and right of the click, over the panel.
click_x=$((x + 2 * scale))
click_y=$((top + 15 * scale))
region="120x120+$((click_x + 5))+$((click_y + 5))"
convert "$work/keys.png" -crop "$region" +repage "$work/before.png"
convert "$work/popup.png" -crop "$region" +repage "$work/after.png"
changed=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 || true)
[ "${changed%%.*}" -gt 2000 ] 2>/dev/null || fail "no popup menu at the click: $changed pixels changed"

# Exit wrote the three sections, in order, beside the executable.
sections=$(grep -E '^\[' "$work/orv.ini" | tr '\n' ' ')
[ "$sections" = "[Screen] [User] [Debug] " ] || fail "settings sections: $sections"
for line in menu=1 keys=1 debug=0 debugM=0000 mainLeft=5 mainTop=5 mainRight=405; do
  grep -qx "$line" "$work/orv.ini" || fail "settings lack $line"
done

if [ $failures -ne 0 ]; then
  echo "settings:"; cat "$work/orv.ini"; echo "trace:"; cat "$work/trace.txt"; echo "errors:"; cat "$work/errors.txt"
  exit 1
fi
echo "PASS: saved place, monitor shows m 0200 . a9, popup opened, settings written at exit (scale $scale)"
