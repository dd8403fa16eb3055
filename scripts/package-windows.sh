#!/usr/bin/env bash
# The download for Windows: builds orv-run.exe with MinGW-w64 in build/win64 (standalone, the compiler's
# runtime linked in) and makes build/win64/orvane-run-VERSION-win64.zip of it, its manual as text and the
# README's program test as a batch file for cc65 users. Fails when orv-run.exe needs a DLL that is not
# Windows' own. Prints the zip's path last.
#   scripts/package-windows.sh [-j jobs]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

. scripts/jobs.sh "$@"

for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump groff zip; do
  command -v "$tool" >/dev/null || { echo "package-windows: $tool is not installed (scripts/install-deps.sh)"; exit 1; }
done

build=$root/build/win64
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DORV_BUILD_PROGRAM=OFF -DORV_BUILD_BENCH=OFF --no-warn-unused-cli >/dev/null
cmake --build "$build" -j"$jobs" --target orv-run >/dev/null

# Only the DLLs every Windows has.
dlls=$(x86_64-w64-mingw32-objdump -p "$build/orv-run.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for dll in $dlls; do
  case "$dll" in
    kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | shell32.dll | ws2_32.dll) ;;
    *) echo "package-windows: orv-run.exe needs $dll, which Windows does not have"; exit 1 ;;
  esac
done

version=$(sed -n 's/^project(Orvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=orvane-run-$version-win64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage/example"

# Text files with Windows' line ends, for Notepad and cmd.
crlf() { sed 's/\r\?$/\r/'; }

x86_64-w64-mingw32-strip -o "$stage/orv-run.exe" "$build/orv-run.exe"
groff -man -Tascii -P-c -P-b -P-u -rHY=0 resources/orv-run.1 | crlf >"$stage/orv-run.txt"

# The README's program test: prog.s stores $42 at $0300, test.bat assembles, links and checks it.
crlf >"$stage/example/prog.s" <<'EOF'
        lda     #$42
        sta     $0300
        brk
EOF
crlf >"$stage/example/prog.cfg" <<'EOF'
MEMORY   { RAM: start = $0200, size = $0200, file = %O; }
SEGMENTS { CODE: load = RAM, type = rw; }
EOF
crlf >"$stage/example/test.bat" <<'EOF'
@echo off
rem The program test: assemble and link prog.s with cc65's ca65 and ld65, then run it on the board.
rem Needs ca65 and ld65 on PATH, and orv-run.exe on PATH or one folder up.
setlocal
set ORV_RUN=orv-run
if exist "%~dp0..\orv-run.exe" set ORV_RUN="%~dp0..\orv-run.exe"
cd /d "%~dp0"
call ca65 prog.s -o prog.o
if errorlevel 1 exit /b 2
call ld65 -C prog.cfg prog.o -o prog.bin
if errorlevel 1 exit /b 2
%ORV_RUN% prog.bin --at 0200 --pc 0200 --expect 0300=42 --show stop,registers
exit /b %ERRORLEVEL%
EOF

zip=$build/$name.zip
rm -f "$zip"
(cd "$build/package" && zip -qrX "$zip" "$name")
echo "$zip"
