// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Saves a picture of the page's window area in headless Chromium, with the
// same text and key as docs/screenshot.png of the desktop window.
//
// Usage: node web/screenshot.mjs build/web/kelvane-encryptor.html [docs/screenshot-web.png]
// (puppeteer-core comes from web/tests/node_modules: `make web-test` installs it.)

import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(path.join(here, 'tests', 'package.json'));
const { default: puppeteer } = await import(pathToFileURL(require.resolve('puppeteer-core')).href);

const text = 'Meet me at the old mill at noon. Bring the map, and (please) come alone!';
const [page = '', out = 'docs/screenshot-web.png'] = process.argv.slice(2);
if (!page) {
    console.error('usage: node web/screenshot.mjs PAGE.html [PICTURE.png]');
    process.exit(2);
}

const browser = await puppeteer.launch({
    browser: 'chrome',
    executablePath: '/usr/bin/chromium',
    headless: true,
    defaultViewport: { width: 600, height: 500 },
    // The text box's scroll bar is part of the picture.
    ignoreDefaultArgs: ['--hide-scrollbars'],
    args: ['--no-sandbox', '--disable-gpu', '--disable-component-update', '--disable-sync',
        '--disable-background-networking', '--window-size=600,500'],
});
try {
    const tab = await browser.newPage();
    await tab.goto(pathToFileURL(path.resolve(page)).href);
    await tab.waitForFunction(
        () => document.getElementById('frmKelvane').getAttribute('aria-busy') === 'false');
    await tab.type('#txtEncrypt', text);
    await tab.type('#cboKey', '10');
    await tab.click('#txtEncrypt');
    // Lets the banner move on a little, as in the desktop picture.
    await new Promise((resolve) => setTimeout(resolve, 2400));
    await (await tab.$('#frmKelvane')).screenshot({ path: out });
} finally {
    await browser.close();
}
console.log(`saved ${out}`);
