#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Sends a large text through kelvane-cipher in both directions and prints the
# time and peak memory (max RSS from GNU time) of each run against the size of
# its input; the decrypted text must equal the original byte for byte.
# Usage: bench/stress-cli.sh PATH/TO/kelvane-cipher [MIB]   (default 100 MiB)
set -euo pipefail
cli=${1:?usage: bench/stress-cli.sh PATH/TO/kelvane-cipher [MIB]}
mib=${2:-100}
[ -x /usr/bin/time ] || { echo "stress: needs GNU time (Debian package time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-stress-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A line of alphabet characters, CR LF, other punctuation and non-ASCII text
# (two-, three- and four-byte UTF-8), without digits so that it round-trips.
# The non-ASCII characters are written as octal UTF-8 bytes so that the
# script does not depend on the locale.
line=$(printf 'The quick brown fox, "jumps" over (the) lazy dog? Yes! caf\303\251 \303\274ber \344\270\255\346\226\207 \360\237\230\200 @home; ok.\r')
line_bytes=$(printf '%s\n' "$line" | wc -c)
bytes=$((mib * 1024 * 1024))
lines=$(((bytes + line_bytes - 1) / line_bytes))
{ yes "$line" || true; } | head -n "$lines" >"$work/plain.txt"
size=$(stat -c %s "$work/plain.txt")
[ "$size" -ge "$bytes" ] || { echo "stress: made only $size bytes" >&2; exit 1; }

# Runs the tool once under GNU time and prints one line of figures.
measure() {
    local direction=$1 input=$2 output=$3
    /usr/bin/time -v "$cli" "$direction" --key 4 "$input" >"$output" 2>"$work/time.txt" || {
        cat "$work/time.txt" >&2
        echo "stress: $direction failed" >&2
        exit 1
    }
    local in_size out_size wall rss
    in_size=$(stat -c %s "$input")
    out_size=$(stat -c %s "$output")
    wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$work/time.txt")
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    awk -v d="$direction" -v i="$in_size" -v o="$out_size" -v w="$wall" -v r="$rss" 'BEGIN {
        n = split(w, p, ":"); s = 0; for (k = 1; k <= n; ++k) s = s * 60 + p[k];
        printf "%-8s input %8.1f MiB  output %8.1f MiB  wall %6.2f s  %7.1f MiB/s  max RSS %8.1f MiB  = %5.2f x input\n",
            d, i / 1048576, o / 1048576, s, (s > 0 ? i / 1048576 / s : 0), r / 1024, r * 1024 / i }'
}

echo "stress: $(basename "$cli") with key 4 on $mib MiB of text"
measure encrypt "$work/plain.txt" "$work/cipher.txt"
measure decrypt "$work/cipher.txt" "$work/back.txt"
if cmp -s "$work/plain.txt" "$work/back.txt"; then
    echo "stress: the decrypted text equals the original"
else
    echo "stress: FAIL: the decrypted text differs from the original" >&2
    exit 1
fi
