#!/usr/bin/env bash
# End to end: the real orv under Xvfb ends the clean way however it is ended. Running, with View > Debug
# turned on and a tape recording from the File menu, it gets SIGTERM, SIGINT or SIGHUP, or loses its
# display (the X server killed), or, started with SIGHUP ignored as nohup starts it, keeps ignoring it
# and is ended with File > Exit. Each time it must exit without aborting, with the recording a complete
# MIDI file that midicsv reads and the settings changed in the session written to orv.ini.
# Usage: e2e_endings.sh path/to/orv have-monitor(0|1)
set -euo pipefail
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

e2e_begin "$1" "${2:-1}" midicsv

for ending in TERM INT HUP display nohup; do
  rm -f "$work/tape.mid" "$work/status.txt"
  # The trace shows when the recording has started; the dialog opens in the work folder.
  printf '[User]\r\ncurrFileDir=%s/\r\ndiag=1\r\n' "$work" > "$work/orv.ini"
  export E2E_ENDING=$ending E2E_SIGNALS=--default-signal=INT
  [ "$ending" = nohup ] && E2E_SIGNALS+=" --ignore-signal=HUP"
  # xvfb-run fails to stop a server that is gone already: the session's end is told by status.txt.
  e2e_session <<'SESSION' || true
xdotool windowfocus --sync "$window"
# Reset runs the machine: Tape Record is offered only while it runs.
e2e_keys Escape
e2e_menu v d
e2e_record_tape tape
case "$E2E_ENDING" in
  display) kill "$(tr -d ' ' < "/tmp/.X${DISPLAY#:}-lock")" ;;
  nohup)
    # Started with SIGHUP ignored, it leaves it so; then File > Exit.
    ignored=$(awk '/^SigIgn:/ { print $2 }' "/proc/$pid/status")
    (( 0x$ignored & 1 )) || { echo "SIGHUP is no longer ignored"; exit 1; }
    e2e_menu f x
    ;;
  *) kill -"$E2E_ENDING" "$pid" ;;
esac
e2e_await_exit 100
echo "$status" > status.txt
SESSION
  [ -f "$work/status.txt" ] || e2e_abort "$ending: the session did not finish"
  status=$(cat "$work/status.txt")
  if [ "$ending" = display ]; then
    # The toolkit gives up on a lost display with exit status 1.
    [ "$status" -lt 128 ] || e2e_fail "display: orv ended by signal $((status - 128))"
    if grep -q 'terminate called' "$work/errors.txt"; then e2e_fail "display: orv aborted"; fi
  else
    [ "$status" -eq 0 ] || e2e_fail "$ending: orv exited with status $status"
  fi
  while IFS= read -r fault; do
    e2e_fail "$ending: $fault"
  done < <(e2e_tape_faults "$work/tape.mid")
  for line in debug=1 currFileMid=tape.mid; do
    tr -d '\r' < "$work/orv.ini" | grep -qx "$line" || e2e_fail "$ending: settings lack $line"
  done
  [ "$failures" -eq 0 ] || { e2e_keep errors.txt orv_e2e_endings_errors.txt; break; }
done

# Started with a file that is not there, orv shows the failure in a box before anything else happens;
# a signal then must end it the same clean way, with the debugger window open or not.
while IFS='|' read -r ending debugger title args; do
  [ "$failures" -eq 0 ] || break
  rm -f "$work/status.txt"
  printf '[User]\r\ncurrFileDir=%s/\r\n[Debugger]\r\nopen=%s\r\n' "$work" "$debugger" > "$work/orv.ini"
  export E2E_ENDING=$ending E2E_DEBUGGER=$debugger E2E_BOX=$title E2E_SIGNALS=--default-signal=INT
  read -ra argv <<< "$args"
  e2e_session "${argv[@]}" <<'SESSION' || true
e2e_wait_window "^$E2E_BOX\$" >/dev/null || { echo "the box '$E2E_BOX' did not appear"; exit 1; }
if [ "$E2E_DEBUGGER" = 1 ]; then
  e2e_wait_window '^Orvane Debugger$' >/dev/null || { echo "the debugger window did not appear"; exit 1; }
fi
sleep 0.5
kill -"$E2E_ENDING" "$pid"
e2e_await_exit 50
echo "$status" > status.txt
SESSION
  if [ ! -f "$work/status.txt" ]; then
    e2e_fail "$ending with '$title' showing ($args, debugger $debugger): orv did not exit"
  elif [ "$(cat "$work/status.txt")" -ne 0 ]; then
    e2e_fail "$ending with '$title' showing ($args): orv exited with status $(cat "$work/status.txt")"
  fi
done <<'TABLE'
TERM|0|Error loading from file|missing.obj
INT|1|Error loading from file|missing.obj
TERM|1|Error loading labels|--labels missing.lbl
INT|0|Error loading labels|--labels missing.lbl
TABLE

e2e_finish "SIGTERM, SIGINT, SIGHUP, a lost display and Exit each finished the tape and wrote the settings;
a signal ended orv while its start-up box showed"
