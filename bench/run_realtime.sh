#!/usr/bin/env bash
# Real-time benchmark: runs orv under Xvfb, presses "rst" (reset and run), lets the monitor scan its
# display for a while, presses "rst" again and reports
#   - emulated cycles per wall-clock second (target 1,000,000 within 0.2%; a halt comes up to one pacer
#     wake-up, 20 ms, after the last slice, so a short run reads a little low),
#   - pacer events and overruns,
#   - the process's CPU use while the monitor scans the display (target: at most 1% of one core).
# The figures come from the diagnostic trace (an orv.ini with diag=1 beside a copy of the executable):
# the reset's register line carries the cycle count, the halt line the event and overrun counts.
# Usage: bench/run_realtime.sh [path/to/orv] [seconds, at least 10]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
orv=${1:-$here/../build/release/orv}
seconds=${2:-12}
[ -x "$orv" ] || { echo "no executable at $orv (build the target orv first)"; exit 2; }
[ "$seconds" -ge 10 ] || { echo "run for at least 10 s"; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$orv" "$work/orv"
printf '[User]\r\ndiag=1\r\n' > "$work/orv.ini"

cat > "$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
cd "$1"
seconds=$2
# Every trace line with the wall-clock time it arrived.
stamp() { while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done; }
./orv > >(stamp > trace.txt) 2> errors.txt &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Orvane$' | head -1) || { echo "orv's window did not appear"; exit 1; }
for _ in $(seq 50); do
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ $((WIDTH % 100)) -eq 0 ] && break
  sleep 0.1
done
scale=$((WIDTH / 100))
top=$((Y + HEIGHT - 90 * scale))
rst_x=$((X + 80 * scale + 9 * scale / 2))
rst_y=$((top + 26 * scale + 5 * scale / 2))

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }

xdotool mousemove $rst_x $rst_y click 1
sleep 1
ticks0=$(cpu_ticks); t0=$EPOCHREALTIME
sleep "$seconds"
ticks1=$(cpu_ticks); t1=$EPOCHREALTIME
xdotool mousemove $rst_x $rst_y click 1
sleep 0.5
echo "$ticks0 $t0 $ticks1 $t1 $(getconf CLK_TCK)" > cpu.txt
SESSION
chmod +x "$work/session.sh"

xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh" "$work" "$seconds"

python3 - "$work/trace.txt" "$work/cpu.txt" <<'REPORT'
import re, sys
lines = [l.rstrip("\n").split(" ", 1) for l in open(sys.argv[1])]
lines = [(float(t), text) for t, text in lines]
cycles = [(t, int(m.group(1))) for t, text in lines for m in [re.search(r"\[cyc=(-?\d+)\]$", text)] if m]
running = [t for t, text in lines if text.startswith("Running, minTimer=")]
# The second reset's halt; closing the window halts once more.
halted = [(t, text) for t, text in lines if text.startswith("Halted.  Events: ") and running and t > running[0]][:1]
if len(cycles) < 2 or not running or not halted:
    sys.exit("trace incomplete:\n" + "\n".join(text for _, text in lines))
# Cycles run between the start of running and the halt; the second reset itself adds 6.
ran = (cycles[-1][1] - 6 - cycles[0][1]) % 2**32
wall = halted[0][0] - running[0]
events, overruns = map(int, re.findall(r"-?\d+", halted[0][1]))
ticks0, t0, ticks1, t1, hz = open(sys.argv[2]).read().split()
cpu = (int(ticks1) - int(ticks0)) / int(hz) / (float(t1) - float(t0)) * 100
rate = ran / wall
print(f"running for        {wall:10.3f} s")
print(f"emulated cycles    {ran:10d}")
print(f"emulated clock     {rate:10.0f} cycles/s ({(rate / 1e6 - 1) * 100:+.2f}% from 1 MHz)")
print(f"pacer events       {events:10d} ({events / wall:.1f} per s)")
print(f"overruns           {overruns:10d}")
print(f"CPU use            {cpu:10.1f} % of one core (idle display scan)")
REPORT
