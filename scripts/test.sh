#!/usr/bin/env bash
# Builds everything and runs every test: the core, the program offscreen and under Xvfb, all of it once
# more with AddressSanitizer and UndefinedBehaviorSanitizer, and the program under ThreadSanitizer.
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

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON -DORV_BUILD_PROGRAM=ON -DORV_BUILD_BENCH=OFF >/dev/null
cmake --build build/asan -j"$jobs"
# The end-to-end tape session can lose a typed key in the slow sanitizer build: one more try there
# until that is found (the Release run takes none).
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp" \
  run_ctest --test-dir build/asan --repeat until-pass:2

# The pacer thread and the main thread of one real session.
bash scripts/tsan.sh -j"$jobs"
passed=$((passed + 1))

# Each reader of outside input under its fuzz target for a little while.
bash scripts/fuzz.sh 20 -j"$jobs"
passed=$((passed + 4))

echo "test.sh: $passed passed, 0 failed"
