# Shared by the end-to-end tests: the real orv under Xvfb, driven with xdotool, checked on its trace,
# its files and screenshots. Sourced by a test script, and again by the session script it hands to Xvfb.
# shellcheck shell=bash

E2E_LIB=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/e2e_lib.sh

# ---- The test script's side ----

# e2e_begin ORV HAVE_MONITOR [TOOL...]: skips (77) without the monitor image or a tool; otherwise makes
# $work, removed at exit, holding a copy of orv, so the settings it writes at exit land there.
e2e_begin() {
  local orv=$1 have_monitor=$2 tool
  shift 2
  if [ "$have_monitor" != 1 ]; then
    echo "SKIPPED: the monitor image is not part of this build"
    exit 77
  fi
  for tool in xvfb-run xdotool "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp "$orv" "$work/orv"
  failures=0
}

# e2e_session [ARG...] < BODY: runs BODY on a fresh Xvfb screen once orv has started in $work with the
# arguments and its window is up (e2e_start). In BODY, $1 is $work. Returns the body's status.
e2e_session() {
  {
    printf '#!/usr/bin/env bash\nset -euo pipefail\nsource %q\ne2e_start "$@"\n' "$E2E_LIB"
    cat
  } > "$work/session.sh"
  chmod +x "$work/session.sh"
  xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh" "$work" "$@"
}

# Sets x, y, width, scale and top (the panel's top) as e2e_place saw them.
e2e_read_place() {
  read -r x y width scale top < "$work/place.txt"
}

# e2e_keep FILE NAME: a copy of $work/FILE left in the temporary folder for a look after the run.
e2e_keep() {
  cp "$work/$1" "${TMPDIR:-/tmp}/$2" 2>/dev/null || true
}

e2e_show_output() {
  if [ -f "$work/orv.ini" ]; then
    echo "settings:"; cat "$work/orv.ini"
  fi
  echo "trace:"; cat "$work/trace.txt" 2>/dev/null || true
  echo "errors:"; cat "$work/errors.txt" 2>/dev/null || true
}

# A failed check: counted, and the test goes on to report the others.
e2e_fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A failure that leaves nothing further worth checking.
e2e_abort() {
  echo "FAIL: $*"
  e2e_show_output
  exit 1
}

# e2e_finish MESSAGE: passes with MESSAGE unless a check failed.
e2e_finish() {
  if [ "$failures" -ne 0 ]; then
    e2e_show_output
    exit 1
  fi
  echo "PASS: $*"
}

# e2e_pixels PNG: takes a screenshot's pixels, as "x,y: (r,g,b)" lines, for e2e_shade.
e2e_pixels() {
  convert "$1" -depth 8 txt:- > "$work/pixels.txt"
}

# e2e_shade X Y: "lit" for a lit segment's colour (the point's is the brighter one), "dark" for black,
# otherwise the colour as (r,g,b).
e2e_shade() {
  local r g b
  read -r r g b <<< "$(grep -m1 "^$1,$2: " "$work/pixels.txt" | sed -E 's/^[^(]*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/')"
  if [ "$r" -eq 255 ] 2>/dev/null && { [ "$g" -eq 102 ] || [ "$g" -eq 204 ]; } && [ "$b" -eq 153 ]; then
    echo lit
  elif [ "$r" -eq 0 ] 2>/dev/null && [ "$g" -eq 0 ] && [ "$b" -eq 0 ]; then
    echo dark
  else
    echo "($r,$g,$b)"
  fi
}

# Segments a-g and the point in bit order: a pixel one unit inside each, clear of the joints, in units
# from the digit's left edge and the panel's top.
E2E_SEGMENT_NAMES=(a b c d e f g point)
E2E_SEGMENT_X=(3 6 6 3 0 0 3 8)
E2E_SEGMENT_Y=(3 5 10 13 10 5 8 13)

# e2e_digit_mismatches LEFT TOP SCALE P0 .. P7: a line for each segment of the pixels taken that does not
# show these patterns, a set bit lit and a clear one dark; nothing when all do. LEFT and TOP are the
# panel's corner on the screen; digit p starts 11 p + 7 units from the panel's left.
e2e_digit_mismatches() {
  local left0=$1 top0=$2 unit=$3
  shift 3
  local patterns=("$@") p s left px py want got
  for p in 0 1 2 3 4 5 6 7; do
    left=$((11 * p + 7))
    for s in 0 1 2 3 4 5 6 7; do
      px=$((left0 + (left + E2E_SEGMENT_X[s]) * unit + 1))
      py=$((top0 + E2E_SEGMENT_Y[s] * unit + 1))
      want=dark
      [ $(((patterns[p] >> s) & 1)) -eq 1 ] && want=lit
      got=$(e2e_shade "$px" "$py")
      [ "$got" = "$want" ] || echo "${E2E_SEGMENT_NAMES[s]} of digit $p at ($px,$py) is $got, expected $want"
    done
  done
}

# e2e_check_digits P0 .. P7: the eight digits on the pixels taken show these segment patterns.
e2e_check_digits() {
  local line
  while IFS= read -r line; do
    e2e_fail "$line"
  done < <(e2e_digit_mismatches "$x" "$top" "$scale" "$@")
}

# e2e_hex_record ADDRESS BYTE...: one Intel HEX data record line, ending in CR LF; all in hex.
e2e_hex_record() {
  local address=$1
  shift
  local sum=$(($# + 0x${address:0:2} + 0x${address:2:2}))
  local line byte
  line=$(printf ':%02X%s00' $# "$address")
  for byte in "$@"; do
    line+=$(printf '%02X' $((0x$byte)))
    sum=$((sum + 0x$byte))
  done
  printf '%s%02X\r\n' "$line" $(((256 - sum % 256) % 256))
}

# The diagonal: a program at 0200 that sets ports A (digit select) and B (segments) as outputs, then
# forever, for X in 0..7, puts out the segments from the table at 0240 with digit X selected. It lights
# segment p of digit p and the point of digit 7: the patterns E2E_DIAGONAL.
E2E_DIAGONAL_CODE=(A9 07 8D 22 0E A9 FF 8D 23 0E A2 00 BD 40 02 8D 21 0E 8E 20 0E E8 E0 08 D0 F2 4C 0A 02)
E2E_DIAGONAL_TABLE=(01 02 04 08 10 20 40 80)
E2E_DIAGONAL=(0x01 0x02 0x04 0x08 0x10 0x20 0x40 0x80)
# Its table reversed, and what the program shows with it: digit p lights segment 7 - p.
E2E_REVERSED_TABLE=(80 40 20 10 08 04 02 01)
E2E_REVERSED=(0x80 0x40 0x20 0x10 0x08 0x04 0x02 0x01)

# e2e_diagonal_records: the diagonal's data records (no end record).
e2e_diagonal_records() {
  e2e_hex_record 0200 "${E2E_DIAGONAL_CODE[@]}"
  e2e_hex_record 0240 "${E2E_DIAGONAL_TABLE[@]}"
}

# e2e_diagonal_binary: the diagonal as a binary image for 0200-0247, the bytes between its code and its
# table zero.
e2e_diagonal_binary() {
  local byte i
  for byte in "${E2E_DIAGONAL_CODE[@]}"; do printf "\\x$byte"; done
  for ((i = ${#E2E_DIAGONAL_CODE[@]}; i < 0x40; i++)); do printf '\0'; done
  for byte in "${E2E_DIAGONAL_TABLE[@]}"; do printf "\\x$byte"; done
}

# e2e_changed_pixels BEFORE AFTER REGION: how many pixels of REGION (WxH+X+Y) differ between two
# screenshots.
e2e_changed_pixels() {
  convert "$1" -crop "$3" +repage "$work/before.png"
  convert "$2" -crop "$3" +repage "$work/after.png"
  local changed
  changed=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 || true)
  echo "${changed%%.*}"
}

# e2e_tape_faults FILE: a line for each way FILE falls short of a finished recording (its track length,
# what midicsv makes of it); nothing when it is one.
e2e_tape_faults() {
  local file=$1 size length
  [ -f "$file" ] || { echo "no $(basename "$file")"; return 0; }
  size=$(stat -c %s "$file")
  length=$(od -An -tu1 -j18 -N4 "$file" | awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }')
  [ "$length" = $((size - 22)) ] || echo "track length $length in a file of $size bytes"
  if ! midicsv "$file" > "$work/tape.csv" 2> "$work/midicsv.err" || [ -s "$work/midicsv.err" ]; then
    echo "midicsv does not read it: $(cat "$work/midicsv.err")"
  fi
  grep -qE '^1, [0-9]+, End_track$' "$work/tape.csv" || echo "midicsv finds no end of track"
}

# ---- The session's side, inside Xvfb ----

# e2e_start DIR [ARG...]: starts orv in DIR with the arguments, its trace and errors written there,
# killed when the session ends; sets pid and window once the window shows (within E2E_WINDOW_TIMEOUT
# seconds, 30 unless set). Its signals are set as env's options in E2E_SIGNALS; by default SIGINT
# reaches it as from a terminal, where a shell's background job would ignore it.
e2e_start() {
  cd "$1" || exit 1
  work=$1
  # shellcheck disable=SC2086
  env ${E2E_SIGNALS:---default-signal=INT} ./orv "${@:2}" > trace.txt 2> errors.txt &
  pid=$!
  trap e2e_stop EXIT
  window=$(timeout "${E2E_WINDOW_TIMEOUT:-30}" xdotool search --sync --onlyvisible --name '^Orvane$' | head -1) \
    || { echo "orv's window did not appear"; exit 1; }
}

# At the session's end: orv, should it still run, is ended (SIGTERM, then SIGKILL after 5 s) and waited
# for, so that nothing writes into its folder any more.
e2e_stop() {
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Waits for the first layout, which snaps the client width to whole hundreds; with the keypad shown and
# the debug panel hidden the panel is 90 units high and anything above it is the menu bar. Sets X, Y,
# WIDTH, HEIGHT, scale and panel_top, and keeps them for e2e_read_place.
e2e_place() {
  for _ in $(seq 50); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [ $((WIDTH % 100)) -eq 0 ] && [ $((HEIGHT - 90 * WIDTH / 100)) -gt 0 ] && break
    sleep 0.1
  done
  scale=$((WIDTH / 100))
  panel_top=$((Y + HEIGHT - 90 * scale))
  echo "window ${WIDTH}x${HEIGHT}+${X}+${Y} scale $scale panel top $panel_top"
  echo "$X $Y $WIDTH $scale $panel_top" > place.txt
}

# e2e_shot_showing PNG P0 .. P7: screenshots into PNG until the display shows these segment patterns,
# or E2E_SHOW_TIMEOUT seconds (20 unless set) have passed; the test then checks the last one.
e2e_shot_showing() {
  local png=$1 deadline=$((SECONDS + ${E2E_SHOW_TIMEOUT:-20}))
  shift
  while :; do
    import -window root "$png"
    e2e_pixels "$png"
    [ -z "$(e2e_digit_mismatches "$X" "$panel_top" "$scale" "$@")" ] && return 0
    [ "$SECONDS" -lt "$deadline" ] || return 0
    sleep 0.2
  done
}

# A click on the "rst" key: 9 x 5 units at (80, 26) on the panel.
e2e_click_rst() {
  xdotool mousemove $((X + 80 * scale + 9 * scale / 2)) $((panel_top + 26 * scale + 5 * scale / 2)) click 1
}

# e2e_keys KEY...: one key at a time, slower than the key queue empties (E2E_KEY_DELAY seconds apart).
e2e_keys() {
  local k
  for k in "$@"; do
    xdotool key --window "$window" "$k"
    sleep "${E2E_KEY_DELAY:-0.25}"
  done
}

# e2e_menu LETTER ITEM: Alt+LETTER opens a menu of the menu bar, ITEM picks an item by its letter.
e2e_menu() {
  xdotool key --window "$window" "alt+$1"
  sleep 0.5
  xdotool key "$2"
  sleep 0.3
}

# e2e_wait_window TITLE: the id of the first visible window with that title, waiting up to 10 s.
# Searches race with windows that close meanwhile, so each one is simply tried again.
e2e_wait_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# e2e_await_exit [TENTHS]: orv has ended, within TENTHS tenths of a second (50 unless given); sets
# status to its exit status.
e2e_await_exit() {
  for _ in $(seq "${1:-50}"); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "orv did not exit"
    exit 1
  fi
  status=0
  wait "$pid" || status=$?
}

# e2e_wait_exit [TENTHS]: orv has ended, within TENTHS tenths of a second (50 unless given), with
# status 0.
e2e_wait_exit() {
  e2e_await_exit "$@"
  [ "$status" -eq 0 ] || { echo "orv exited with status $status"; exit 1; }
}

# e2e_record_tape NAME: File > Tape Record, NAME typed into its dialog; returns once the trace (diag
# on) shows the recording started, within 10 s.
e2e_record_tape() {
  e2e_menu f r
  e2e_wait_window '^Start Recording\.\.\.$' >/dev/null || { echo "the record dialog did not appear"; exit 1; }
  sleep 0.5
  xdotool type --delay 50 "$1"
  xdotool key Return
  for _ in $(seq 100); do
    grep -q '^Tape Record$' trace.txt && break
    sleep 0.1
  done
  grep -q '^Tape Record$' trace.txt || { echo "recording did not start"; exit 1; }
  xdotool windowfocus --sync "$window"
}
