#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
"""Uses the page in headless Chromium as a person would: types, picks a key,
presses the buttons and the keys, answers the message boxes, and checks the
text against kelvane-cipher and that the page asks for nothing over the
network.

Usage: test_page.py build/web/kelvane-encryptor.html build/cli/kelvane-cipher
"""

import json
import pathlib
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import WebDriverWait

PAGE = pathlib.Path(sys.argv.pop(1)).resolve()
CLI = pathlib.Path(sys.argv.pop(1)).resolve()
URL = PAGE.as_uri()

AXE = pathlib.Path(__file__).resolve().parent / "node_modules" / "axe-core" / "axe.min.js"

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--no-first-run",
    "--disable-default-apps", "--disable-extensions", "--window-size=600,500",
]


def start_chromium(profile, flags=(), prefs=None):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in CHROMIUM_FLAGS + list(flags) + [f"--user-data-dir={profile}"]:
        options.add_argument(flag)
    if prefs:
        options.add_experimental_option("prefs", prefs)
    options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def cli(direction, key, text):
    run = subprocess.run([CLI, direction, "--key", key], input=text.encode("utf-8"),
                         capture_output=True, check=True)
    return run.stdout.decode("utf-8")


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.profile = tempfile.TemporaryDirectory()
        cls.driver = start_chromium(cls.profile.name)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.profile.cleanup()

    def setUp(self):
        self.driver.get(URL)
        WebDriverWait(self.driver, 10).until(
            lambda d: self.control("frmKelvane").get_attribute("aria-busy") == "false")

    def control(self, name):
        return self.driver.find_element(By.ID, name)

    def text(self):
        return self.driver.execute_script("return document.getElementById('txtEncrypt').value")

    def focused(self):
        return self.driver.execute_script("return document.activeElement.id")

    def paste(self, text):
        """Puts `text` into the text box as a paste would (typing cannot
        send characters beyond the first 65536)."""
        self.control("txtEncrypt").click()
        self.driver.execute_script(
            "const box = document.getElementById('txtEncrypt'); box.select();"
            "document.execCommand('insertText', false, arguments[0]);", text)

    def pick_key(self, key):
        self.control("cboKeyArrow").click()
        items = self.driver.find_elements(By.CSS_SELECTOR, "#cboKeyList li")
        self.assertEqual([item.text for item in items], [str(k) for k in range(1, 11)])
        next(item for item in items if item.text == key).click()
        self.assertEqual(self.control("cboKey").get_attribute("value"), key)

    def type_key(self, key):
        field = self.control("cboKey")
        field.clear()
        field.send_keys(key)

    def press(self, button, answers=()):
        """Clicks `button` and answers each message box in turn, with the
        caption from `answers` or else with the box's focused button; returns
        each box as (title, message, buttons, focused button, has icon)."""
        self.control(button).click()
        answers = list(answers)
        seen = []
        while True:
            WebDriverWait(self.driver, 10).until(lambda d: self.driver.execute_script(
                "return !!document.querySelector('dialog[open]')"
                " || document.getElementById('frmKelvane').getAttribute('aria-busy') === 'false'"))
            boxes = self.driver.find_elements(By.CSS_SELECTOR, "dialog[open]")
            if not boxes:
                return seen
            box = boxes[0]
            buttons = [b.text for b in box.find_elements(By.TAG_NAME, "button")]
            focused = self.driver.execute_script("return document.activeElement.textContent")
            seen.append((box.find_element(By.CLASS_NAME, "title").text,
                         box.find_element(By.TAG_NAME, "p").text, buttons, focused,
                         bool(box.find_elements(By.TAG_NAME, "svg"))))
            if answers:
                next(b for b in box.find_elements(By.TAG_NAME, "button")
                     if b.text == answers.pop(0)).click()
            else:
                self.driver.switch_to.active_element.send_keys(Keys.ENTER)
            WebDriverWait(self.driver, 10).until(expected_conditions.staleness_of(box))

    def test_start(self):
        d = self.driver
        self.assertEqual(d.title, "Kelvane Encryptor")
        self.assertEqual(self.focused(), "txtEncrypt")
        self.assertEqual(self.control("cboKey").get_attribute("value"), "")
        # Every control at its place, in twips / 15, in tab order.
        places = {
            "txtEncrypt": (8, 32, 241, 265), "cmdEncrypt": (8, 304, 49, 17),
            "cmdDecrypt": (80, 304, 49, 17), "cmdClear": (160, 304, 41, 17),
            "cmdExit": (208, 304, 41, 17), "cboKeyBox": (32, 0, 33, 21),
            "LabelKey": (8, 0, 25, 17), "Label1": (72, 8, 129, 16),
        }
        origin = self.control("frmKelvane").rect
        self.assertEqual((origin["width"], origin["height"]), (257, 326))
        for name, place in places.items():
            rect = self.control(name).rect
            self.assertEqual((rect["x"] - origin["x"], rect["y"] - origin["y"], rect["width"],
                              rect["height"]), place, name)
        # The label names the key field; the banner is announced by its fixed name.
        self.assertEqual(d.execute_script("return document.getElementById('cboKey').labels[0].id"),
                         "LabelKey")
        banner = self.control("Label1")
        name = banner.get_attribute("aria-label")
        self.assertTrue(name.startswith("Kelvane Software "), name)
        credit = name + "  "
        shown = "return document.getElementById('Label1').textContent"
        first, since = d.execute_script(shown), time.monotonic()
        time.sleep(0.5)
        later, elapsed = d.execute_script(shown), time.monotonic() - since
        steps = [n for n in range(len(credit)) if credit[n:] + credit[:n] == first]
        self.assertEqual(len(steps), 1, first)
        moved = next(n for n in range(len(first)) if first[n:] + first[:n] == later)
        # One character per 65 ms, never faster; a busy machine may make it slower.
        ticks = elapsed * 1000 / 65
        self.assertTrue(ticks / 2 <= moved <= ticks + 1, (moved, elapsed))
        self.assertEqual(banner.get_attribute("aria-label"), name)

    def test_banner_holds_still_for_less_motion_and_under_the_pointer(self):
        shown = "return document.getElementById('Label1').textContent"

        def moves():
            first = self.driver.execute_script(shown)
            time.sleep(0.3)
            return self.driver.execute_script(shown) != first

        media = "Emulation.setEmulatedMedia"
        self.driver.execute_cdp_cmd(media, {"features": [
            {"name": "prefers-reduced-motion", "value": "reduce"}]})
        try:
            self.assertFalse(moves())
        finally:
            self.driver.execute_cdp_cmd(media, {"features": []})
        self.assertTrue(moves())
        ActionChains(self.driver).move_to_element(self.control("Label1")).perform()
        self.assertFalse(moves())
        ActionChains(self.driver).move_to_element(self.control("cmdExit")).perform()
        self.assertTrue(moves())

    def test_encrypts_and_decrypts_as_the_command_line_tool(self):
        plain = "Çà et là: 3 apples, 9 pears & 42 € — 中文 ✓ (\"quoted\")!\nNext line @ 10:45?"
        for key in [str(k) for k in range(1, 11)]:
            with self.subTest(key=key):
                self.paste(plain)
                self.type_key(key)
                self.press("cmdEncrypt", answers=["Yes"])
                self.assertEqual(self.text(), cli("encrypt", key, plain))
                cipher = self.text()
                self.assertEqual(self.press("cmdDecrypt"), [])
                self.assertEqual(self.text(), cli("decrypt", key, cipher))

    def test_every_unit_comes_back(self):
        # Emoji, a lone surrogate of each kind and a tab, through a pick from the list.
        plain = "Grüße 😀 \ud800 and \udfff end\t.\n"
        units = [int.from_bytes(plain.encode("utf-16-le", "surrogatepass")[i:i + 2], "little")
                 for i in range(0, 2 * len(plain), 2)]
        value_units = "const v = document.getElementById('txtEncrypt').value;" \
            " return Array.from({length: v.length}, (_, i) => v.charCodeAt(i));"
        self.control("txtEncrypt").click()
        self.driver.execute_script(
            "document.execCommand('insertText', false, String.fromCharCode(...arguments[0]));",
            units)
        self.assertEqual(self.driver.execute_script(value_units), units)
        self.pick_key("7")
        self.assertEqual(self.press("cmdEncrypt"), [])
        cipher = self.driver.execute_script(value_units)
        self.assertEqual([u for u in cipher if 0xD800 <= u < 0xE000], [0xD83D, 0xDE00, 0xD800, 0xDFFF])
        self.assertNotIn(ord("G"), cipher)
        self.press("cmdDecrypt")
        self.assertEqual(self.driver.execute_script(value_units), units)

    def test_messages_titles_order_and_focus(self):
        ok = ["OK"]
        # No key, no text: both messages in order, then the focus in the text box.
        self.assertEqual(self.press("cmdEncrypt"), [
            ("Key Selection", "Please select an encryption key!", ok, "OK", False),
            ("Text Entry", "Please enter the text to be encrypted!", ok, "OK", False)])
        self.assertEqual(self.focused(), "txtEncrypt")
        # A key and no text: only the text message.
        self.pick_key("3")
        self.assertEqual(self.press("cmdDecrypt"), [
            ("Text Entry", "Please enter the text to be decrypted!", ok, "OK", False)])
        self.assertEqual(self.focused(), "txtEncrypt")
        # No key and a text: only the key message; the text stays.
        self.control("txtEncrypt").send_keys("Hello")
        self.type_key("")
        self.assertEqual(self.press("cmdEncrypt"), [
            ("Key Selection", "Please select an encryption key!", ok, "OK", False)])
        self.assertEqual(self.text(), "Hello")
        self.assertEqual(self.focused(), "cmdEncrypt")
        # A key text that is no key number: nothing happens, nothing is said.
        for key in ("11", " 3", "03"):
            self.type_key(key)
            self.assertEqual(self.press("cmdEncrypt"), [])
            self.assertEqual(self.text(), "Hello")

    def test_digits_question(self):
        code = cli("encrypt", "3", "a")
        plain = f"Code {code} here"
        self.paste(plain)
        self.type_key("3")
        question = ("Digits in Text", "Some digits in this text will not come back unchanged after "
                    "decryption. Encrypt anyway?", ["Yes", "No"], "No", True)
        # The focused No, by Enter, and Escape both leave the text as it was.
        self.assertEqual(self.press("cmdEncrypt"), [question])
        self.assertEqual(self.text(), plain)
        self.control("cmdEncrypt").click()
        self.driver.switch_to.active_element.send_keys(Keys.ESCAPE)
        WebDriverWait(self.driver, 5).until(
            lambda d: not d.find_elements(By.CSS_SELECTOR, "dialog[open]"))
        self.assertEqual(self.text(), plain)
        self.assertEqual(self.press("cmdEncrypt", answers=["Yes"]), [question])
        self.assertEqual(self.text(), cli("encrypt", "3", plain))

    def test_undo_redo_escape_and_keys_on_buttons(self):
        box = self.control("txtEncrypt")
        box.send_keys("Undo me, please.")
        self.pick_key("4")
        # Tab from the text box to Encrypt, Space presses it; Tab to Decrypt, Enter presses it.
        box.click()
        box.send_keys(Keys.TAB)
        self.assertEqual(self.focused(), "cmdEncrypt")
        self.driver.switch_to.active_element.send_keys(Keys.SPACE)
        cipher = self.text()
        self.assertEqual(cipher, cli("encrypt", "4", "Undo me, please."))
        self.assertEqual(self.focused(), "cmdEncrypt")
        self.driver.switch_to.active_element.send_keys(Keys.TAB)
        self.assertEqual(self.focused(), "cmdDecrypt")
        self.driver.switch_to.active_element.send_keys(Keys.ENTER)
        self.assertEqual(self.text(), "Undo me, please.")
        # Escape presses Clear, which puts the focus in the text box.
        self.driver.switch_to.active_element.send_keys(Keys.ESCAPE)
        self.assertEqual(self.text(), "")
        self.assertEqual(self.focused(), "txtEncrypt")
        # Each command is one step back, down to the typing, and forward again.
        states = ["", "Undo me, please.", cipher, "Undo me, please.", ""]
        for expected in reversed(states[:-1]):
            box.send_keys(Keys.CONTROL, "z")
            self.assertEqual(self.text(), expected)
        for expected in states[1:]:
            box.send_keys(Keys.CONTROL, Keys.SHIFT, "z")
            self.assertEqual(self.text(), expected)
        # Escape in the open key list only closes the list.
        box.send_keys(Keys.CONTROL, "z")
        self.control("cboKeyArrow").click()
        self.assertTrue(self.control("cboKeyList").is_displayed())
        self.driver.switch_to.active_element.send_keys(Keys.ESCAPE)
        self.assertFalse(self.control("cboKeyList").is_displayed())
        self.assertEqual(self.text(), "Undo me, please.")
        # Typing after a command is a step of its own; Ctrl+Y redoes too.
        box.send_keys(Keys.END, " Yes")
        box.send_keys(Keys.CONTROL, "z")
        self.assertEqual(self.text(), "Undo me, please.")
        box.send_keys(Keys.CONTROL, "y")
        self.assertEqual(self.text(), "Undo me, please. Yes")

    def chord(self, *keys):
        """Presses Ctrl with `keys` wherever the focus is."""
        actions = ActionChains(self.driver).key_down(Keys.CONTROL)
        for key in keys:
            actions.key_down(key)
        for key in reversed(keys):
            actions.key_up(key)
        actions.key_up(Keys.CONTROL).perform()

    def test_history_keys_wherever_the_focus_is(self):
        self.control("txtEncrypt").send_keys("Plain")
        self.type_key("4")
        cipher = cli("encrypt", "4", "Plain")
        # With the focus on a button, right after the command, and then nowhere.
        self.press("cmdEncrypt")
        self.assertEqual(self.focused(), "cmdEncrypt")
        self.chord("z")
        self.assertEqual(self.text(), "Plain")
        self.chord("y")
        self.assertEqual(self.text(), cipher)
        self.driver.execute_script("document.activeElement.blur()")
        self.assertEqual(self.focused(), "")
        self.chord("z")
        self.assertEqual(self.text(), "Plain")
        self.chord(Keys.SHIFT, "z")
        self.assertEqual(self.text(), cipher)
        # In the key field they take back its own typing, and go no further.
        self.control("cboKey").click()
        self.chord("z")
        self.assertEqual(self.control("cboKey").get_attribute("value"), "")
        self.chord("z")
        self.assertEqual(self.text(), cipher)
        self.chord("y")
        self.assertEqual(self.control("cboKey").get_attribute("value"), "4")
        self.assertEqual(self.text(), cipher)

    def test_a_result_that_does_not_come_out_whole_leaves_the_text(self):
        self.control("txtEncrypt").send_keys("Hello")
        self.type_key("4")
        cipher = cli("encrypt", "4", "Hello")
        too_large = [("Kelvane Encryptor", "The text is too large to process. It has been left "
                      "unchanged.", ["OK"], "OK", False)]
        decode = "TextDecoder.prototype.decode"
        for name, limit, fault in [
                ("one unit beyond the limit", len(cipher) - 1, ""),
                ("decoder gives an empty string", None, f"{decode} = () => '';"),
                ("decoder loses a unit", None,
                 f"const d = {decode}; {decode} = function (u) {{ return d.call(this, u).slice(1); }};")]:
            with self.subTest(name):
                self.driver.execute_script(
                    "window.kelvaneDecode = window.kelvaneDecode || TextDecoder.prototype.decode;"
                    "TextDecoder.prototype.decode = window.kelvaneDecode;"
                    "const w = document.getElementById('frmKelvane');"
                    "if (arguments[0] === null) delete w.dataset.maxUnits;"
                    "else w.dataset.maxUnits = arguments[0];" + fault, limit)
                self.assertEqual(self.press("cmdEncrypt"), too_large)
                self.assertEqual(self.text(), "Hello")
        # The history is as it was: one step back is the empty text box.
        self.driver.execute_script("TextDecoder.prototype.decode = window.kelvaneDecode;"
                                   "document.getElementById('frmKelvane').dataset.maxUnits"
                                   " = arguments[0]", len(cipher))
        self.assertEqual(self.press("cmdEncrypt"), [])
        self.assertEqual(self.text(), cipher)
        self.chord("z")
        self.assertEqual(self.text(), "Hello")
        self.chord("z")
        self.assertEqual(self.text(), "")

    def test_busy_while_a_command_works(self):
        plain = "Busy text, 7 days a week.\n" * 4000  # 104,000 units, a large text
        self.driver.execute_script("document.getElementById('txtEncrypt').value = arguments[0]", plain)
        self.type_key("4")
        self.control("txtEncrypt").click()
        looks = self.driver.execute_script("""
            const w = document.getElementById('frmKelvane');
            window.busySpan = [performance.timeOrigin + performance.now()];
            new MutationObserver(() => window.busySpan.push(performance.timeOrigin + performance.now()))
                .observe(w, {attributeFilter: ['aria-busy']});
            document.getElementById('cmdEncrypt').click();
            document.getElementById('txtEncrypt').focus();
            return [w.getAttribute('aria-busy'), getComputedStyle(w).cursor,
                    getComputedStyle(document.getElementById('cmdDecrypt')).color]""")
        self.assertEqual(looks, ["true", "wait", "rgb(109, 109, 109)"])
        WebDriverWait(self.driver, 30).until(
            lambda d: self.control("frmKelvane").get_attribute("aria-busy") == "false")
        self.assertEqual(self.control("cmdDecrypt").value_of_css_property("color"), "rgba(0, 0, 0, 1)")
        # Keys typed while it worked reach the page only now, stamped with the
        # time they were typed; they go nowhere. A key typed now goes in.
        start, end = self.driver.execute_script("return window.busySpan")[:2]
        for key, when in [("a", (start + end) / 2), ("b", end - 1), ("c", None)]:
            event = {"type": "keyDown", "key": key, "text": key}
            if when is not None:
                event["timestamp"] = when / 1000
            self.driver.execute_cdp_cmd("Input.dispatchKeyEvent", event)
            self.driver.execute_cdp_cmd("Input.dispatchKeyEvent", {"type": "keyUp", "key": key})
        cipher = cli("encrypt", "4", plain)
        self.assertEqual(self.text(), "c" + cipher)
        # The large result, put in in two steps, is one step of the history.
        for expected in (cipher, plain):
            self.chord("z")
            self.assertEqual(self.text(), expected)

    def test_key_list_by_keyboard(self):
        field = self.control("cboKey")
        field.click()
        # Down and Up step through the keys in the field itself.
        field.send_keys(Keys.DOWN, Keys.DOWN, Keys.DOWN, Keys.UP)
        self.assertEqual(field.get_attribute("value"), "2")
        # Alt+Down opens the list at the key shown; Enter takes the highlighted key.
        field.send_keys(Keys.ALT, Keys.DOWN)
        self.assertTrue(self.control("cboKeyList").is_displayed())
        self.assertEqual(field.get_attribute("aria-activedescendant"), "cboKeyItem1")
        field.send_keys(Keys.DOWN * 8, Keys.ENTER)
        self.assertFalse(self.control("cboKeyList").is_displayed())
        self.assertEqual(field.get_attribute("value"), "10")

    def axe_violations(self):
        """Returns what axe-core finds wrong in the page as it is, one line a rule."""
        self.driver.execute_script(AXE.read_text(encoding="utf-8"))
        return self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            axe.run(document).then((r) => done(r.violations.map((v) =>
                `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`)));""")

    def test_accessible_at_start_with_a_question_open_and_after_exit(self):
        self.assertEqual(self.axe_violations(), [])
        descriptions = self.driver.execute_script("""
            return ['txtEncrypt', 'cmdEncrypt', 'cmdDecrypt', 'cmdClear', 'cmdExit', 'cboKey', 'Label1']
                .map((id) => document.getElementById(document.getElementById(id)
                    .getAttribute('aria-describedby')).textContent);""")
        self.assertEqual(descriptions[1], "Encrypts the text with the chosen key")
        self.assertEqual(len(set(descriptions)), 7)
        # The digits question, opened by the mouse: its default button shows its focus mark.
        self.paste(f"Code {cli('encrypt', '3', 'a')} here")
        self.type_key("3")
        self.control("cmdEncrypt").click()
        WebDriverWait(self.driver, 10).until(
            lambda d: d.find_elements(By.CSS_SELECTOR, "dialog[open]"))
        focused = self.driver.switch_to.active_element
        self.assertEqual(focused.text, "No")
        self.assertEqual(focused.value_of_css_property("outline-style"), "dotted")
        self.assertEqual(self.axe_violations(), [])
        focused.send_keys(Keys.ENTER)
        self.control("cmdExit").click()
        self.assertEqual(self.axe_violations(), [])

    def test_exit_ends_the_program(self):
        self.control("txtEncrypt").send_keys("secret")
        self.control("cmdExit").click()
        self.assertEqual(self.driver.find_element(By.TAG_NAME, "body").text,
                         "Kelvane Encryptor has ended. You can close this page.")
        self.assertEqual(self.driver.find_elements(By.ID, "txtEncrypt"), [])

    def test_requests_are_refused(self):
        # The page's policy refuses requests of every kind that a script could make.
        blocked = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            const violations = [];
            document.addEventListener('securitypolicyviolation',
                (e) => violations.push(e.effectiveDirective));
            const image = new Image();
            image.src = 'http://127.0.0.1:9/pixel.png';
            fetch('http://127.0.0.1:9/').catch(() => {}).finally(() =>
                setTimeout(() => done(violations.sort()), 200));
        """)
        self.assertEqual(blocked, ["connect-src", "img-src"])

    def test_zz_no_request_leaves_the_page(self):
        # Runs last: everything the tests above did is in the log.
        requests = []
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            params = message["params"]
            if message["method"] == "Network.requestWillBeSent" and params["documentURL"] == URL:
                requests.append(params["request"]["url"])
        self.assertIn(URL, requests)
        outside = [url for url in requests
                   if url != URL and not url.startswith("data:") and "127.0.0.1:9" not in url]
        self.assertEqual(outside, [])
        # Nor did the page's policy refuse anything of its own.
        errors = [entry["message"] for entry in self.driver.get_log("browser")
                  if entry["level"] == "SEVERE" and "127.0.0.1:9" not in entry["message"]]
        self.assertEqual(errors, [])

class WithoutTheCoreTest(unittest.TestCase):
    """Without WebAssembly (V8 without its compilers) or without JavaScript,
    the page shows a plain message and no control at all."""

    def test_a_plain_message_in_place_of_the_window(self):
        message = ("Kelvane Encryptor cannot run here: it needs JavaScript and WebAssembly, "
                   "and this browser has one of them turned off.")
        for name, flags, prefs in [
                ("without WebAssembly", ["--js-flags=--jitless"], None),
                ("without JavaScript", [], {"profile.managed_default_content_settings.javascript": 2})]:
            with self.subTest(name), tempfile.TemporaryDirectory() as profile:
                driver = start_chromium(profile, flags, prefs)
                try:
                    driver.get(URL)
                    time.sleep(0.5)
                    self.assertEqual(driver.find_element(By.TAG_NAME, "body").text, message)
                    shown = [e.get_attribute("id") for e in driver.find_elements(
                        By.CSS_SELECTOR, "button, textarea, input") if e.is_displayed()]
                    self.assertEqual(shown, [])
                    if flags:
                        self.assertEqual(driver.execute_script("return typeof WebAssembly"),
                                         "undefined")
                finally:
                    driver.quit()


if __name__ == "__main__":
    unittest.main(verbosity=2)
