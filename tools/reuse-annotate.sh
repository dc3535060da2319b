#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Adds the project's copyright and licence header to every file that git
# tracks and that has none, leaving alone the files that .reuse/dep5 covers
# (pictures, generated tables, fuzzer seeds, JSON) and the licence texts.
# Afterwards `reuse lint` (make reuse) finds the project compliant.
#   tools/reuse-annotate.sh
set -euo pipefail
cd "$(dirname "$0")/.."
command -v reuse >/dev/null || ./tools/install-deps.sh --only reuse

mapfile -t dep5_patterns < <(awk '/^Files:/ { for (i = 2; i <= NF; i++) print $i }' .reuse/dep5)

# Returns success when .reuse/dep5 or the licence folders cover file $1.
covered() {
    local pattern
    case "$1" in LICENSES/* | .reuse/*) return 0 ;; esac
    for pattern in "${dep5_patterns[@]}"; do
        # shellcheck disable=SC2053 # the pattern is a glob, as in dep5
        [[ $1 == $pattern ]] && return 0
    done
    return 1
}

files=()
hash_comment_files=()
while IFS= read -r -d '' file; do
    [ -f "$file" ] && ! covered "$file" || continue
    files+=("$file")
    # Files whose kind reuse cannot tell from the name, but that take # comments.
    case "$file" in
        *.desktop | .clang-format) hash_comment_files+=("$file") ;;
        *) if [ "$(head -c 2 "$file")" = '#!' ]; then hash_comment_files+=("$file"); fi ;;
    esac
done < <(git ls-files -z)

annotate=(reuse annotate --copyright "Kelvane Encryptor contributors"
    --license GPL-3.0-or-later --year 2026 --template kelvane --skip-existing)
"${annotate[@]}" --skip-unrecognised "${files[@]}"
[ ${#hash_comment_files[@]} -eq 0 ] || "${annotate[@]}" --style python "${hash_comment_files[@]}"
