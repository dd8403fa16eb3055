#!/usr/bin/env bash
# End to end: the real orv under Xvfb loads an object file through Load on the popup menu, with the
# file name typed into the dialog. The file holds a program at 0200 that lights segment p of digit p
# (the point of digit 7) and a reset vector pointing at it; after a click on "rst" the screenshot's
# pixels must show that diagonal and nothing else.
# Usage: e2e_load.sh path/to/orv have-monitor(0|1)
set -euo pipefail

orv=$1
have_monitor=${2:-1}
if [ "$have_monitor" != 1 ]; then
  echo "SKIPPED: the monitor image is not part of this build"
  exit 77
fi
for tool in xvfb-run xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$orv" "$work/orv"
printf '[User]\r\ndiag=1\r\n' > "$work/orv.ini"

# One Intel HEX data record: address, then the data bytes, all in hex.
record() {
  local address=$1
  shift
  local sum=$(($# + 0x${address:0:2} + 0x${address:2:2}))
  local line
  line=$(printf ':%02X%s00' $# "$address")
  for byte in "$@"; do
    line+=$(printf '%02X' $((0x$byte)))
    sum=$((sum + 0x$byte))
  done
  printf '%s%02X\r\n' "$line" $(((256 - sum % 256) % 256))
}
{
  # Ports A (digit select) and B (segments) as outputs, then forever: for X in 0..7, segments from
  # the table at 0240, digit X selected.
  record 0200 A9 07 8D 22 0E A9 FF 8D 23 0E A2 00 BD 40 02 8D 21 0E 8E 20 0E E8 E0 08 D0 F2 4C 0A 02
  record 0240 01 02 04 08 10 20 40 80
  # Into the ROM: the reset vector.
  record FFFC 00 02
  printf ':00000001FF\r\n'
} > "$work/diagonal.obj"

cat > "$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
cd "$1"
./orv > trace.txt 2> errors.txt &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Orvane$' | head -1) || { echo "orv's window did not appear"; exit 1; }
for _ in $(seq 50); do
  geometry=$(xdotool getwindowgeometry --shell "$window")
  eval "$geometry"
  # The first layout snaps the client width to whole hundreds.
  [ $((WIDTH % 100)) -eq 0 ] && break
  sleep 0.1
done
scale=$((WIDTH / 100))
# Keypad shown, debug panel hidden: the panel is 90 units high; anything above it is the menu bar.
panel_top=$((Y + HEIGHT - 90 * scale))
echo "window ${WIDTH}x${HEIGHT}+${X}+${Y} scale $scale panel top $panel_top"

# The id of the first visible window with that title, waiting up to 10 s. Searches race with windows
# that close meanwhile, so each one is simply tried again.
wait_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# The popup from a right click on the display panel, left of the first digit; "l" picks &Load.
xdotool mousemove $((X + 3 * scale)) $((panel_top + 8 * scale)) click 3
sleep 0.5
xdotool key l
dialog=$(wait_window '^Load Object file\.\.\.$') || { echo "the load dialog did not appear"; exit 1; }
xdotool windowfocus --sync "$dialog"
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 20 "$1/diagonal.obj"
xdotool key Return
box=$(wait_window '^Successful load$') || { echo "no 'Successful load' box"; exit 1; }
xdotool windowfocus --sync "$box"
sleep 0.3
xdotool key Return
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Successful load$' >/dev/null 2>&1 || break; sleep 0.1; done

# The "rst" key: 9 x 5 units at (80, 26). Reset takes the loaded vector.
xdotool mousemove $((X + 80 * scale + 9 * scale / 2)) $((panel_top + 26 * scale + 5 * scale / 2)) click 1
sleep 1.5
import -window root shot.png
echo "$X $Y $scale $panel_top" > place.txt
SESSION
chmod +x "$work/session.sh"

fail() {
  echo "FAIL: $1"
  echo "trace:"; cat "$work/trace.txt" 2>/dev/null || true
  echo "errors:"; cat "$work/errors.txt" 2>/dev/null || true
  exit 1
}

xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh" "$work" || fail "the session did not complete"
read -r x y scale top < "$work/place.txt"
cp "$work/shot.png" "${TMPDIR:-/tmp}/orv_e2e_load.png" 2>/dev/null || true
grep -q "^Loading diagonal.obj\.\.\.$" "$work/trace.txt" || fail "no load in the trace"
grep -q "^Bytes loaded: 39$" "$work/trace.txt" || fail "not all 39 bytes loaded"

# All pixels as "x,y: (r,g,b)" lines, then look up the ones we need.
convert "$work/shot.png" -depth 8 txt:- > "$work/pixels.txt"
pixel() {
  local line
  line=$(grep -m1 "^$1,$2: " "$work/pixels.txt")
  echo "$line" | sed -E 's/^[^(]*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}

failures=0
check() { # description x y expected-kind(lit|dark)
  local r g b
  read -r r g b <<< "$(pixel "$2" "$3")"
  local ok=0
  if [ "$4" = lit ]; then
    [ "$r" -eq 255 ] && { [ "$g" -eq 102 ] || [ "$g" -eq 204 ]; } && [ "$b" -eq 153 ] && ok=1
  else
    [ "$r" -eq 0 ] && [ "$g" -eq 0 ] && [ "$b" -eq 0 ] && ok=1
  fi
  if [ $ok -ne 1 ]; then
    echo "FAIL: $1 at ($2,$3) is ($r,$g,$b), expected $4"
    failures=$((failures + 1))
  fi
}

# Segments a-g in bit order: a point one unit in from the start of each, clear of the joints, in units
# relative to the digit's left edge and the panel's top.
points=("3 3" "6 5" "6 10" "3 13" "0 10" "0 5" "3 8")
names=(a b c d e f g)
for p in 0 1 2 3 4 5 6 7; do
  left=$((11 * p + 7))
  for bit in 0 1 2 3 4 5 6; do
    read -r ux uy <<< "${points[$bit]}"
    kind=dark
    [ "$bit" -eq "$p" ] && kind=lit
    check "segment ${names[$bit]} of digit $p" $((x + (left + ux) * scale + 1)) $((top + uy * scale + 1)) $kind
  done
  kind=dark
  [ "$p" -eq 7 ] && kind=lit
  check "point of digit $p" $((x + (left + 8) * scale + 1)) $((top + 13 * scale + 1)) $kind
done

if [ $failures -ne 0 ]; then
  echo "trace:"; cat "$work/trace.txt"; echo "errors:"; cat "$work/errors.txt"
  exit 1
fi
echo "PASS: the loaded program lights segment p of digit p and the point of digit 7 (scale $scale)"
