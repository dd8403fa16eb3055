#!/usr/bin/env bash
# End to end: the real orv under Xvfb. A click on the "rst" key resets and runs the machine; the
# monitor then shows eight decimal points and nothing else, which the screenshot's pixels must show.
# Usage: e2e_reset.sh path/to/orv have-monitor(0|1)
set -euo pipefail
# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

e2e_begin "$1" "${2:-1}" import convert

e2e_session <<'SESSION' || e2e_abort "the session did not finish"
e2e_place
e2e_click_rst
e2e_shot_showing shot.png 0x80 0x80 0x80 0x80 0x80 0x80 0x80 0x80
SESSION
e2e_read_place
e2e_keep shot.png orv_e2e_reset.png

e2e_pixels "$work/shot.png"
e2e_check_digits 0x80 0x80 0x80 0x80 0x80 0x80 0x80 0x80
e2e_finish "eight decimal points lit, every segment dark (scale $scale)"
