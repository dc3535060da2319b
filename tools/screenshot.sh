#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Starts the program on a virtual X display and saves a picture of its window.
#
#   tools/screenshot.sh [output.png] [-- command to run once the window is up]
#
# Default output: docs/screenshot.png. QT_SCALE_FACTOR=2 in the environment
# takes the picture at 200 %. Needs the window program built (make run or
# make build; see tools/window-program.sh), Xvfb, xwd, xdotool and
# ImageMagick; missing ones are installed with apt-get. A command
# after "--" runs with DISPLAY set and $WID holding the window id, so that a
# picture can show the window after some typing (see xdotool).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
shift || true
[ "${1:-}" = "--" ] && shift
# shellcheck source=tools/window-program.sh
source tools/window-program.sh
window_program
./tools/install-deps.sh xdotool imagemagick x11-utils

xvfb_pid=
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
# shellcheck source=tools/xvfb.sh
source tools/xvfb.sh
start_xvfb

unset QT_QPA_PLATFORM
"$program" &
program_pid=$!
WID=
for _ in $(seq 100); do
    WID=$(xdotool search --name '^Kelvane Encryptor$' 2>/dev/null | head -n1) && [ -n "$WID" ] && break
    sleep 0.1
done
[ -n "$WID" ] || { echo "error: the window did not appear" >&2; exit 1; }
export WID
# There is no window manager to hand the focus over, so give it by hand.
xdotool windowfocus --sync "$WID" 2>/dev/null || true
sleep 1
if [ $# -gt 0 ]; then
    "$@"
    sleep 0.5
fi
mkdir -p "$(dirname "$out")"
xwd -silent -id "$WID" | convert xwd:- "png:$out"
echo "saved $out"
