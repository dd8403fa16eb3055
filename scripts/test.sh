#!/usr/bin/env bash
# Builds everything and runs every test: the core, the program offscreen and under Xvfb (and the program's
# own tests once more in one process, shuffled and repeated), all of it once more with AddressSanitizer and
# UndefinedBehaviorSanitizer, the program under ThreadSanitizer, the Windows build of the core and
# orv-run under Wine, and the web edition in a browser.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
passed=0
# Runs ctest (failing the script on any failure) and adds its count to the summary line at the end.
run_ctest() {
  local log
  log=$(mktemp)
  ctest "$@" --output-on-failure -j"$jobs" | tee "$log"
  passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)))
  rm -f "$log"
}

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$jobs"
run_ctest --test-dir build/release

# ctest gives each program test a process of its own; here they share one, in an order of chance and more
# than once, so that none depends on what another left behind (the seed is printed for a rerun).
program_tests=$(find build/release -type f -name orv_program_tests -perm -u+x | head -n 1)
QT_QPA_PLATFORM=offscreen "$program_tests" --gtest_shuffle --gtest_repeat=5 --gtest_brief=1
passed=$((passed + 1))

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON -DORV_BUILD_PROGRAM=ON -DORV_BUILD_BENCH=OFF >/dev/null
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp" \
  run_ctest --test-dir build/asan

# The pacer thread and the main thread of one real session.
bash scripts/tsan.sh -j"$jobs"
passed=$((passed + 1))

# The Windows build's tests under Wine, and orv-run.exe compared with orv-run run by run.
windows_log=$(mktemp)
bash scripts/test-windows.sh -j"$jobs" | tee "$windows_log"
passed=$((passed + $(sed -n 's/^test-windows.sh: \([0-9]*\) passed.*/\1/p' "$windows_log")))
rm -f "$windows_log"

# Each reader of outside input under its fuzz target for a little while; the script ends with a line
# for each target it ran ("NAME: N runs, ..."), and fails when any of them found something.
fuzz_log=$(mktemp)
bash scripts/fuzz.sh 20 -j"$jobs" | tee "$fuzz_log"
passed=$((passed + $(grep -cE '^[a-z_]+: [0-9?]+ runs, ' "$fuzz_log")))
rm -f "$fuzz_log"

# The web edition in Debian's chromium, driven by Playwright from the lockfile: the page built, then each
# case ("# pass N" closes node's report). orv-run gives what the display should show for the same keys.
bash scripts/build-web.sh
(cd tests/web && npm ci --no-audit --no-fund)
web_log=$(mktemp)
(cd tests/web && ORV_RUN="$PWD/../../build/release/orv-run" node --test ./*.test.mjs) | tee "$web_log"
passed=$((passed + $(sed -n 's/^# pass \([0-9]*\)$/\1/p' "$web_log")))
rm -f "$web_log"

echo "test.sh: $passed passed, 0 failed"
