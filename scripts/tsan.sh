#!/usr/bin/env bash
# The pacer thread against the main thread: builds orv with ThreadSanitizer in build/tsan, runs it once
# under Xvfb and drives it with xdotool through Reset (Esc), keys, Halt and Run (the Pause key and the
# Action menu) and Exit. Fails on any ThreadSanitizer report, or when the session does not get through.
#   scripts/tsan.sh [-j jobs]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

. scripts/jobs.sh "$@"

for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "tsan: $tool is not installed (scripts/install-deps.sh)"; exit 1; }
done

build=build/tsan
suppressions=$root/tests/sanitizers/tsan.supp
# The build's own tools (the icon painter) run under the sanitizer too; they are not what is checked.
export TSAN_OPTIONS="suppressions=$suppressions report_bugs=0"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=-fsanitize=thread" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread" >/dev/null
cmake --build "$build" -j"$jobs" --target orv >/dev/null
export TSAN_OPTIONS="suppressions=$suppressions second_deadlock_stack=1 history_size=4"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/orv" "$work/orv"
# The trace tells which steps the program went through.
printf '[User]\r\ndiag=1\r\n' > "$work/orv.ini"

# The session's helpers: a slower start and slower keys, as the sanitizer slows orv down.
# shellcheck source=tests/program/e2e_lib.sh
source tests/program/e2e_lib.sh
export E2E_WINDOW_TIMEOUT=60 E2E_KEY_DELAY=0.3
status=0
e2e_session <<'SESSION' || status=1
xdotool windowfocus --sync "$window"
sleep 1
# Waits up to 10 s for a line of the trace.
expect() {
  for _ in $(seq 100); do [ "$(grep -c "$1" trace.txt)" -ge "$2" ] && return 0; sleep 0.1; done
  echo "the trace never showed '$1' $2 times"; exit 1
}

# Reset runs the machine; then the monitor's keys: 0200 and a store into it.
e2e_keys Escape
expect '^Running' 1
e2e_keys m 0 2 0 0 m a 5 Up 3 c Up
sleep 1
e2e_keys Pause
expect '^Halted' 1
e2e_keys Pause
expect '^Running' 2
e2e_keys 0 2 m
e2e_menu a h
expect '^Halted' 2
e2e_menu a r
expect '^Running' 3
e2e_keys 1 2 3
sleep 1
e2e_menu f x
e2e_wait_exit 100
SESSION
e2e_keep errors.txt orv_tsan_errors.txt
reports=$(grep -c "WARNING: ThreadSanitizer" "$work/errors.txt" || true)
if [ "$status" -ne 0 ] || [ "$reports" -ne 0 ]; then
  e2e_show_output
  echo "FAIL: ThreadSanitizer run ($reports reports)"
  exit 1
fi
echo "PASS: Reset, keys, Halt, Run and Exit with no ThreadSanitizer report ($(grep -c '^Running' "$work/trace.txt") runs)"
