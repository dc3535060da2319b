#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
"""Saves a picture of the page's window area in headless Chromium, with the
same text and key as docs/screenshot.png of the desktop window.

Usage: web/screenshot.py build/web/kelvane-encryptor.html [docs/screenshot-web.png]
"""

import pathlib
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

TEXT = "Meet me at the old mill at noon. Bring the map, and (please) come alone!"


def main():
    page = pathlib.Path(sys.argv[1]).resolve()
    out = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else "docs/screenshot-web.png")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    profile = tempfile.TemporaryDirectory()
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run",
                 "--window-size=600,500", f"--user-data-dir={profile.name}"]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.get(page.as_uri())
        window = driver.find_element(By.ID, "frmKelvane")
        WebDriverWait(driver, 10).until(lambda d: window.get_attribute("aria-busy") == "false")
        driver.find_element(By.ID, "txtEncrypt").send_keys(TEXT)
        driver.find_element(By.ID, "cboKey").send_keys("10")
        driver.find_element(By.ID, "txtEncrypt").click()
        time.sleep(2.4)  # lets the banner move on a little, as in the desktop picture
        window.screenshot(str(out))
    finally:
        driver.quit()
        profile.cleanup()
    print(f"saved {out}")


if __name__ == "__main__":
    main()
