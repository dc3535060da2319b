# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Sourced by the scripts that show the program on a virtual display.

# Starts Xvfb on a display it picks itself, so that several scripts can run
# side by side; sets xvfb_pid as soon as it runs (for the caller's cleanup)
# and exports DISPLAY once the server is ready.
start_xvfb() {
    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
    [ -s "$display_file" ] || { rm -f "$display_file"; echo "error: Xvfb did not start" >&2; exit 1; }
    DISPLAY=:$(head -n1 "$display_file")
    export DISPLAY
    rm -f "$display_file"
}
