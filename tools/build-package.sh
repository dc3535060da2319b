#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the Debian source and binary packages with dpkg-buildpackage from a
# copy of the source tree in build/deb/, so that the packages, the .changes
# file and the build's own directory land there and not next to the
# checkout. The copy holds the files git knows (committed or not) and any new
# ones it does not ignore, as a clean clone with the same edits would.
# Installs the build-dependencies of debian/control first when some are
# missing (mk-build-deps, as root or with sudo).
#   tools/build-package.sh [OUTPUT_DIR]      default: build/deb
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/deb}

if ! dpkg-checkbuilddeps debian/control 2>/dev/null; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    workdir=$(mktemp -d)
    trap 'rm -rf "$workdir"' EXIT
    # mk-build-deps writes its equivs package into the current directory.
    (cd "$workdir" && $sudo env DEBIAN_FRONTEND=noninteractive mk-build-deps --install --remove \
        --tool 'apt-get -y -qq --no-install-recommends' "$OLDPWD/debian/control" >/dev/null)
fi

source=$(dpkg-parsechangelog -S Source)
version=$(dpkg-parsechangelog -S Version)
tree="$out/$source-$version"
rm -rf "$out"
mkdir -p "$tree"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard \
        | while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done \
        | tar --null -T - -cf - | tar -xf - -C "$tree"
else
    tar --exclude='./build*' --exclude=./out -cf - . | tar -xf - -C "$tree"
fi

echo "Building the packages in $out"
(cd "$tree" && dpkg-buildpackage -us -uc --build=full >../build.log 2>&1) || {
    tail -n 60 "$out/build.log" >&2
    echo "error: dpkg-buildpackage failed; the whole log is $out/build.log" >&2
    exit 1
}
rm -rf "$tree"
ls "$out"
