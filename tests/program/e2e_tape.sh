#!/usr/bin/env bash
# End to end: the real orv under Xvfb records a tape. Reset, three bytes entered with the monitor's
# "m", Tape Record from the File menu with the file name typed into the dialog, the monitor's "s"
# writing 0200-0202, Tape Stop, Exit. The file must be a Standard MIDI File that midicsv reads, and
# its notes, decoded as the monitor's tape bytes, must give back the block.
# Usage: e2e_tape.sh path/to/orv have-monitor(0|1)
set -euo pipefail
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

e2e_begin "$1" "${2:-1}" midicsv import convert
# The trace shows what the program did; the dialog opens in the work folder.
printf '[User]\r\ncurrFileDir=%s/\r\ndiag=1\r\n' "$work" > "$work/orv.ini"

e2e_session <<'SESSION' || e2e_abort "the session did not finish"
e2e_place
xdotool windowfocus --sync "$window"

# Reset runs the machine (Tape Record is offered only while running); the monitor is up once it shows
# its eight points. Then 0200: a5 3c 0f.
e2e_keys Escape
e2e_shot_showing reset.png 0x80 0x80 0x80 0x80 0x80 0x80 0x80 0x80
e2e_keys m 0 2 0 0 m a 5 Up 3 c Up 0 f

# The new tape appears only when it is finished; the trace says when recording starts.
e2e_record_tape tape
sleep 0.3

# Seven bytes of about 33 ms each after the last key. Halted once they are written, the machine's
# time stands still, so the tape cannot go quiet and stop by itself before Tape Stop from the menu.
e2e_keys s 0 2 0 0 m 0 2 0 3 m
sleep 0.3
xdotool key --window "$window" Pause
sleep 0.3
e2e_menu f t
for _ in $(seq 50); do grep -q '^Tape Stop' trace.txt && break; sleep 0.1; done
grep -q '^Tape Stop' trace.txt || { echo "the tape did not stop"; exit 1; }

e2e_menu f x
e2e_wait_exit
SESSION

e2e_keep trace.txt orv_e2e_tape_trace.txt

file=$work/tape.mid
faults=$(e2e_tape_faults "$file")
[ -z "$faults" ] || e2e_abort "$faults"
size=$(stat -c %s "$file")
expect_line() {
  grep -qxF "$1" "$work/tape.csv" || { cat "$work/tape.csv" | head -20; e2e_abort "midicsv does not show: $1"; }
}
expect_line '0, 0, Header, 0, 1, 5000'
expect_line '1, 0, Start_track'
expect_line '1, 0, Text_t, "Orvane bytes"'
expect_line '1, 0, Control_c, 0, 7, 64'
expect_line '1, 0, Program_c, 0, 80'
expect_line '0, 0, End_of_file'

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
[ "$bytes" = "02 03 02 00 a5 3c 0f " ] || e2e_abort "the tape holds $bytes, not 02 03 02 00 a5 3c 0f"

grep -q '^Recording to tape.mid\.\.\.$' "$work/trace.txt" || e2e_abort "no trace of the record command"
stops=$(grep -oE '^(Halted|Tape Stop)' "$work/trace.txt" | tr '\n' ' ')
[ "$stops" = "Halted Tape Stop " ] || e2e_abort "the tape was not stopped from the menu while halted: $stops"
grep -qi 'currFileMid=tape.mid' "$work/orv.ini" || e2e_abort "the file name was not kept in orv.ini"
if [ ! -e /dev/snd/seq ]; then
  grep -q '^midiOutOpen rc=' "$work/trace.txt" || e2e_abort "a failed MIDI open was not reported"
  if grep -q 'ALSA' "$work/errors.txt"; then e2e_abort "the ALSA library printed its own errors"; fi
fi
e2e_finish "$size-byte tape, read by midicsv, holds 02 03 02 00 a5 3c 0f"
