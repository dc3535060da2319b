// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Uses the page in Debian's Firefox ESR, driven over WebDriver BiDi, as
// test_page.py does in Chromium: the controls' places, the cipher against
// kelvane-cipher for every key, the messages and their order, the digits
// question, the history keys, a result that does not come out whole, and the
// core itself against kelvane-cipher on random texts.
//
// Usage: node firefox.test.mjs build/web/kelvane-encryptor.html build/cli/kelvane-cipher

import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const [pagePath, cliPath] = process.argv.slice(2);
if (!pagePath || !cliPath) {
    console.error('usage: node firefox.test.mjs PAGE.html KELVANE_CIPHER');
    process.exit(2);
}
const url = pathToFileURL(path.resolve(pagePath)).href;
const keys = ['1', '2', '3', '4', '5', '6', '7', '8', '9', '10'];

function cli(direction, key, text) {
    const run = spawnSync(cliPath, [direction, '--key', key], { input: Buffer.from(text, 'utf8') });
    assert.equal(run.status, 0, `${cliPath}: ${run.stderr}`);
    return run.stdout.toString('utf8');
}

const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: true,
});
const page = await browser.newPage();
await page.setViewport({ width: 600, height: 500 });

async function load() {
    await page.goto(url);
    await page.waitForFunction(
        () => document.getElementById('frmKelvane').getAttribute('aria-busy') === 'false');
}
const text = () => page.$eval('#txtEncrypt', (box) => box.value);
const focused = () => page.evaluate(() => document.activeElement.id);
const setText = (value) => page.$eval('#txtEncrypt', (box, v) => {
    box.focus();
    box.select();
    document.execCommand('insertText', false, v);
}, value);
async function typeKey(key) {
    await page.$eval('#cboKey', (field) => { field.value = ''; });
    await page.type('#cboKey', key);
}
async function chord(...keys) {
    await page.keyboard.down('Control');
    for (const key of keys)
        await page.keyboard.down(key);
    for (const key of keys.reverse())
        await page.keyboard.up(key);
    await page.keyboard.up('Control');
}

// Clicks `button` and answers each message box in turn, with the caption from
// `answers` or else with Enter on its focused button; returns each box as
// [title, message, buttons, focused button].
async function press(button, answers = []) {
    await page.click(`#${button}`);
    const seen = [];
    for (;;) {
        await page.waitForFunction(() => !!document.querySelector('dialog[open]') ||
            document.getElementById('frmKelvane').getAttribute('aria-busy') === 'false');
        const box = await page.evaluate(() => {
            const dialog = document.querySelector('dialog[open]');
            return dialog && [dialog.id || dialog.getAttribute('aria-labelledby'),
                dialog.querySelector('.title').textContent, dialog.querySelector('p').textContent,
                Array.from(dialog.querySelectorAll('button'), (b) => b.textContent),
                document.activeElement.textContent];
        });
        if (!box)
            return seen;
        seen.push(box.slice(1));
        if (answers.length)
            await page.evaluate((caption) => Array.from(document.querySelectorAll('dialog[open] button'))
                .find((b) => b.textContent === caption).click(), answers.shift());
        else
            await page.keyboard.press('Enter');
        await page.waitForFunction((id) => !document.querySelector(`[aria-labelledby="${id}"]`),
            {}, box[0]);
    }
}

const tests = {
    async start() {
        assert.equal(await page.title(), 'Kelvane Encryptor');
        assert.equal(await focused(), 'txtEncrypt');
        const places = await page.evaluate(() => {
            const origin = document.getElementById('frmKelvane').getBoundingClientRect();
            return Object.fromEntries(['frmKelvane', 'txtEncrypt', 'cmdEncrypt', 'cmdDecrypt',
                'cmdClear', 'cmdExit', 'cboKeyBox', 'LabelKey', 'Label1'].map((id) => {
                const r = document.getElementById(id).getBoundingClientRect();
                return [id, [r.x - origin.x, r.y - origin.y, r.width, r.height]];
            }));
        });
        assert.deepEqual(places, {
            frmKelvane: [0, 0, 257, 326], txtEncrypt: [8, 32, 241, 265],
            cmdEncrypt: [8, 304, 49, 17], cmdDecrypt: [80, 304, 49, 17],
            cmdClear: [160, 304, 41, 17], cmdExit: [208, 304, 41, 17],
            cboKeyBox: [32, 0, 33, 21], LabelKey: [8, 0, 25, 17], Label1: [72, 8, 129, 16],
        });
    },

    async 'encrypts and decrypts as kelvane-cipher, every key'() {
        const plain = 'Çà et là: 3 apples, 9 pears & 42 € — 中文 😀 \uD800 ("quoted")!\nNext @ 10:45?';
        for (const key of keys) {
            await setText(plain);
            await typeKey(key);
            await press('cmdEncrypt', ['Yes']);
            const cipher = await text();
            const parts = plain.split('\uD800');
            assert.equal(cipher, parts.map((part) => cli('encrypt', key, part)).join('\uD800'),
                `key ${key}`);
            assert.deepEqual(await press('cmdDecrypt'), []);
            assert.equal(await text(), parts.map((part) =>
                cli('decrypt', key, cli('encrypt', key, part))).join('\uD800'), `key ${key}`);
        }
    },

    async 'messages, titles, order and focus'() {
        assert.deepEqual(await press('cmdEncrypt'), [
            ['Key Selection', 'Please select an encryption key!', ['OK'], 'OK'],
            ['Text Entry', 'Please enter the text to be encrypted!', ['OK'], 'OK']]);
        assert.equal(await focused(), 'txtEncrypt');
        await typeKey('3');
        assert.deepEqual(await press('cmdDecrypt'), [
            ['Text Entry', 'Please enter the text to be decrypted!', ['OK'], 'OK']]);
        await setText('Hello');
        await typeKey('11');
        assert.deepEqual(await press('cmdEncrypt'), []);
        assert.equal(await text(), 'Hello');
    },

    async 'digits question'() {
        const plain = `Code ${cli('encrypt', '3', 'a')} here`;
        await setText(plain);
        await typeKey('3');
        const question = ['Digits in Text', 'Some digits in this text will not come back ' +
            'unchanged after decryption. Encrypt anyway?', ['Yes', 'No'], 'No'];
        assert.deepEqual(await press('cmdEncrypt'), [question]);
        assert.equal(await text(), plain);
        assert.deepEqual(await press('cmdEncrypt', ['Yes']), [question]);
        assert.equal(await text(), cli('encrypt', '3', plain));
    },

    async 'history keys wherever the focus is'() {
        await page.type('#txtEncrypt', 'Plain');
        await typeKey('4');
        const cipher = cli('encrypt', '4', 'Plain');
        await press('cmdEncrypt');
        assert.equal(await focused(), 'cmdEncrypt');
        await chord('z');
        assert.equal(await text(), 'Plain');
        await chord('y');
        assert.equal(await text(), cipher);
        await page.evaluate(() => document.activeElement.blur());
        await chord('z');
        assert.equal(await text(), 'Plain');
        await chord('Shift', 'z');
        assert.equal(await text(), cipher);
        await page.focus('#cboKey');
        await chord('z');
        assert.equal(await page.$eval('#cboKey', (field) => field.value), '');
        await chord('z');
        assert.equal(await text(), cipher);
        await page.keyboard.press('Escape');
        assert.equal(await text(), '');
    },

    async 'a result that does not come out whole leaves the text'() {
        await page.type('#txtEncrypt', 'Hello');
        await typeKey('4');
        const cipher = cli('encrypt', '4', 'Hello');
        const tooLarge = [['Kelvane Encryptor',
            'The text is too large to process. It has been left unchanged.', ['OK'], 'OK']];
        await page.$eval('#frmKelvane', (w, limit) => { w.dataset.maxUnits = limit; },
            cipher.length - 1);
        assert.deepEqual(await press('cmdEncrypt'), tooLarge);
        await page.evaluate(() => {
            delete document.getElementById('frmKelvane').dataset.maxUnits;
            TextDecoder.prototype.decode = () => '';
        });
        assert.deepEqual(await press('cmdEncrypt'), tooLarge);
        assert.equal(await text(), 'Hello');
        await chord('z');
        assert.equal(await text(), '');
    },

    async 'the core against kelvane-cipher on random texts'() {
        let seed = 20261208;
        const random = (n) => {
            seed = (seed * 1103515245 + 12345) % 2147483648;
            return Math.floor((seed / 2147483648) * n);
        };
        const pieces = [...'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ .,?!"()@',
            ...'0123456789', '90', '\n', '\t', ...'éßÆ€中文', '😀'];
        const texts = keys.map(() => Array.from({ length: 2000 }, () => pieces[random(pieces.length)])
            .join(''));
        const results = await page.evaluate(async (texts) => {
            const base64 = document.getElementById('coreWasm').textContent.trim();
            const core = await createKelvaneCore(
                { wasmBinary: Uint8Array.from(atob(base64), (c) => c.charCodeAt(0)) });
            const run = (text, index, decrypt) => {
                const address = core._malloc(text.length * 2 + 2);
                for (let i = 0; i < text.length; ++i)
                    core.HEAPU16[(address >>> 1) + i] = text.charCodeAt(i);
                const length = core._kelvane_transform(address, text.length, index, decrypt);
                const base = core._kelvane_result() >>> 1;
                const units = Array.from(core.HEAPU16.subarray(base, base + length));
                core._kelvane_release_result();
                core._free(address);
                return String.fromCharCode(...units);
            };
            return texts.map((text, index) => {
                const cipher = run(text, index, 0);
                return [cipher, run(cipher, index, 1)];
            });
        }, texts);
        results.forEach(([cipher, back], index) => {
            assert.equal(cipher, cli('encrypt', keys[index], texts[index]), `key ${keys[index]}`);
            assert.equal(back, cli('decrypt', keys[index], cipher), `key ${keys[index]}`);
        });
    },
};

let failed = 0;
try {
    const version = await browser.version();
    for (const [name, test] of Object.entries(tests)) {
        await load();
        try {
            await test();
            console.log(`ok   ${name}`);
        } catch (error) {
            ++failed;
            console.log(`FAIL ${name}: ${error.message}`);
        }
    }
    console.log(`firefox.test.mjs: ${Object.keys(tests).length - failed} of ` +
        `${Object.keys(tests).length} passed in ${version}`);
} finally {
    await browser.close();
}
process.exit(failed ? 1 : 0);
