#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Checks the packages that tools/build-package.sh built: runs lintian on the
# .changes file (the source package and both binary packages), unpacks each
# .deb into a scratch root with dpkg -x, looks for every file it must
# install, checks the binaries' hardening, the manual pages, the desktop entry
# and the AppStream metainfo, and runs both programs from the scratch roots.
# Needs lintian, devscripts (hardening-check), desktop-file-utils, appstream
# and man-db.
# Usage: tools/check-package.sh [--version VERSION] PACKAGE.changes
set -euo pipefail

version=""
while [ $# -gt 1 ]; do
    case "$1" in
        --version) version=$2; shift 2 ;;
        *) echo "check-package: unknown option $1" >&2; exit 2 ;;
    esac
done
changes=${1:?usage: tools/check-package.sh [--version VERSION] PACKAGE.changes}
[ -f "$changes" ] || { echo "check-package: no .changes file at $changes" >&2; exit 1; }
dir=$(dirname "$changes")
arch=$(dpkg --print-architecture)

app_id=org.example.KelvaneEncryptor
failures=0
fail() { echo "check-package: FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "check-package: ok: $*"; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# lintian, pedantic tags included: no error, no warning, no pedantic tag. An
# override would have to be installed in usr/share/lintian/overrides with a
# comment that gives its reason.
if lintian --pedantic --fail-on error,warning,pedantic --display-level '>=pedantic' \
    "$changes" >"$scratch/lintian.txt" 2>&1; then
    pass "lintian --pedantic reports nothing on $(basename "$changes")"
else
    cat "$scratch/lintian.txt" >&2
    fail "lintian"
fi
[ "$(dcmd --dsc "$changes" | wc -l)" -eq 1 ] && pass "the .changes file holds the source package" \
    || fail "$changes holds no source package"

# debian/copyright follows REUSE: it has a licence paragraph for every text in
# LICENSES/, and names the licence of each file that .reuse/dep5 licenses
# other than under GPL-3.0-or-later.
if [ -d LICENSES ] && [ -f debian/copyright ]; then
    for text in LICENSES/*.txt; do
        id=$(basename "$text" .txt)
        grep -qx "License: $id" debian/copyright && pass "debian/copyright has the licence $id" \
            || fail "debian/copyright has no paragraph \"License: $id\""
    done
    awk '/^Files:/ {files = $0} /^License:/ && $2 != "GPL-3.0-or-later" {print files "\t" $2}' .reuse/dep5 \
        | while IFS=$'\t' read -r files id; do
            awk -v files="$files" -v id="$id" '$0 == files {found = 1} found && /^License:/ {exit $2 != id} \
                END {if (!found) exit 1}' debian/copyright \
                && echo "check-package: ok: debian/copyright: ${files#Files: } under $id" \
                || { echo "check-package: FAIL: debian/copyright lacks \"$files\" under $id" >&2; exit 1; }
        done || failures=$((failures + 1))
fi

# Unpacks binary package $1 into $scratch/$1 and sets deb and root.
unpack() {
    deb="$dir/${1}_${version:-*}_$arch.deb"
    # shellcheck disable=SC2086 # the glob when no version is given
    deb=$(ls $deb 2>/dev/null | head -n 1 || true)
    root="$scratch/$1"
    mkdir -p "$root"
    [ -n "$deb" ] && dcmd --deb "$changes" | grep -qxF "$deb" && dpkg -x "$deb" "$root"
}
field() { dpkg-deb -f "$deb" "$1"; }
# Returns success when relation field $1 names package $2.
names() { tr ',|' '\n\n' <<<"$(field "$1")" | awk '{print $1}' | grep -qxF "$2"; }

# What every binary package must have: its name and version, no file outside
# /usr, the copyright file and the changelog.
check_common() {
    local package=$1 doc="$root/usr/share/doc/$1" entry outside
    [ "$(field Package)" = "$package" ] && pass "$package: package name" || fail "$package: name is $(field Package)"
    [ -z "$version" ] || [ "$(field Version)" = "$version" ] && pass "$package: version $(field Version)" \
        || fail "$package: version is $(field Version), expected $version"
    field Maintainer | grep -q '@example.org' && pass "$package: maintainer under example.org" \
        || fail "$package: maintainer is $(field Maintainer)"
    outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -Ev '^\./(usr(/.*)?)?$' || true)
    [ -z "$outside" ] && pass "$package: every file is under /usr" || fail "$package: files outside /usr: $outside"
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" 2>/dev/null \
        && pass "$package: machine-readable copyright file" || fail "$package: no machine-readable $doc/copyright"
    if [ -f "$doc/changelog.gz" ]; then
        entry=$(gzip -dc "$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version || true)
        [ -z "$version" ] || [ "$entry" = "$version" ] \
            && pass "$package: changelog.gz names release $entry" || fail "$package: changelog.gz names release $entry"
    else
        fail "$package: usr/share/doc/$package/changelog.gz is missing"
    fi
    for dep in libc6 libstdc++6; do
        names Depends "$dep" && pass "$package: depends on $dep" || fail "$package: Depends lacks $dep: $(field Depends)"
    done
}

# Both binaries are hardened and carry no RUNPATH. Control-flow protection
# is checked by hand: the code is built with -fcf-protection (every function
# starts with endbr64), but Debian 12's glibc start files (Scrt1.o, crti.o,
# crtn.o) carry no IBT/SHSTK property, so the linker cannot mark any program
# of Debian 12 as CET-compatible, and hardening-check's test of that mark
# cannot pass there.
check_binary() {
    local binary=$1 name=${1#"$scratch"/}
    if [ ! -x "$binary" ]; then
        fail "$name is missing or not executable"
        return 1
    fi
    pass "$name"
    if hardening-check --nocfprotection "$binary" >"$scratch/hardening.txt" 2>&1; then
        pass "hardening-check $name"
    else
        cat "$scratch/hardening.txt" >&2
        fail "hardening-check $name"
    fi
    if [ "$arch" = amd64 ]; then
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

# kelvane-cipher: the command and its manual page, nothing of Qt or of the
# window, and the command round-trips a text from the scratch root.
if unpack kelvane-cipher; then
    check_common kelvane-cipher
    cli="$root/usr/bin/kelvane-cipher"
    if check_binary "$cli"; then
        [ -z "$version" ] || [ "$("$cli" --version | head -n 1)" = "kelvane-cipher (Kelvane Encryptor) $version" ] \
            && pass "kelvane-cipher --version" || fail "kelvane-cipher --version says $("$cli" --version)"
        printf 'Hello, caf\303\251!\r\nSecond line?\n' >"$scratch/plain.txt"
        if "$cli" encrypt --key 7 "$scratch/plain.txt" >"$scratch/cipher.txt" \
            && [ -s "$scratch/cipher.txt" ] && ! grep -q '[a-zA-Z]' "$scratch/cipher.txt" \
            && "$cli" decrypt --key 7 <"$scratch/cipher.txt" | cmp -s - "$scratch/plain.txt"; then
            pass "kelvane-cipher encrypts and decrypts back"
        else
            fail "kelvane-cipher did not round-trip a text"
        fi
        readelf -d "$cli" | grep NEEDED | grep -qi qt && fail "kelvane-cipher links Qt" \
            || pass "kelvane-cipher links no Qt library"
    fi
    check_man_page kelvane-cipher
    relations="$(field Depends), $(field Recommends)"
    grep -Eqi 'qt|fonts-|kelvane-encryptor' <<<"$relations" && fail "kelvane-cipher depends on $relations" \
        || pass "kelvane-cipher depends on nothing of Qt or the window: $(field Depends)"
    [ "$(find "$root" -type f | wc -l)" -eq 4 ] && pass "kelvane-cipher holds its 4 files" \
        || fail "kelvane-cipher holds other files: $(find "$root" -type f)"
else
    fail "$changes lists no kelvane-cipher package for $arch"
fi

# kelvane-encryptor: the window, its manual page, desktop entry, icons and
# metainfo; Qt and the fonts; the command only as a suggestion.
if unpack kelvane-encryptor; then
    check_common kelvane-encryptor
    gui="$root/usr/bin/kelvane-encryptor"
    if check_binary "$gui"; then
        # --help and --version need no display.
        nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$gui")
        if "${nodisplay[@]}" --help >/dev/null && gui_version=$("${nodisplay[@]}" --version) \
            && { [ -z "$version" ] || [ "$gui_version" = "kelvane-encryptor $version" ]; }; then
            pass "kelvane-encryptor --help and --version without a display"
        else
            fail "kelvane-encryptor --help or --version failed without a display"
        fi
    fi
    [ -e "$root/usr/bin/kelvane-cipher" ] && fail "kelvane-encryptor holds kelvane-cipher too" \
        || pass "kelvane-encryptor leaves kelvane-cipher to its own package"
    check_man_page kelvane-encryptor
    desktop="$root/usr/share/applications/$app_id.desktop"
    if [ -f "$desktop" ]; then
        pass "usr/share/applications/$app_id.desktop"
        problems=$(desktop-file-validate "$desktop" 2>&1 || echo "exit status $?")
        [ -z "$problems" ] && pass "desktop-file-validate" || fail "desktop-file-validate: $problems"
        grep -q '^StartupWMClass=kelvane-encryptor$' "$desktop" && pass ".desktop names the window class" \
            || fail ".desktop has no StartupWMClass=kelvane-encryptor"
        grep -q '^Exec=.*kelvane-encryptor' "$desktop" && pass ".desktop starts kelvane-encryptor" \
            || fail ".desktop has no Exec line for kelvane-encryptor"
        grep -q "^Icon=$app_id\$" "$desktop" && pass ".desktop names the icon" || fail ".desktop has no Icon=$app_id"
    else
        fail "usr/share/applications/$app_id.desktop is missing"
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
    icons=0
    for size in 16 32 48 64 128 256; do
        icon="$root/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png"
        [ "$(head -c 8 "$icon" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] \
            && icons=$((icons + 1)) || fail "${icon#"$root"} is missing or not a PNG file"
    done
    [ "$icons" -eq 6 ] && pass "6 hicolor PNG icons"
    grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/$app_id.svg" 2>/dev/null && pass "scalable SVG icon" \
        || fail "usr/share/icons/hicolor/scalable/apps/$app_id.svg is missing or not an SVG file"
    for dep in fonts-liberation libqt6widgets6; do
        names Depends "$dep" && pass "kelvane-encryptor depends on $dep" \
            || fail "kelvane-encryptor: Depends lacks $dep: $(field Depends)"
    done
    # qt6-qpa-plugins holds only the VNC and touch plugins; X11's is in libqt6gui6.
    names Depends qt6-qpa-plugins && fail "kelvane-encryptor depends on qt6-qpa-plugins" \
        || pass "no dependency on qt6-qpa-plugins"
    names Recommends qt6-wayland && pass "kelvane-encryptor recommends qt6-wayland" \
        || fail "kelvane-encryptor: Recommends lacks qt6-wayland"
    # The window has the cipher built in; it needs the command for nothing.
    names Depends kelvane-cipher || names Recommends kelvane-cipher \
        && fail "kelvane-encryptor depends on or recommends kelvane-cipher" \
        || pass "kelvane-encryptor neither depends on nor recommends kelvane-cipher"
else
    fail "$changes lists no kelvane-encryptor package for $arch"
fi

if [ "$failures" -gt 0 ]; then
    echo "check-package: $failures check(s) failed for $changes" >&2
    exit 1
fi
echo "check-package: the packages of $changes are complete"
