#!/usr/bin/env bash
# Builds everything and runs every test: the core, the program offscreen and under Xvfb, all of it once
# more with AddressSanitizer and UndefinedBehaviorSanitizer, and the program under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs"

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON -DORV_BUILD_PROGRAM=ON -DORV_BUILD_BENCH=OFF >/dev/null
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp" \
  ctest --test-dir build/asan --output-on-failure -j"$jobs"

# The pacer thread and the main thread of one real session.
bash scripts/tsan.sh -j"$jobs"

# Each reader of outside input under its fuzz target for a little while.
bash scripts/fuzz.sh 20 -j"$jobs"
