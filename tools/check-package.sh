#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Checks a built .deb: runs lintian on it, unpacks it into a scratch root with
# dpkg -x, looks for every file it must install, checks the binaries'
# hardening, the manual pages, the desktop entry and the AppStream metainfo,
# and runs the command-line tool from the scratch root. Needs lintian,
# devscripts (hardening-check), desktop-file-utils, appstream and man-db.
# Usage: tools/check-package.sh [--require-gui] [--version VERSION] PACKAGE.deb
#   --require-gui  the window was built, so its program, .desktop file and
#                  icons must be in the package too
set -euo pipefail

require_gui=false
version=""
while [ $# -gt 1 ]; do
    case "$1" in
        --require-gui) require_gui=true; shift ;;
        --version) version=$2; shift 2 ;;
        *) echo "check-package: unknown option $1" >&2; exit 2 ;;
    esac
done
deb=${1:?usage: tools/check-package.sh [--require-gui] [--version VERSION] PACKAGE.deb}
[ -f "$deb" ] || { echo "check-package: no package at $deb" >&2; exit 1; }

app_id=org.example.KelvaneEncryptor
failures=0
fail() { echo "check-package: FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "check-package: ok: $*"; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
doc="$root/usr/share/doc/kelvane-encryptor"

# lintian: no error and no warning. An override would have to be installed in
# usr/share/lintian/overrides with a comment that gives its reason.
if lintian --fail-on error,warning --display-level '>=warning' "$deb" >"$root/lintian.txt" 2>&1; then
    pass "lintian reports no error and no warning"
else
    cat "$root/lintian.txt" >&2
    fail "lintian"
fi

# Control fields: the name, the version, and the dependencies that
# dpkg-shlibdeps found next to the fonts named by hand.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kelvane-encryptor ] && pass "package name" || fail "package name is $(field Package)"
if [ -n "$version" ]; then
    [ "$(field Version)" = "$version" ] && pass "version $version" || fail "version is $(field Version), expected $version"
fi
depends=$(field Depends)
# Returns success when Depends names package $1 (with or without a version).
depends_on() { tr ',' '\n' <<<"$depends" | awk '{print $1}' | grep -qxF "$1"; }
for dep in fonts-liberation libc6 libstdc++6; do
    depends_on "$dep" && pass "depends on $dep" || fail "Depends lacks $dep: $depends"
done
# qt6-qpa-plugins holds only the VNC and touch plugins; X11's is in libqt6gui6.
depends_on qt6-qpa-plugins && fail "Depends names qt6-qpa-plugins: $depends" \
    || pass "no dependency on qt6-qpa-plugins"
field Maintainer | grep -q '@example.org' && pass "maintainer under example.org" || fail "maintainer is $(field Maintainer)"

# Nothing may land outside /usr.
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -Ev '^\./(usr(/.*)?)?$' || true)
[ -z "$outside" ] && pass "every file is under /usr" || fail "files outside /usr: $outside"

# Debian's copyright file and the changelog made from NEWS.md.
[ -f "$doc/copyright" ] && grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" \
    && pass "machine-readable copyright file" || fail "usr/share/doc/kelvane-encryptor/copyright is missing or not machine-readable"
if [ -f "$doc/changelog.gz" ]; then
    gzip -dc "$doc/changelog.gz" >"$root/changelog"
    entry=$(dpkg-parsechangelog -l "$root/changelog" -S Version || true)
    [ -z "$version" ] || [ "$entry" = "$version" ] \
        && pass "changelog.gz names release $entry" || fail "changelog.gz names release $entry"
else
    fail "usr/share/doc/kelvane-encryptor/changelog.gz is missing"
fi

# Both binaries are hardened and carry no RUNPATH. Control-flow protection
# is checked by hand: the code is built with -fcf-protection (every function
# starts with endbr64), but Debian 12's glibc start files (Scrt1.o, crti.o,
# crtn.o) carry no IBT/SHSTK property, so the linker cannot mark any program
# of Debian 12 as CET-compatible, and hardening-check's test of that mark
# cannot pass there.
check_binary() {
    local binary=$1 name=${1#"$root"}
    if hardening-check --nocfprotection "$binary" >"$root/hardening.txt" 2>&1; then
        pass "hardening-check $name"
    else
        cat "$root/hardening.txt" >&2
        fail "hardening-check $name"
    fi
    if [ "$(dpkg --print-architecture)" = amd64 ]; then
        local landing_pads
        landing_pads=$(objdump -d "$binary" | grep -c endbr64 || true)
        [ "$landing_pads" -gt 0 ] && pass "$name is built with -fcf-protection" \
            || fail "$name has no endbr64: not built with -fcf-protection"
    fi
    readelf -d "$binary" | grep -Eq '\((RPATH|RUNPATH)\)' && fail "$name has a RUNPATH" \
        || pass "$name has no RUNPATH"
}

# Each manual page is installed gzipped and renders without a warning.
check_man_page() {
    local page="$root/usr/share/man/man1/$1.1.gz" warnings
    if [ -f "$page" ]; then
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] && pass "manual page $1(1)" || fail "man --warnings $1(1): $warnings"
    else
        fail "usr/share/man/man1/$1.1.gz is missing"
    fi
}

# The command-line tool runs from the scratch root and round-trips a text.
cli="$root/usr/bin/kelvane-cipher"
if [ -x "$cli" ]; then
    pass "usr/bin/kelvane-cipher"
    check_binary "$cli"
    check_man_page kelvane-cipher
    [ -z "$version" ] || [ "$("$cli" --version | head -n 1)" = "kelvane-cipher (Kelvane Encryptor) $version" ] \
        && pass "kelvane-cipher --version" || fail "kelvane-cipher --version says $("$cli" --version)"
    printf 'Hello, caf\303\251!\r\nSecond line?\n' >"$root/plain.txt"
    if "$cli" encrypt --key 7 "$root/plain.txt" >"$root/cipher.txt" \
        && [ -s "$root/cipher.txt" ] && ! grep -q '[a-zA-Z]' "$root/cipher.txt" \
        && "$cli" decrypt --key 7 <"$root/cipher.txt" | cmp -s - "$root/plain.txt"; then
        pass "kelvane-cipher encrypts and decrypts back"
    else
        fail "kelvane-cipher did not round-trip a text"
    fi
else
    fail "usr/bin/kelvane-cipher is missing or not executable"
fi

metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
if [ -f "$metainfo" ]; then
    # No error, no warning: --strict fails on either.
    appstreamcli validate --no-net --strict "$metainfo" >/dev/null && pass "metainfo validates" \
        || { appstreamcli validate --no-net --strict "$metainfo" >&2 || true; fail "metainfo does not validate"; }
    [ -z "$version" ] || grep -q "<release version=\"$version\"" "$metainfo" \
        && pass "metainfo names the release" || fail "metainfo has no release $version"
else
    fail "usr/share/metainfo/$app_id.metainfo.xml is missing"
fi

# The window's files: required once the window target is built.
gui_files=("$root/usr/bin/kelvane-encryptor" "$root/usr/share/applications/$app_id.desktop")
icons=()
for icon in "$root"/usr/share/icons/hicolor/*x*/apps/"$app_id.png"; do
    [ -f "$icon" ] && icons+=("$icon")
done
if $require_gui; then
    if [ -x "${gui_files[0]}" ]; then
        pass "usr/bin/kelvane-encryptor"
        check_binary "${gui_files[0]}"
        # --help and --version need no display.
        nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${gui_files[0]}")
        if "${nodisplay[@]}" --help >/dev/null && gui_version=$("${nodisplay[@]}" --version) \
            && { [ -z "$version" ] || [ "$gui_version" = "kelvane-encryptor $version" ]; }; then
            pass "kelvane-encryptor --help and --version without a display"
        else
            fail "kelvane-encryptor --help or --version failed without a display"
        fi
    else
        fail "usr/bin/kelvane-encryptor is missing"
    fi
    check_man_page kelvane-encryptor
    desktop=${gui_files[1]}
    if [ -f "$desktop" ]; then
        pass "usr/share/applications/$app_id.desktop"
        problems=$(desktop-file-validate "$desktop" 2>&1)
        [ -z "$problems" ] && pass "desktop-file-validate" || fail "desktop-file-validate: $problems"
        grep -q '^StartupWMClass=kelvane-encryptor$' "$desktop" && pass ".desktop names the window class" \
            || fail ".desktop has no StartupWMClass=kelvane-encryptor"
        grep -q '^Exec=.*kelvane-encryptor' "$desktop" && pass ".desktop starts kelvane-encryptor" \
            || fail ".desktop has no Exec line for kelvane-encryptor"
        grep -q "^Icon=$app_id\$" "$desktop" && pass ".desktop names the icon" || fail ".desktop has no Icon=$app_id"
    else
        fail "usr/share/applications/$app_id.desktop is missing"
    fi
    [ ${#icons[@]} -gt 0 ] && pass "${#icons[@]} hicolor icon(s)" || fail "no hicolor icon $app_id.png"
    grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/$app_id.svg" 2>/dev/null && pass "scalable SVG icon" || fail "usr/share/icons/hicolor/scalable/apps/$app_id.svg is missing or not an SVG file"
    for icon in "${icons[@]}"; do
        [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] \
            || fail "${icon#"$root"} is not a PNG file"
    done
    depends_on libqt6widgets6 && pass "depends on libqt6widgets6" || fail "Depends lacks libqt6widgets6: $depends"
    tr ',' '\n' <<<"$(field Recommends)" | awk '{print $1}' | grep -qxF qt6-wayland \
        && pass "recommends qt6-wayland" || fail "Recommends lacks qt6-wayland"
else
    echo "check-package: note: the window was not built, so its files are not required"
fi

if [ "$failures" -gt 0 ]; then
    echo "check-package: $failures check(s) failed for $deb" >&2
    exit 1
fi
echo "check-package: $deb is complete"
