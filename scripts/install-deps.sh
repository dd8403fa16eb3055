#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the benchmarks need. Safe to run again.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config qt6-base-dev qt6-multimedia-dev librtmidi-dev libasound2-dev cc65
  # tests
  libgtest-dev xvfb xauth xdotool imagemagick fonts-liberation clang-format midicsv desktop-file-utils appstream
  libx11-dev shared-mime-info openbox wmctrl x11-utils
  # benchmarks
  libbenchmark-dev
  # fuzzing (libFuzzer comes with clang's runtime)
  clang-14 libclang-rt-14-dev
  # windows: the core, orv-run and their tests cross-compiled (GoogleTest built from its source) and run
  # under Wine; the download zipped, its manual made text
  g++-mingw-w64-x86-64-posix googletest wine wine64 groff-base zip unzip
  # web edition: the compiler to WebAssembly, the browser its tests run in, the page's assembler and server
  emscripten chromium python3
)
# The tests' driver comes from the npm registry; a node that brings its own npm (not Debian's) is kept.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
