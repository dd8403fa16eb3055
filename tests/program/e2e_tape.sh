#!/usr/bin/env bash
# End to end: the real orv under Xvfb records a tape. Reset, three bytes entered with the monitor's
# "m", Tape Record from the File menu with the file name typed into the dialog, the monitor's "s"
# writing 0200-0202, Tape Stop, Exit. The file must be a Standard MIDI File that midicsv reads, and
# its notes, decoded as the monitor's tape bytes, must give back the block.
# Usage: e2e_tape.sh path/to/orv have-monitor(0|1)
set -euo pipefail

orv=$1
have_monitor=${2:-1}
if [ "$have_monitor" != 1 ]; then
  echo "SKIPPED: the monitor image is not part of this build"
  exit 77
fi
for tool in xvfb-run xdotool midicsv; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$orv" "$work/orv"
# The trace shows what the program did; the dialog opens in the work folder.
printf '[User]\r\ncurrFileDir=%s/\r\ndiag=1\r\n' "$work" > "$work/orv.ini"

cat > "$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
cd "$1"
./orv > trace.txt 2> errors.txt &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Orvane$' | head -1) || { echo "orv's window did not appear"; exit 1; }
xdotool windowfocus --sync "$window"
sleep 0.5
keys() { # one key at a time, slower than the key queue empties
  for k in "$@"; do xdotool key --window "$window" "$k"; sleep 0.25; done
}

# Reset runs the machine (Tape Record is offered only while running); then 0200: a5 3c 0f.
keys Escape
sleep 0.5
keys m 0 2 0 0 m a 5 Up 3 c Up 0 f

xdotool key --window "$window" alt+f
sleep 0.5
xdotool key r
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^Start Recording\.\.\.$' | head -1) || { echo "the record dialog did not appear"; exit 1; }
sleep 0.5
xdotool type --delay 50 tape
xdotool key Return
for _ in $(seq 50); do [ -s tape.mid ] && break; sleep 0.1; done
[ -s tape.mid ] || { echo "recording did not start"; exit 1; }
xdotool windowfocus --sync "$window"
sleep 0.3

# Seven bytes of about 33 ms each after the last key. Halted once they are written, the machine's
# time stands still, so the tape cannot go quiet and stop by itself before Tape Stop from the menu.
keys s 0 2 0 0 m 0 2 0 3 m
sleep 0.3
xdotool key --window "$window" Pause
sleep 0.3
xdotool key --window "$window" alt+f
sleep 0.5
xdotool key t
for _ in $(seq 50); do grep -q '^Tape Stop' trace.txt && break; sleep 0.1; done
grep -q '^Tape Stop' trace.txt || { echo "the tape did not stop"; exit 1; }

xdotool key --window "$window" alt+f
sleep 0.5
xdotool key x
for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "orv did not exit"; exit 1; fi
wait $pid || { echo "orv exited with $?"; exit 1; }
SESSION
chmod +x "$work/session.sh"

fail() {
  echo "FAIL: $1"
  echo "trace:"; cat "$work/trace.txt" 2>/dev/null || true
  echo "errors:"; cat "$work/errors.txt" 2>/dev/null || true
  exit 1
}

xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh" "$work" || fail "the session did not finish"
cp "$work/trace.txt" "${TMPDIR:-/tmp}/orv_e2e_tape_trace.txt" 2>/dev/null || true

file=$work/tape.mid
[ -f "$file" ] || fail "no tape.mid"
size=$(stat -c %s "$file")
length=$(od -An -tu1 -j18 -N4 "$file" | awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }')
[ "$length" -eq $((size - 22)) ] || fail "track length $length in a file of $size bytes"

midicsv "$file" > "$work/tape.csv" 2> "$work/midicsv.err" || fail "midicsv does not read the file: $(cat "$work/midicsv.err")"
[ ! -s "$work/midicsv.err" ] || fail "midicsv complains: $(cat "$work/midicsv.err")"
expect_line() {
  grep -qxF "$1" "$work/tape.csv" || { cat "$work/tape.csv" | head -20; fail "midicsv does not show: $1"; }
}
expect_line '0, 0, Header, 0, 1, 5000'
expect_line '1, 0, Start_track'
expect_line '1, 0, Text_t, "Orvane bytes"'
expect_line '1, 0, Control_c, 0, 7, 64'
expect_line '1, 0, Program_c, 0, 80'
expect_line '0, 0, End_of_file'
grep -qE '^1, [0-9]+, End_track$' "$work/tape.csv" || fail "no End_track"

# The levels as note-ons at velocity 127 (98 high, 86 low), in ticks of 100 cycles; each byte a
# start bit low, eight data bits low first, a stop bit high, 3,320 cycles per bit.
bytes=$(awk -F', ' '
  $3 == "Note_on_c" && $6 == 127 { n++; t[n] = $2; v[n] = ($5 == 98) ? 1 : 0 }
  function level(at,   i, l) { l = 1; for (i = 1; i <= n && t[i] <= at; i++) l = v[i]; return l }
  END {
    bit = 33.2; i = 1; out = ""
    while (1) {
      while (i <= n && v[i] != 0) i++
      if (i > n) break
      t0 = t[i]; b = 0
      for (k = 0; k < 8; k++) if (level(t0 + (1.5 + k) * bit)) b += 2 ^ k
      out = out sprintf("%02x ", b)
      while (i <= n && t[i] < t0 + 9.5 * bit) i++
    }
    print out
  }' "$work/tape.csv")
[ "$bytes" = "02 03 02 00 a5 3c 0f " ] || fail "the tape holds $bytes, not 02 03 02 00 a5 3c 0f"

grep -q '^Recording to tape.mid\.\.\.$' "$work/trace.txt" || fail "no trace of the record command"
stops=$(grep -oE '^(Halted|Tape Stop)' "$work/trace.txt" | tr '\n' ' ')
[ "$stops" = "Halted Tape Stop " ] || fail "the tape was not stopped from the menu while halted: $stops"
grep -qi 'currFileMid=tape.mid' "$work/orv.ini" || fail "the file name was not kept in orv.ini"
if [ ! -e /dev/snd/seq ]; then
  grep -q '^midiOutOpen rc=' "$work/trace.txt" || fail "a failed MIDI open was not reported"
  if grep -q 'ALSA' "$work/errors.txt"; then fail "the ALSA library printed its own errors"; fi
fi
echo "PASS: $size-byte tape, read by midicsv, holds 02 03 02 00 a5 3c 0f"
