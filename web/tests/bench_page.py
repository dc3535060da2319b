#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints how long the page in headless Chromium takes from a press of Encrypt
or Decrypt to the next painted frame, for a 1 MiB text (524,288 UTF-16 units
in paragraphs of about 300) and for one long paragraph, and how much of that
the WebAssembly core takes alone. Beside the wall time it prints the page's
main-thread processor time, which varies less on a busy machine, and the part
of it that the browser spent laying out.

Given several pages (say, one built before a change and one after), it loads
them in turn in one browser for each run, and prints each page's medians as a
ratio to the first page's.

Usage: bench_page.py PAGE.html [PAGE.html ...] [runs]
"""

import collections
import pathlib
import statistics
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PAGES = [pathlib.Path(arg).resolve() for arg in sys.argv[1:] if not arg.isdigit()]
RUNS = next((int(arg) for arg in sys.argv[1:] if arg.isdigit()), 5)
TEXTS = [("1 MiB, paragraphs of ~300, key 4", 524288, 300, "4"),
         ("1 MiB, paragraphs of ~300, key 10", 524288, 300, "10"),
         ("60K-unit paragraph, key 4", 60000, 10 ** 9, "4")]

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


def metrics(driver):
    """Returns the page's main-thread processor time and layout time in ms."""
    values = {m["name"]: m["value"]
              for m in driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]}
    return 1000 * values["ThreadTime"], 1000 * values["LayoutDuration"]


def measure(driver, page, results):
    """Loads `page` and appends one run of every text and command to `results`
    as (wall, main thread, layout) in ms, with the result's length."""
    driver.get(page.as_uri())
    WebDriverWait(driver, 10).until(lambda d: d.find_element(
        By.ID, "frmKelvane").get_attribute("aria-busy") == "false")
    driver.execute_cdp_cmd("Performance.enable", {"timeDomain": "threadTicks"})
    for label, units, paragraph, key in TEXTS:
        driver.execute_script(MAKE_TEXT, units, paragraph, key)
        lengths = {}
        for button in ["cmdEncrypt", "cmdDecrypt"]:
            before = metrics(driver)
            elapsed, lengths[button] = driver.execute_async_script(TIMED_PRESS, button)
            after = metrics(driver)
            results[(label, button.removeprefix("cmd"))].append(
                (elapsed, after[0] - before[0], after[1] - before[1], lengths[button]))
        encrypt, decrypt = driver.execute_async_script(TIMED_CORE, key)
        results[(label, "core encrypt")].append((encrypt, None, None, lengths["cmdEncrypt"]))
        results[(label, "core decrypt")].append((decrypt, None, None, lengths["cmdDecrypt"]))


def main():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    profile = tempfile.TemporaryDirectory()
    for flag in FLAGS + [f"--user-data-dir={profile.name}"]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_script_timeout(120)
    results = {page: collections.defaultdict(list) for page in PAGES}
    try:
        for _ in range(RUNS):
            for page in PAGES:
                measure(driver, page, results[page])
    finally:
        driver.quit()
        profile.cleanup()
    print(f"medians of {RUNS} runs, ms: wall (min-max) until the next painted frame; "
          "main thread; of which layout")
    first = None
    for page in PAGES:
        print(f"{page}:")
        for (label, command), rows in results[page].items():
            wall = [row[0] for row in rows]
            line = (f"  {label:36} {command:12} {rows[0][3]:>10,}  "
                    f"{statistics.median(wall):6.0f} ({min(wall):5.0f}-{max(wall):5.0f})")
            if rows[0][1] is not None:
                line += (f"  thread {statistics.median(r[1] for r in rows):6.0f}"
                         f"  layout {statistics.median(r[2] for r in rows):6.0f}")
                if first is not None:
                    base = first[(label, command)]
                    line += (f"  x{statistics.median(r[0] for r in base) / statistics.median(wall):.2f}"
                             f" wall, x{statistics.median(r[1] for r in base) / statistics.median(r[1] for r in rows):.2f}"
                             " thread")
            print(line)
        first = first or results[page]


if __name__ == "__main__":
    main()
