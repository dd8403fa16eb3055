#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each with its seed corpus.
#   scripts/fuzz.sh [seconds] [-j jobs] [target ...]
# seconds per target (default 600); jobs: targets run at the same time (default 1); targets: hex, objfile,
# tape, settings, state (default all). Exits non-zero when any target reports a crash, hang, leak, memory blow-up
# or sanitizer finding; the input that caused it is kept in build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
jobs=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    -j) jobs="$2"; shift 2 ;;
    -j*) jobs="${1#-j}"; shift ;;
    [0-9]*) seconds="$1"; shift ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(hex objfile tape settings state)

bash scripts/install-deps.sh

build=build/fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 -DORV_FUZZ=ON \
  -DORV_BUILD_PROGRAM=OFF -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzz}"

mkdir -p "$build/findings" "$build/logs"
# The targets write a file per input: on a memory file system that costs far less. A target that crashes
# leaves its scratch folder behind, so all of them go into one that is removed at the end.
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm="${TMPDIR:-/tmp}"
TMPDIR=$(mktemp -d "$shm/orv_fuzz.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

# Tape files grow past one 4,000-byte block only with room to spare; a state is 66,150 bytes.
max_len() { case "$1" in tape) echo 12000 ;; state) echo 70000 ;; *) echo 4096 ;; esac; }

run_one() {
  local t="$1"
  local corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  # New inputs go to the build folder's corpus; the committed seeds are only read.
  "$build/fuzz/${t}_fuzz" "$corpus" "fuzz/corpus/$t" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$t")" \
    -print_final_stats=1 -artifact_prefix="$build/findings/$t-" >"$build/logs/$t.log" 2>&1
}

status=0
pids=()
names=()
wait_one() {
  if ! wait "${pids[0]}"; then
    status=1
    echo "${names[0]}: the fuzzer failed (log: $build/logs/${names[0]}.log)"
  fi
  pids=("${pids[@]:1}")
  names=("${names[@]:1}")
}
for t in "${targets[@]}"; do
  rm -f "$build/findings/$t-"*
  echo "fuzzing $t for ${seconds}s"
  run_one "$t" &
  pids+=($!)
  names+=("$t")
  [ ${#pids[@]} -lt "$jobs" ] || wait_one
done
while [ ${#pids[@]} -gt 0 ]; do wait_one; done

for t in "${targets[@]}"; do
  log="$build/logs/$t.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" || true)
  units=$(sed -n 's/^stat::new_units_added: *//p' "$log" || true)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(echo "$last" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  corp=$(echo "$last" | sed -n 's/.* corp: \([^ ]*\).*/\1/p')
  echo "$t: ${runs:-?} runs, coverage ${cov:-?}, corpus ${corp:-?}, ${units:-?} new inputs"
  if ls "$build/findings/$t-"* >/dev/null 2>&1; then
    status=1
    echo "$t: findings:" "$build/findings/$t-"*
    grep -m1 -A12 -E '^==[0-9]+==ERROR|runtime error|fuzz check failed|ALARM|out-of-memory' "$log" || tail -20 "$log"
  fi
done
exit $status
