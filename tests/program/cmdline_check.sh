#!/usr/bin/env bash
# The real orv answers --help, --version and mistakes without a display: no DISPLAY, no platform plugin
# chosen, and it must neither hang nor open a window. Without a display to open, it says so in one line.
# Usage: cmdline_check.sh path/to/orv
set -uo pipefail
orv=$(realpath "$1")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$orv" "$@" > out.txt 2> err.txt; }
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT

# arguments | exit status | standard output starts with | standard error (one line) starts with
while IFS='|' read -r args status out err; do
  read -ra argv <<< "$args"
  run "${argv[@]}"
  got=$?
  [ "$got" -eq "$status" ] || fail "orv $args: exit status $got, not $status"
  [ -z "$out" ] || [[ "$(head -c ${#out} out.txt)" == "$out" ]] || fail "orv $args: output '$(head -1 out.txt)'"
  if [ -n "$err" ]; then
    [ "$(wc -l < err.txt)" -eq 1 ] && [[ "$(cat err.txt)" == "$err"* ]] || fail "orv $args: error '$(cat err.txt)'"
  else
    [ ! -s err.txt ] || fail "orv $args: unexpected error output '$(cat err.txt)'"
  fi
done <<'TABLE'
--help|0|Usage: orv [OPTION]... [FILE]|
--version|0|orv |
--bogus|2||orv: Unknown option 'bogus'.
prog.bin|2||orv: the binary 'prog.bin' needs --at ADDR
prog.bin --at 12345|2||orv: bad address for --at: '12345'
a.obj b.obj|2||orv: one FILE at most
--run 0200|2||orv: --run needs a FILE
.|2||orv: '.' is a folder
|1||orv: cannot open a window: could not connect to display
prog.obj --run 0200|1||orv: cannot open a window: could not connect to display
TABLE

# A display named but not there: one line, the documented status, no abort.
for n in $(seq 190 260); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
done
env DISPLAY=":$n" QT_QPA_PLATFORM=xcb timeout 20 "$orv" prog.obj > out.txt 2> err.txt
got=$?
[ "$got" -eq 1 ] || fail "orv with DISPLAY=:$n: exit status $got, not 1"
[ "$(cat err.txt)" = "orv: cannot open a window: could not connect to display :$n" ] ||
  fail "orv with DISPLAY=:$n: error '$(cat err.txt)'"
[ $failures -eq 0 ] || exit 1
echo "PASS: help, version, mistakes and a missing display answered without a display"
