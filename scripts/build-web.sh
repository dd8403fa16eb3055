#!/usr/bin/env bash
# Builds the web edition into build/web/: the page with its script and wasm, and orvane.html, the
# single-file page with everything inside it. The monitor image comes from a host build of the tools.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${ORV_JOBS:-$(nproc 2>/dev/null || echo 2)}
toolchain=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake
# Debian's emscripten finds its JavaScript parser among the system's node modules.
export NODE_PATH=/usr/share/nodejs

cmake -S . -B build/web-host -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_PROGRAM=OFF -DORV_BUILD_TESTS=OFF \
  -DORV_BUILD_BENCH=OFF >/dev/null
cmake --build build/web-host -j"$jobs" --target orv_monitor_hex
monitor_hex=$(sed -n 's/^ORV_MONITOR_HEX:INTERNAL=//p' build/web-host/CMakeCache.txt)
monitor_labels=$(sed -n 's/^ORV_MONITOR_LABELS:INTERNAL=//p' build/web-host/CMakeCache.txt)

# The toolchain file rather than emcmake, which names node as the emulator for running what is built;
# nothing built here runs during the build.
cmake -S . -B build/web-wasm -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DORV_MONITOR_HEX="$monitor_hex" -DORV_MONITOR_LABELS="$monitor_labels" -DCMAKE_CROSSCOMPILING_EMULATOR= >/dev/null
cmake --build build/web-wasm -j"$jobs"

# The desktop's click sound, written by its own tool built for the host.
c++ -std=c++20 -O2 -o build/web-host/orv_make_click tools/make_click.cpp
build/web-host/orv_make_click build/web-host/orvclick.wav

python3 web/assemble.py build/web-wasm/web build/web-host/orvclick.wav build/web
echo "build-web.sh: the page is build/web/index.html (served), build/web/orvane.html (one file)"
