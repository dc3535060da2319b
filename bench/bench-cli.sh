#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Times kelvane-cipher against tr on the same bytes, in one run: encrypting
# 64 MiB of mixed text (CR LF, accents, CJK, emoji) with key 4 and decrypting
# its cipher text, each against `tr 0 0` passing the larger side (the cipher
# text) from a file into a file. Each time is the best of several runs, since
# other work on the machine only ever adds time; the ratios are what counts.
# With KELVANE_CIPHER_BEFORE naming another build (an older one, say), that
# one is timed in the same run too.
# Usage: bench/bench-cli.sh PATH/TO/kelvane-cipher [MIB] [RUNS]
set -euo pipefail
cli=${1:?usage: bench/bench-cli.sh PATH/TO/kelvane-cipher [MIB] [RUNS]}
mib=${2:-64}
runs=${3:-5}

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# The same line as bench/stress-cli.sh, with its non-ASCII text as octal bytes.
line=$(printf 'The quick brown fox, "jumps" over (the) lazy dog? Yes! caf\303\251 \303\274ber \344\270\255\346\226\207 \360\237\230\200 @home; ok.\r')
line_bytes=$(printf '%s\n' "$line" | wc -c)
lines=$(((mib * 1024 * 1024 + line_bytes - 1) / line_bytes))
{ yes "$line" || true; } | head -n "$lines" >"$work/plain.txt"
"$cli" encrypt --key 4 "$work/plain.txt" >"$work/cipher.txt"

# Prints the best wall-clock time in seconds of `runs` runs of a command that
# reads the file $1 on standard input and writes to $work/out.
best() {
    local input=$1 best_ns= start end
    shift
    for ((i = 0; i < runs; ++i)); do
        start=$(date +%s%N)
        "$@" <"$input" >"$work/out"
        end=$(date +%s%N)
        if [ -z "$best_ns" ] || [ $((end - start)) -lt "$best_ns" ]; then best_ns=$((end - start)); fi
    done
    awk -v ns="$best_ns" 'BEGIN { printf "%.3f", ns / 1e9 }'
}

tr_time=$(best "$work/cipher.txt" tr 0 0)
# Prints the encryption and decryption times of the build $1, checking its output.
time_build() {
    local enc dec
    enc=$(best "$work/plain.txt" "$1" encrypt --key 4)
    cmp -s "$work/out" "$work/cipher.txt" || { echo "bench-cli: $1: encryption differs" >&2; exit 1; }
    dec=$(best "$work/cipher.txt" "$1" decrypt --key 4)
    cmp -s "$work/out" "$work/plain.txt" || { echo "bench-cli: $1: decryption differs" >&2; exit 1; }
    echo "$enc $dec"
}
times=$(time_build "$cli")
read -r enc_time dec_time <<<"$times"
before=${KELVANE_CIPHER_BEFORE:-}
if [ -n "$before" ]; then
    times=$(time_build "$before")
    read -r before_enc before_dec <<<"$times"
fi

awk -v p="$(stat -c %s "$work/plain.txt")" -v c="$(stat -c %s "$work/cipher.txt")" \
    -v t="$tr_time" -v e="$enc_time" -v d="$dec_time" -v r="$runs" \
    -v be="${before_enc:-}" -v bd="${before_dec:-}" 'BEGIN {
    printf "\nkelvane-cipher, key 4: %.0f MiB of mixed text, %.0f MiB of cipher text (best of %d runs)\n",
        p / 1048576, c / 1048576, r
    printf "  tr over the cipher text   %7.3f s   1x\n", t
    printf "  encrypt                   %7.3f s   %.2fx tr\n", e, e / t
    printf "  decrypt                   %7.3f s   %.2fx tr\n", d, d / t
    if (be != "") {
        printf "  encrypt, KELVANE_CIPHER_BEFORE  %7.3f s   %.2fx tr\n", be, be / t
        printf "  decrypt, KELVANE_CIPHER_BEFORE  %7.3f s   %.2fx tr\n", bd, bd / t
    }
}'
