#!/usr/bin/env bash
# Builds the emulator and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc 2>/dev/null || echo 2)"

if [ -x build/release/orv ]; then
  exec build/release/orv
fi
echo "Built the machine core and its tests; the emulator's window is not part of the build yet."
