#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs the Debian packages that building, running and testing need.
# Only packages that are missing are installed, so a second run is quick.
#   tools/install-deps.sh [--app | --only] [PACKAGE...]
#   --app    only what building and running the window program needs
#            (make run); without it, also what the tests and benchmarks need
#   --only   only the PACKAGEs
#   PACKAGE  further packages, for the commands that need more
set -euo pipefail

# Building the window and running it (Wayland sessions need Qt's plugin).
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-wayland fonts-liberation
)
case "${1:-}" in
    --app) shift ;;
    --only) shift; packages=() ;;
    # xvfb-run needs xauth, which xvfb only recommends.
    *) packages+=(libgtest-dev libbenchmark-dev qt6-base-private-dev xvfb xauth x11-apps) ;;
esac
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "error: need root or sudo to install ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
# apt-get and dpkg talk a lot (progress, debconf and invoke-rc.d notes): all of
# it goes to a log that is shown in full only when the installation fails.
log=$(mktemp "${TMPDIR:-/tmp}/kelvane-install.XXXXXX")
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -qq -o Dpkg::Use-Pty=0)
if ! { "${apt[@]}" update && "${apt[@]}" install -y --no-install-recommends "${missing[@]}"; } \
    >"$log" 2>&1 </dev/null; then
    cat "$log" >&2
    echo "error: installing ${missing[*]} failed; apt-get's output is above and in $log" >&2
    exit 1
fi
rm -f "$log"
