#!/usr/bin/env bash
# End to end: the real orv under Xvfb. A click on the "rst" key resets and runs the machine; the
# monitor then shows eight decimal points and nothing else, which the screenshot's pixels must show.
# Usage: e2e_reset.sh path/to/orv have-monitor(0|1)
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
# A folder of its own, so the settings it writes at exit land there.
cp "$orv" "$work/orv"

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

# The "rst" key: 9 x 5 units at (80, 26).
xdotool mousemove $((X + 80 * scale + 9 * scale / 2)) $((panel_top + 26 * scale + 5 * scale / 2)) click 1
sleep 1.5
import -window root shot.png
echo "$X $Y $scale $panel_top" > place.txt
SESSION
chmod +x "$work/session.sh"

xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh" "$work"
read -r x y scale top < "$work/place.txt"
cp "$work/shot.png" "${TMPDIR:-/tmp}/orv_e2e_reset.png" 2>/dev/null || true

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

# Segment rectangles in units relative to a digit's left edge: x0 y0 (one unit each, inside the body).
segments=("0 3" "6 3" "6 8" "0 13" "0 8" "0 3" "0 8")
names=(a b c d e f g)
for p in 0 1 2 3 4 5 6 7; do
  left=$((11 * p + 7))
  # The point: one unit square at (left + 8, 13); a pixel of its body clear of corners.
  check "point of digit $p" $((x + (left + 8) * scale + 1)) $((top + 13 * scale + 1)) lit
  for i in 0 1 2 3 4 5 6; do
    read -r sx sy <<< "${segments[$i]}"
    # Along each segment's length, one unit in from its start, clear of the joints.
    case ${names[$i]} in
      a|d|g) px=$(((left + sx + 3) * scale + 1)); py=$(((sy) * scale + 1)) ;;
      *) px=$(((left + sx) * scale + 1)); py=$(((sy + 2) * scale + 1)) ;;
    esac
    check "segment ${names[$i]} of digit $p" $((x + px)) $((top + py)) dark
  done
done

if [ $failures -ne 0 ]; then
  echo "trace:"; cat "$work/trace.txt"; echo "errors:"; cat "$work/errors.txt"
  exit 1
fi
echo "PASS: eight decimal points lit, every segment dark (scale $scale)"
