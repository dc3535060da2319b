#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Starts the program on a virtual X display with an accessibility (AT-SPI)
# bus, as a desktop with a screen reader would, and prints what a screen
# reader finds: the tree of accessible objects with their roles, names,
# descriptions and relations, what is announced as Tab moves the focus, and
# how many name changes the scrolling banner announces while idle.
#
#   tools/accessibility-tree.sh [> output.txt]
#
# Needs the window program built (make run or make build; see
# tools/window-program.sh). Xvfb, xdotool, dbus, at-spi2-core and
# python3-pyatspi are installed with apt-get when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/window-program.sh
source tools/window-program.sh
window_program
./tools/install-deps.sh xvfb x11-utils xdotool dbus at-spi2-core python3-pyatspi >&2

if [ "${1:-}" != "--inside-session" ]; then
    # A private session bus, ended with everything on it when this returns.
    # Services that the bus starts write to its standard output, so only the
    # tree goes to ours, through descriptor 3.
    exec 3>&1
    exec dbus-run-session -- "$0" --inside-session >&2
fi

xvfb_pid=
program_pid=
bus_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
# shellcheck source=tools/xvfb.sh
source tools/xvfb.sh
start_xvfb

# The accessibility bus, switched on as a desktop does when a screen reader
# runs; Qt and the registry find it through the session bus.
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus_pid=$!
for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
done
dbus-send --session --type=method_call --dest=org.a11y.Bus /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
    variant:boolean:true

unset QT_QPA_PLATFORM
QT_ACCESSIBILITY=1 "$program" 2>/dev/null &
program_pid=$!
window=
for _ in $(seq 100); do
    window=$(xdotool search --name '^Kelvane Encryptor$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "error: the window did not appear" >&2; exit 1; }
# There is no window manager to hand the focus over, so give it by hand.
xdotool windowfocus --sync "$window" 2>/dev/null || true
sleep 1
# The Debian python3 that python3-pyatspi is installed for, not another on PATH.
/usr/bin/python3 tools/accessibility-tree.py "$window" >&3
