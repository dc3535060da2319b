#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the one-file page: puts the style, the scripts and the artwork into
the page template and allows exactly those scripts and that style in its
Content-Security-Policy, by their hashes."""

import argparse
import base64
import hashlib
import re
import sys


def data_uri(path, mime):
    with open(path, "rb") as f:
        return f"data:{mime};base64,{base64.b64encode(f.read()).decode('ascii')}"


def source_hash(text):
    digest = hashlib.sha256(text.encode("utf-8")).digest()
    return f"'sha256-{base64.b64encode(digest).decode('ascii')}'"


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def fill(text, values):
    """Replaces each @NAME@ of `text` by values[NAME] in one pass, so that
    inserted text is never searched again."""

    def value(match):
        name = match.group(1)
        if name not in values:
            sys.exit(f"make_page.py: no value for @{name}@")
        return values[name]

    return re.sub(r"@([A-Z0-9_]+)@", value, text)


def main():
    parser = argparse.ArgumentParser()
    for name in ("template", "style", "script", "core", "wasm", "constants", "background", "arrow", "icon", "output"):
        parser.add_argument(f"--{name}", required=True)
    args = parser.parse_args()

    # Each picture comes with its versions drawn at twice and three times the
    # size beside it, as name@2x.png and name@3x.png.
    artwork = {}
    for name, path in (("BACKGROUND", args.background), ("ARROW", args.arrow)):
        artwork[name] = data_uri(path, "image/png")
        for scale in (2, 3):
            artwork[f"{name}_{scale}X"] = data_uri(re.sub(r"\.png$", f"@{scale}x.png", path),
                                                   "image/png")
    style = fill(read(args.style), artwork)
    core = read(args.core)
    constants = read(args.constants).strip()
    script = read(args.script)
    for name, text in (("core", core), ("script", script), ("constants", constants)):
        if "</script" in text.lower():
            sys.exit(f"make_page.py: the {name} holds '</script'")
    if "</style" in style.lower():
        sys.exit("make_page.py: the style holds '</style'")

    # Nothing may be fetched: no connections, frames, fonts or workers, images
    # only from data: URIs, and only these scripts and this style.
    policy = "; ".join([
        "default-src 'none'",
        f"script-src {source_hash(core)} {source_hash(script)} 'wasm-unsafe-eval'",
        f"style-src {source_hash(style)}",
        "img-src data:",
        "base-uri 'none'",
        "form-action 'none'",
    ])
    page = fill(read(args.template), {
        "POLICY": policy,
        "ICON": data_uri(args.icon, "image/x-icon"),
        "STYLE": style,
        "CORE": core,
        "WASM": data_uri(args.wasm, "application/wasm").split(",", 1)[1],
        "SCRIPT": script,
        "CONSTANTS": constants,
    })
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write(page)


if __name__ == "__main__":
    main()
