#!/usr/bin/env bash
# The pacer thread against the main thread: builds orv with ThreadSanitizer in build/tsan, runs it once
# under Xvfb and drives it with xdotool through Reset (Esc), keys, Halt and Run (the Pause key and the
# Action menu) and Exit. Fails on any ThreadSanitizer report, or when the session does not get through.
#   scripts/tsan.sh [-j jobs]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

jobs=2
case "${1:-}" in
  -j) jobs=$2 ;;
  -j*) jobs=${1#-j} ;;
esac

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

cat > "$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
cd "$1"
./orv > trace.txt 2> errors.txt &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Orvane$' | head -1) || { echo "orv's window did not appear"; exit 1; }
xdotool windowfocus --sync "$window"
sleep 1
keys() { # one key at a time, slower than the key queue empties
  for k in "$@"; do xdotool key --window "$window" "$k"; sleep 0.3; done
}
# Waits up to 10 s for a line of the trace.
expect() {
  for _ in $(seq 100); do [ "$(grep -c "$1" trace.txt)" -ge "$2" ] && return 0; sleep 0.1; done
  echo "the trace never showed '$1' $2 times"; exit 1
}
menu() { # alt+letter, then the item's letter
  xdotool key --window "$window" "alt+$1"
  sleep 0.5
  xdotool key "$2"
  sleep 0.3
}

# Reset runs the machine; then the monitor's keys: 0200 and a store into it.
keys Escape
expect '^Running' 1
keys m 0 2 0 0 m a 5 Up 3 c Up
sleep 1
keys Pause
expect '^Halted' 1
keys Pause
expect '^Running' 2
keys 0 2 m
menu a h
expect '^Halted' 2
menu a r
expect '^Running' 3
keys 1 2 3
sleep 1
menu f x
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "orv did not exit"; exit 1; fi
wait $pid || { echo "orv exited with $?"; exit 1; }
SESSION
chmod +x "$work/session.sh"

status=0
xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh" "$work" || status=1
cp "$work/errors.txt" "${TMPDIR:-/tmp}/orv_tsan_errors.txt" 2>/dev/null || true
reports=$(grep -c "WARNING: ThreadSanitizer" "$work/errors.txt" || true)
if [ "$status" -ne 0 ] || [ "$reports" -ne 0 ]; then
  echo "trace:"; cat "$work/trace.txt" 2>/dev/null || true
  echo "errors:"; cat "$work/errors.txt" 2>/dev/null || true
  echo "FAIL: ThreadSanitizer run ($reports reports)"
  exit 1
fi
echo "PASS: Reset, keys, Halt, Run and Exit with no ThreadSanitizer report ($(grep -c '^Running' "$work/trace.txt") runs)"
