#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints how long the page in headless Chromium takes from a press of Encrypt
or Decrypt to the next painted frame, for a 1 MiB text (524,288 UTF-16 units
in paragraphs of about 300) and for one long paragraph, and how much of that
the WebAssembly core takes alone.

Usage: bench_page.py build/web/kelvane-encryptor.html [runs]
"""

import pathlib
import statistics
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PAGE = pathlib.Path(sys.argv[1]).resolve()
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 5

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run",
         "--window-size=600,500"]

# Builds the text in the page, fills the text box, presses the button and
# reports the milliseconds until the frame after the change has been painted.
TIMED_PRESS = """
const [button, done] = [arguments[0], arguments[arguments.length - 1]];
const box = document.getElementById('txtEncrypt');
const before = box.value;
const start = performance.now();
document.getElementById(button).click();
const wait = () => {
    if (box.value === before && document.getElementById('frmKelvane')
            .getAttribute('aria-busy') === 'true')
        return requestAnimationFrame(wait);
    requestAnimationFrame(() => setTimeout(() => done([performance.now() - start,
        box.value.length]), 0));
};
wait();
"""

# Times the WebAssembly core alone on the text box's text: encryption, then
# decryption of its result, each without copying in or out.
TIMED_CORE = """
const [key, done] = [arguments[0], arguments[arguments.length - 1]];
const base64 = document.getElementById('coreWasm').textContent.trim();
createKelvaneCore({ wasmBinary: Uint8Array.from(atob(base64), (c) => c.charCodeAt(0)) })
    .then((core) => {
        const text = document.getElementById('txtEncrypt').value;
        const address = core._malloc(text.length * 2);
        for (let i = 0; i < text.length; ++i)
            core.HEAPU16[(address >>> 1) + i] = text.charCodeAt(i);
        const index = ['1', '2', '3', '4', '5', '6', '7', '8', '9', '10'].indexOf(key);
        let start = performance.now();
        const length = core._kelvane_transform(address, text.length, index, 0);
        const encrypt = performance.now() - start;
        const cipher = core._malloc(length * 2);
        core.HEAPU16.copyWithin(cipher >>> 1, core._kelvane_result() >>> 1,
                                (core._kelvane_result() >>> 1) + length);
        start = performance.now();
        core._kelvane_transform(cipher, length, index, 1);
        done([encrypt, performance.now() - start]);
    });
"""

MAKE_TEXT = """
const [units, paragraph] = arguments;
const words = ['the', 'quick', 'Brown', 'fox,', 'jumps', 'over', 'a', 'lazy', 'dog.',
               'Meet', 'me', 'at', 'noon?', '(please)', 'come', 'alone!'];
let text = '', line = 0, i = 0;
while (text.length < units) {
    const word = words[(i * 7 + (i >> 3)) % words.length];
    i++;
    line += word.length + 1;
    text += word + (line >= paragraph ? '\\n' : ' ');
    if (line >= paragraph) line = 0;
}
text = text.slice(0, units);
const box = document.getElementById('txtEncrypt');
box.value = text;
document.getElementById('cboKey').value = arguments[2];
return box.value.length;
"""


def main():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    profile = tempfile.TemporaryDirectory()
    for flag in FLAGS + [f"--user-data-dir={profile.name}"]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_script_timeout(120)
    try:
        driver.get(PAGE.as_uri())
        WebDriverWait(driver, 10).until(lambda d: d.find_element(
            By.ID, "frmKelvane").get_attribute("aria-busy") == "false")
        print(f"{'text':36} {'command':12} {'result':>10}  median  min    max   (ms, {RUNS} runs)")
        for label, units, paragraph, key in [
                ("1 MiB, paragraphs of ~300, key 4", 524288, 300, "4"),
                ("1 MiB, paragraphs of ~300, key 10", 524288, 300, "10"),
                ("60K-unit paragraph, key 4", 60000, 10 ** 9, "4")]:
            times = {"cmdEncrypt": [], "cmdDecrypt": []}
            lengths = {}
            for _ in range(RUNS):
                driver.execute_script(MAKE_TEXT, units, paragraph, key)
                for button in times:
                    elapsed, length = driver.execute_async_script(TIMED_PRESS, button)
                    times[button].append(elapsed)
                    lengths[button] = length
            core = [driver.execute_async_script(TIMED_CORE, key) for _ in range(RUNS)]
            times["core encrypt"] = [c[0] for c in core]
            times["core decrypt"] = [c[1] for c in core]
            lengths["core encrypt"] = lengths["cmdEncrypt"]
            lengths["core decrypt"] = lengths["cmdDecrypt"]
            for button, values in times.items():
                print(f"{label:36} {button.removeprefix('cmd'):12} {lengths[button]:>10,}  "
                      f"{statistics.median(values):6.0f} {min(values):5.0f} {max(values):6.0f}")
    finally:
        driver.quit()
        profile.cleanup()


if __name__ == "__main__":
    main()
