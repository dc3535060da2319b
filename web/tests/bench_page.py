#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints how long the page in headless Chromium takes from a press of Encrypt
or Decrypt until the result shows and until it is wholly in the text box, for
a 1 MiB text (524,288 UTF-16 units in paragraphs of about 300) and for one
long paragraph, beside how long the browser takes to give the text box the
same value with nothing else to do, and how much the WebAssembly core takes
alone. Beside the wall time it prints the page's
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

# Presses the button and reports the milliseconds until the frame after the
# text box's value first changed has been painted (shown), and until the
# command's end, the window idle again, but not before it was shown (whole).
TIMED_PRESS = """
const [button, done] = [arguments[0], arguments[arguments.length - 1]];
const box = document.getElementById('txtEncrypt');
const window_ = document.getElementById('frmKelvane');
const before = box.value;
window.benchBefore = before;
let shown = null;
let idle = null;
const observer = new MutationObserver(() => {
    if (window_.getAttribute('aria-busy') === 'false')
        idle = performance.now() - start;
});
observer.observe(window_, { attributeFilter: ['aria-busy'] });
const start = performance.now();
document.getElementById(button).click();
// Runs in each frame before it is painted; a timeout set there runs after it.
const wait = () => {
    if (shown === null && box.value !== before) {
        shown = -1;
        setTimeout(() => { shown = performance.now() - start; }, 0);
    }
    if (shown === null || shown < 0 || window_.getAttribute('aria-busy') === 'true')
        return requestAnimationFrame(wait);
    observer.disconnect();
    window.benchAfter = box.value;
    done([shown, Math.max(shown, idle), box.value.length]);
};
requestAnimationFrame(wait);
"""

# The floor: how long Chromium takes to give the same text box the same
# value, from the text before the press to the text after it, until the next
# painted frame; the box ends as the press left it.
TIMED_BARE = """
const done = arguments[arguments.length - 1];
const box = document.getElementById('txtEncrypt');
const painted = () => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
box.classList.toggle('wrap-anywhere', /\\S{2001}/.test(window.benchBefore));
box.value = window.benchBefore;
painted().then(() => {
    const start = performance.now();
    box.classList.toggle('wrap-anywhere', /\\S{2001}/.test(window.benchAfter));
    box.value = window.benchAfter;
    box.setSelectionRange(0, 0);
    box.scrollTop = 0;
    return painted().then(() => done(performance.now() - start));
});
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
    as a dict of ms figures, with the result's length."""
    driver.get(page.as_uri())
    WebDriverWait(driver, 10).until(lambda d: d.find_element(
        By.ID, "frmKelvane").get_attribute("aria-busy") == "false")
    driver.execute_cdp_cmd("Performance.enable", {"timeDomain": "threadTicks"})
    for label, units, paragraph, key in TEXTS:
        driver.execute_script(MAKE_TEXT, units, paragraph, key)
        lengths = {}
        for button in ["cmdEncrypt", "cmdDecrypt"]:
            before = metrics(driver)
            shown, whole, lengths[button] = driver.execute_async_script(TIMED_PRESS, button)
            after = metrics(driver)
            bare = driver.execute_async_script(TIMED_BARE)
            results[(label, button.removeprefix("cmd"))].append({
                "shown": shown, "whole": whole, "bare": bare, "thread": after[0] - before[0],
                "layout": after[1] - before[1], "length": lengths[button]})
        encrypt, decrypt = driver.execute_async_script(TIMED_CORE, key)
        results[(label, "core encrypt")].append({"whole": encrypt, "length": lengths["cmdEncrypt"]})
        results[(label, "core decrypt")].append({"whole": decrypt, "length": lengths["cmdDecrypt"]})


def median(rows, field):
    return statistics.median(row[field] for row in rows)


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
    print(f"medians of {RUNS} runs, ms: shown = until the first painted frame with the result "
          "(min-max); whole = until the frame after the command's end; bare = the same text box "
          "given the same value by a script alone; main thread; of which layout")
    first = None
    for page in PAGES:
        print(f"{page}:")
        for (label, command), rows in results[page].items():
            whole = [row["whole"] for row in rows]
            line = f"  {label:36} {command:12} {rows[0]['length']:>10,}"
            if "shown" not in rows[0]:
                print(f"{line}  core {statistics.median(whole):6.1f} "
                      f"({min(whole):5.1f}-{max(whole):5.1f})")
                continue
            shown = [row["shown"] for row in rows]
            line += (f"  shown {statistics.median(shown):5.0f} ({min(shown):4.0f}-{max(shown):4.0f})"
                     f"  whole {statistics.median(whole):5.0f}  bare {median(rows, 'bare'):5.0f}"
                     f"  whole/bare x{median(rows, 'whole') / median(rows, 'bare'):.2f}"
                     f"  thread {median(rows, 'thread'):5.0f}  layout {median(rows, 'layout'):5.0f}")
            if first is not None:
                base = first[(label, command)]
                line += (f"  shown x{median(base, 'shown') / median(rows, 'shown'):.2f}"
                         f" faster, whole x{median(base, 'whole') / median(rows, 'whole'):.2f}")
            print(line)
        first = first or results[page]


if __name__ == "__main__":
    main()
