#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs the cipher fuzzer for a bounded time from the committed seeds and
# prints how many inputs it executed. New inputs go to a scratch corpus in the
# build directory, so the committed seeds stay as they are.
# Usage: fuzz/run-fuzzer.sh BUILD_DIR [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:?usage: fuzz/run-fuzzer.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
fuzzer="$build_dir/fuzz/kelvane-fuzz-cipher"
work="$build_dir/fuzz/corpus"
log="$build_dir/fuzz/last-run.log"
mkdir -p "$work"

# 4096 bytes are 2046 units of text: runPass makes 61 copies of it per pass,
# which keeps an execution well under a millisecond.
status=0
"$fuzzer" -max_len=4096 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build_dir/fuzz/" \
    "$work" fuzz/corpus >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
if [ "$status" -ne 0 ]; then
    tail -n 40 "$log" >&2
    echo "fuzz: the fuzzer failed (exit $status) after ${runs:-?} executions; see $log" >&2
    exit 1
fi
echo "fuzz: ${runs:-?} executions in ${seconds} s without a failure (log: $log)"
