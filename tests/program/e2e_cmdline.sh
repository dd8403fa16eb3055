#!/usr/bin/env bash
# End to end: the real orv under Xvfb started as the edit, assemble and run loop starts it.
# `orv diagonal.obj --run 0200` must show the program's diagonal (segment p of digit p, the point of
# digit 7) with no key pressed. Then a program assembled by ca65 and linked by ld65 to prog.bin,
# started with `orv prog.bin --at 0200 --run 0200` and "Reload when the file changes" on, shows the
# diagonal; linked again with its table reversed, it shows the other diagonal without a key pressed.
# While the first runs, two files are dropped on the window as a file manager drops them
# (orv_xdnd_drop): the one holding the reversed table changes what the running program shows, the
# broken one gets the failure box.
# Usage: e2e_cmdline.sh path/to/orv have-monitor(0|1) [path/to/orv_xdnd_drop]
set -euo pipefail
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

e2e_begin "$1" "${2:-1}" import convert ca65 ld65
# The session runs in $work: the sender by its full path.
drop=${3:+$(realpath "$3")}
settings() {
  printf '[User]\r\ndiag=1\r\n[Files]\r\nreloadOnChange=%s\r\n' "$1" > "$work/orv.ini"
}

# -- An object file, run from the command line; then, while it runs, its table reversed and a broken
# file dropped on the window.
{
  e2e_diagonal_records
  printf ':00000001FF\r\n'
} > "$work/diagonal.obj"
{
  e2e_hex_record 0240 "${E2E_REVERSED_TABLE[@]}"
  printf ':00000001FF\r\n'
} > "$work/reversed.obj"
printf ':0100000000\r\n' > "$work/broken.obj"
settings 0
export E2E_DROP=$drop
e2e_session diagonal.obj --run 0200 <<'SESSION' || e2e_abort "the object file's session did not complete"
e2e_place
e2e_shot_showing shot.png "${E2E_DIAGONAL[@]}"
if [ -n "$E2E_DROP" ]; then
  "$E2E_DROP" "$window" $((X + WIDTH / 2)) $((panel_top + 10 * scale)) reversed.obj broken.obj
  box=$(e2e_wait_window '^Error loading from file$') || { echo "no box for broken.obj"; exit 1; }
  xdotool windowfocus --sync "$box"
  sleep 0.3
  xdotool key Return
  e2e_shot_showing dropped.png "${E2E_REVERSED[@]}"
fi
SESSION
e2e_read_place
e2e_keep shot.png orv_e2e_cmdline_obj.png
e2e_pixels "$work/shot.png"
e2e_check_digits "${E2E_DIAGONAL[@]}"
grep -q "^Run from 0200$" "$work/trace.txt" || e2e_fail "no run from 0200 in the object file's trace"
if [ -z "$drop" ]; then
  echo "no drop: the X11 library was missing at build time"
else
  e2e_keep dropped.png orv_e2e_cmdline_dropped.png
  e2e_pixels "$work/dropped.png"
  e2e_check_digits "${E2E_REVERSED[@]}"
  grep -q "^Loading broken.obj\.\.\.$" "$work/trace.txt" || e2e_fail "the dropped broken.obj was not tried"
fi

# -- A binary from ld65, run, and linked again while it runs.
printf 'MEMORY { RAM: start = $0200, size = $0200, file = %%O; }\nSEGMENTS { CODE: load = RAM, type = rw; }\n' \
  > "$work/prog.cfg"
# prog.s: the diagonal's code, and its table with the bytes given.
write_source() {
  local code table
  code=$(printf '$%s,' "${E2E_DIAGONAL_CODE[@]}")
  table=$(printf '$%s,' "${@:2}")
  printf '.segment "CODE"\n.byte %s\n.res %d\n.byte %s\n' "${code%,}" $((0x40 - ${#E2E_DIAGONAL_CODE[@]})) \
    "${table%,}" > "$work/$1"
}
write_source prog.s "${E2E_DIAGONAL_TABLE[@]}"
write_source reversed.s "${E2E_REVERSED_TABLE[@]}"
(cd "$work" && ca65 prog.s -o prog.o && ld65 -C prog.cfg prog.o -o prog.bin) || e2e_abort "ca65 or ld65 failed"
cmp -s "$work/prog.bin" <(e2e_diagonal_binary) || e2e_abort "ld65's binary is not the diagonal's"
settings 1
e2e_session prog.bin --at 0200 --run 0200 <<'SESSION' || e2e_abort "the binary's session did not complete"
e2e_place
e2e_shot_showing first.png "${E2E_DIAGONAL[@]}"
# The loop's next turn: ld65 rewrites prog.bin in place.
ca65 reversed.s -o prog.o && ld65 -C prog.cfg prog.o -o prog.bin
e2e_shot_showing second.png "${E2E_REVERSED[@]}"
SESSION
e2e_read_place
e2e_keep first.png orv_e2e_cmdline_bin.png
e2e_keep second.png orv_e2e_cmdline_reloaded.png
e2e_pixels "$work/first.png"
e2e_check_digits "${E2E_DIAGONAL[@]}"
e2e_pixels "$work/second.png"
e2e_check_digits "${E2E_REVERSED[@]}"
[ "$(grep -c "^Reloading prog.bin\.\.\.$" "$work/trace.txt")" = 1 ] || e2e_fail "prog.bin was not reloaded exactly once"

e2e_finish "started from the command line, an object file and ld65's binary run; a dropped file is loaded and a linked one reloaded (scale $scale)"
