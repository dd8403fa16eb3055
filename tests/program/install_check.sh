#!/usr/bin/env bash
# The installation: `cmake --install` into a temporary prefix must put orv, the user guide, the desktop
# entry and the icons in their places; the installed orv, started under Xvfb from a bin folder it cannot
# write, must open its guide from share/doc/orvane and keep orv.ini in the user's configuration folder.
# Usage: install_check.sh path/to/cmake build-folder
set -euo pipefail

cmake=$1
build=$2
for tool in xvfb-run xdotool identify desktop-file-validate; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

[ -x "$prefix/bin/orv" ] || fail "no executable bin/orv"
for page in index.html emulator.html style.css images/panel.png; do
  [ -s "$prefix/share/doc/orvane/$page" ] || fail "no guide file share/doc/orvane/$page"
done
# The developers' map lives in docs/ but is no page of the guide.
[ ! -e "$prefix/share/doc/orvane/architecture.md" ] || fail "share/doc/orvane holds the developers' map"
entry=$prefix/share/applications/orvane.desktop
if [ -f "$entry" ]; then
  # Hints are suggestions; errors and warnings are not.
  report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate rejects the entry: $report"
  if grep -E ': (error|warning): ' <<< "$report"; then fail "desktop-file-validate complains"; fi
  for line in 'Icon=orvane' 'Type=Application'; do
    grep -qx "$line" "$entry" || fail "the desktop entry lacks $line"
  done
  grep -qE '^Categories=(.*;)?Education;(.*;)?Emulator;' "$entry" || fail "the desktop entry's categories"
else
  fail "no share/applications/orvane.desktop"
fi
grep -q '^Exec=orv %f$' "$entry" 2>/dev/null || fail "the desktop entry's Exec does not take a file (%f)"
grep -q '^MimeType=.*audio/midi;' "$entry" 2>/dev/null || fail "the desktop entry declares no MIME types"
# The types it declares of its own go into a MIME database that names them by their globs; a .bin is
# anybody's file and stays out.
mime=$prefix/share/mime/packages/orvane.xml
if [ ! -f "$mime" ]; then
  fail "no share/mime/packages/orvane.xml"
elif command -v update-mime-database >/dev/null; then
  cp -r "$prefix/share/mime" "$work/mime"
  report=$(update-mime-database "$work/mime" 2>&1 >/dev/null) || fail "update-mime-database rejects it: $report"
  for glob in application/x-orvane-object:\*.obj text/x-ihex:\*.hex text/x-ihex:\*.ihx; do
    grep -qxF "50:$glob" "$work/mime/globs2" 2>/dev/null || fail "no glob $glob in the MIME database"
  done
fi
! grep -q '^MimeType=.*octet-stream' "$entry" 2>/dev/null || fail "the desktop entry claims every binary file"
metainfo=$prefix/share/metainfo/orvane.metainfo.xml
if [ ! -f "$metainfo" ]; then
  fail "no share/metainfo/orvane.metainfo.xml"
elif command -v appstreamcli >/dev/null; then
  report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli rejects the metainfo: $report"
else
  fail "appstreamcli is not installed (package appstream)"
fi
[ -s "$prefix/share/man/man1/orv.1" ] || fail "no man page share/man/man1/orv.1"
[ -s "$prefix/share/man/man1/orv-run.1" ] || fail "no man page share/man/man1/orv-run.1"
# orv-run needs no display: the installed one runs the monitor into its command loop.
"$prefix/bin/orv-run" --cycles 100000 --expect-display " . . . . . . . ." || fail "the installed orv-run did not run the monitor"
for size in 16 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/orvane.png
  if [ -f "$icon" ]; then
    [ "$(identify -format '%m %wx%h' "$icon")" = "PNG ${size}x${size}" ] || fail "$icon is not a ${size}x${size} PNG"
  else
    fail "no icon ${size}x${size}/apps/orvane.png"
  fi
done
[ $failures -eq 0 ] || exit 1

# The session: a home of its own, a stand-in for the desktop's opener that notes what it was given,
# and a bin folder the program cannot write. Root writes anywhere, so root runs it as nobody.
home=$work/home
mkdir -p "$home" "$work/tools"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >> %s/opened.txt\n' "$work" > "$work/tools/xdg-open"
chmod 755 "$work/tools/xdg-open"
touch "$work/opened.txt"
chmod a-w "$prefix/bin"
run_as=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody: "$home"
  chown nobody: "$work/opened.txt"
  run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
chmod 755 "$work"

cat > "$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
cd "$HOME"
"$1/bin/orv" > trace.txt 2> errors.txt &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Orvane$' | head -1) || { echo "orv's window did not appear"; exit 1; }
xdotool windowfocus --sync "$window"
sleep 0.5
# Help, Website: the guide's home page.
xdotool key --window "$window" alt+h
sleep 0.5
xdotool key w
for _ in $(seq 50); do [ -s "$2" ] && break; sleep 0.1; done
# File, Exit: the settings are written on the way out.
xdotool key --window "$window" alt+f
sleep 0.5
xdotool key x
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "orv did not exit"; exit 1; fi
wait $pid || { echo "orv exited with $?"; exit 1; }
SESSION
chmod 755 "$work/session.sh"

env HOME="$home" XDG_CONFIG_HOME="$home/.config" PATH="$work/tools:$PATH" "${run_as[@]}" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$work/session.sh" "$prefix" "$work/opened.txt" \
  || fail "the session did not complete"

expected="file://$prefix/share/doc/orvane/index.html"
opened=$(head -1 "$work/opened.txt")
[ "$opened" = "$expected" ] || fail "Website opened '$opened', not '$expected'"
settings=$home/.config/orvane/orv.ini
if [ -f "$settings" ]; then
  grep -q '^\[Screen\]' "$settings" || fail "$settings holds no [Screen] section"
else
  fail "no orv.ini in the configuration folder"
fi
if compgen -G "$prefix/bin/orv.ini*" >/dev/null; then fail "a settings file in the read-only bin folder"; fi

if [ $failures -ne 0 ]; then
  echo "trace:"; cat "$home/trace.txt" 2>/dev/null || true
  echo "errors:"; cat "$home/errors.txt" 2>/dev/null || true
  exit 1
fi
echo "PASS: installed files in place, the guide opened from share/doc/orvane, settings in $settings"
