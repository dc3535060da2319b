#!/usr/bin/env bash
# Checks a built .deb: unpacks it into a scratch root with dpkg -x, looks for
# every file it must install, validates the AppStream metainfo offline and
# runs the command-line tool from the scratch root.
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
field Maintainer | grep -q '@example.org' && pass "maintainer under example.org" || fail "maintainer is $(field Maintainer)"

# Nothing may land outside /usr.
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -Ev '^\./(usr(/.*)?)?$' || true)
[ -z "$outside" ] && pass "every file is under /usr" || fail "files outside /usr: $outside"

# The command-line tool runs from the scratch root and round-trips a text.
cli="$root/usr/bin/kelvane-cipher"
if [ -x "$cli" ]; then
    pass "usr/bin/kelvane-cipher"
    [ -z "$version" ] || [ "$("$cli" --version)" = "kelvane-cipher $version" ] \
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
    appstreamcli validate --no-net "$metainfo" >/dev/null && pass "metainfo validates" \
        || { appstreamcli validate --no-net "$metainfo" >&2 || true; fail "metainfo does not validate"; }
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
    [ -x "${gui_files[0]}" ] && pass "usr/bin/kelvane-encryptor" || fail "usr/bin/kelvane-encryptor is missing"
    desktop=${gui_files[1]}
    if [ -f "$desktop" ]; then
        pass "usr/share/applications/$app_id.desktop"
        grep -q '^Exec=.*kelvane-encryptor' "$desktop" && pass ".desktop starts kelvane-encryptor" \
            || fail ".desktop has no Exec line for kelvane-encryptor"
        grep -q "^Icon=$app_id\$" "$desktop" && pass ".desktop names the icon" || fail ".desktop has no Icon=$app_id"
    else
        fail "usr/share/applications/$app_id.desktop is missing"
    fi
    [ ${#icons[@]} -gt 0 ] && pass "${#icons[@]} hicolor icon(s)" || fail "no hicolor icon $app_id.png"
    for icon in "${icons[@]}"; do
        [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] \
            || fail "${icon#"$root"} is not a PNG file"
    done
    for dep in libqt6widgets6 qt6-qpa-plugins; do
        depends_on "$dep" && pass "depends on $dep" || fail "Depends lacks $dep: $depends"
    done
else
    echo "check-package: note: the window was not built, so its files are not required"
fi

if [ "$failures" -gt 0 ]; then
    echo "check-package: $failures check(s) failed for $deb" >&2
    exit 1
fi
echo "check-package: $deb is complete"
