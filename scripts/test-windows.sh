#!/usr/bin/env bash
# The Windows build: cross-compiles the core, orv-run and their tests with MinGW-w64 in build/win64, runs
# the tests under Wine (its own prefix in the build folder, no display), then runs orv-run.exe and the
# Linux orv-run side by side on the same arguments and compares what they give byte for byte: exit
# status, standard output and error (CR LF on Windows where Linux has LF) and every file written (states,
# tapes). Ends with "test-windows.sh: N passed, 0 failed"; fails on the first difference.
#   scripts/test-windows.sh [-j jobs]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

. scripts/jobs.sh "$@"

for tool in x86_64-w64-mingw32-g++-posix wine ca65 ld65; do
  command -v "$tool" >/dev/null || { echo "test-windows: $tool is not installed (scripts/install-deps.sh)"; exit 1; }
done

# The Linux orv-run to compare with, from the usual build.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$jobs" --target orv-run >/dev/null
linux_run=$root/build/release/orv-run

# The download first: it configures build/win64 and builds orv-run.exe.
build=$root/build/win64
zip=$(bash scripts/package-windows.sh -j"$jobs" | tail -n 1)
cmake --build "$build" -j"$jobs" --target orv_core_tests orv_runner_tests >/dev/null
windows_run=$build/orv-run.exe

# Wine on its own: a prefix of ours, no messages of its own, no display, no offer to install Mono or Gecko.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot --init >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT

passed=0
for tests in orv_core_tests orv_runner_tests; do
  log=$(mktemp)
  if ! wine "$build/tests/$tests.exe" --gtest_brief=1 >"$log" 2>&1; then
    cat "$log"
    echo "test-windows: $tests failed under Wine"
    exit 1
  fi
  count=$(tr -d '\r' <"$log" | sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p')
  echo "$tests (Windows, under Wine): $count passed"
  passed=$((passed + count))
  rm -f "$log"
done

# The runs below, each in a folder of its own build's: L for Linux, W for Windows. A run sees the files
# the runs before it left in its folder.
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/L" "$work/W"

# The README's program test, assembled by the build machine's ca65 and ld65.
printf '        lda     #$42\n        sta     $0300\n        brk\n' >"$work/prog.s"
printf 'MEMORY   { RAM: start = $0200, size = $0200, file = %%O; }\nSEGMENTS { CODE: load = RAM, type = rw; }\n' \
  >"$work/prog.cfg"
ca65 "$work/prog.s" -o "$work/prog.o"
ld65 -C "$work/prog.cfg" "$work/prog.o" -o "$work/prog.bin"
cp "$work/prog.bin" "$work/L/"
cp "$work/prog.bin" "$work/W/"
# Made read-only in both; on Windows the attribute, on Linux no write bits.
printf 'keep me' >"$work/L/ro.orvstate"
printf 'keep me' >"$work/W/ro.orvstate"
chmod 444 "$work/L/ro.orvstate" "$work/W/ro.orvstate"
# The devices' names Windows keeps in every folder; on Linux pipes of the same names, which it refuses
# with the same words.
mkfifo "$work/L/nul" "$work/L/con.obj" "$work/L/COM1.orvstate"

# One run: the arguments as a line of words (quoted as the shell quotes them).
compare() {
  local args=("$@") name="${*}"
  local lstatus=0 wstatus=0
  (cd "$work/L" && "$linux_run" "${args[@]}" >../l.out 2>../l.err) || lstatus=$?
  (cd "$work/W" && wine "$windows_run" "${args[@]}" >../w.out 2>../w.err) || wstatus=$?
  local problem=""
  [ "$lstatus" = "$wstatus" ] || problem="exit status $lstatus on Linux, $wstatus on Windows"
  for stream in out err; do
    sed 's/$/\r/' "$work/l.$stream" >"$work/l.$stream.crlf"
    # sed ends a last line without a line end with one: only where Linux had it.
    [ -s "$work/l.$stream" ] && [ "$(tail -c 1 "$work/l.$stream" | od -An -c | tr -d ' ')" != '\n' ] &&
      truncate -s -2 "$work/l.$stream.crlf"
    cmp -s "$work/l.$stream.crlf" "$work/w.$stream" || problem="$problem; standard $stream differs"
  done
  local lfiles wfiles
  lfiles=$(cd "$work/L" && find . -type f | sort)
  wfiles=$(cd "$work/W" && find . -type f | sort)
  if [ "$lfiles" != "$wfiles" ]; then
    problem="$problem; the files differ: Linux has $(echo $lfiles), Windows $(echo $wfiles)"
  else
    while read -r file; do
      cmp -s "$work/L/$file" "$work/W/$file" || problem="$problem; $file differs"
    done <<<"$lfiles"
  fi
  if [ -n "$problem" ]; then
    echo "orv-run $name: ${problem#; }"
    echo "--- Linux (status $lstatus)"; cat "$work/l.out" "$work/l.err"
    echo "--- Windows (status $wstatus)"; cat "$work/w.out" "$work/w.err"
    exit 1
  fi
  passed=$((passed + 1))
}

store=(--poke 0200=A9,42,8D,00,03,00 --pc 0200)
data=(--poke 0200=01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10)
compare "${store[@]}" --show stop,registers,cycles,memory=0200-020F --save-state s.orvstate
compare "${store[@]}" --expect 0300=41 --save-state s.orvstate
compare --state s.orvstate --show stop,registers,memory=0000-03FF
compare --keys "m0200^" --until-display "A.0200 ." --show stop,display,cycles
compare --keys "M0300^5a^C3 {reset}" --expect 0300=5A,C3 --expect-display " . . . . . . . ." --show display
compare "${data[@]}" --keys "s0200^0210^" --record t.mid --show stop,cycles
compare "${data[@]}" --keys "s0200^0208^" --record t.mid
compare t.mid --seed 7 --expect 0200=01,02,03,04,05,06,07,08 --show memory=0200-020F
compare "${data[@]}" --disassemble 0200-0211
compare --poke 0200=A9,42,8D,00,03,B1,10,02,D0,F7,6C,FE,FF,AD,34,00,4C,00 --disassemble 0200-0211
compare prog.bin --at 0200 --pc 0200 --expect 0300=42 --show stop,registers
compare "${store[@]}" --save-state "prøgram ✓.orvstate"
compare --state "prøgram ✓.orvstate" --show registers --save-state "prøgram ✓.orvstate"
compare "${store[@]}" --cycles 10 --save-state ro.orvstate
compare --cycles 10 --record nul
compare --cycles 10 --save-state COM1.orvstate
compare con.obj
compare missing.obj
compare --cycles 100000 --show display --seed 3
# The download: what it holds, and its example run as a Windows user runs it, from cmd in the unpacked
# folder. Wine runs no Linux ca65 or ld65 there: stand-ins give what they gave on this machine.
mkdir "$work/zip" "$work/bin"
(cd "$work/zip" && unzip -q "$zip")
name=$(basename "$zip" .zip)
listing=$(cd "$work/zip" && find . -type f | sort | tr '\n' ' ')
expected="./$name/example/prog.cfg ./$name/example/prog.s ./$name/example/test.bat ./$name/orv-run.exe ./$name/orv-run.txt "
[ "$listing" = "$expected" ] || { echo "test-windows: $name.zip holds $listing"; exit 1; }
cp "$work/prog.o" "$work/prog.bin" "$work/bin/"
printf '@copy /y "%%~dp0prog.o" prog.o >nul\r\n' >"$work/bin/ca65.bat"
printf '@copy /y "%%~dp0prog.bin" prog.bin >nul\r\n' >"$work/bin/ld65.bat"
example=$(WINEPATH=$(winepath -w "$work/bin") wine cmd /c "$(winepath -w "$work/zip/$name/example/test.bat")" 2>&1 |
  tr -d '\r') || {
  echo "test-windows: the example failed: $example"
  exit 1
}
[ "$example" = "$(cd "$work/L" && "$linux_run" prog.bin --at 0200 --pc 0200 --expect 0300=42 --show stop,registers)" ] || {
  echo "test-windows: the example printed: $example"
  exit 1
}
passed=$((passed + 1))

echo "test-windows.sh: $passed passed, 0 failed"
