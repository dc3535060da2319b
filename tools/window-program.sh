# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Sourced by the tools that start the window program. window_program sets
# $program to the program that the README's commands built: build-app/ (make
# run) or build/ (make build, make test), the one built last where both are.
# KELVANE_ENCRYPTOR in the environment names another.

window_program() {
    if [ -n "${KELVANE_ENCRYPTOR:-}" ]; then
        program=$KELVANE_ENCRYPTOR
    else
        program=
        for candidate in build-app/app/kelvane-encryptor build/app/kelvane-encryptor; do
            [ -x "$candidate" ] || continue
            if [ -z "$program" ] || [ "$candidate" -nt "$program" ]; then
                program=$candidate
            fi
        done
    fi
    if [ -z "$program" ] || [ ! -x "$program" ]; then
        echo "error: the window program is not built; run make run or make build" >&2
        return 1
    fi
}
