// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Uses the page as a person would, in Debian's Chromium (over its DevTools
// protocol) and in Debian's Firefox ESR (over WebDriver BiDi), every test in
// both: types, picks a key, presses the buttons and the keys, answers the
// message boxes, checks the text against kelvane-cipher, the page's looks and
// accessibility, and that it asks for nothing over the network.
//
// Usage: node page.test.mjs PAGE.html KELVANE_CIPHER [chromium|firefox ...]

import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const [pagePath, cliPath, ...chosen] = process.argv.slice(2);
if (!pagePath || !cliPath) {
    console.error('usage: node page.test.mjs PAGE.html KELVANE_CIPHER [chromium|firefox ...]');
    process.exit(2);
}
const url = pathToFileURL(path.resolve(pagePath)).href;
const axeSource = readFileSync(path.join(path.dirname(fileURLToPath(import.meta.url)),
    'node_modules', 'axe-core', 'axe.min.js'), 'utf8');
const keys = ['1', '2', '3', '4', '5', '6', '7', '8', '9', '10'];
const viewport = { width: 600, height: 500 };
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
// Returns `promise`, or fails with `message` after `ms`.
function within(ms, promise, message) {
    let timer;
    const late = new Promise((_, reject) => {
        timer = setTimeout(() => reject(new Error(message)), ms);
    });
    return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

function cli(direction, key, text) {
    const run = spawnSync(cliPath, [direction, '--key', key],
        { input: Buffer.from(text, 'utf8'), maxBuffer: 1 << 30 });
    assert.equal(run.status, 0, `${cliPath}: ${run.stderr}`);
    return run.stdout.toString('utf8');
}

// Texts cross the drivers' protocols as UTF-16 units, so that lone
// surrogates arrive as they are.
const unitsOf = (text) => Array.from({ length: text.length }, (_, i) => text.charCodeAt(i));
function fromUnits(units) {
    let text = '';
    for (let i = 0; i < units.length; i += 8192)
        text += String.fromCharCode(...units.slice(i, i + 8192));
    return text;
}

// What each browser needs, and its own way to the settings a test asks for:
// 'lessMotion' (prefers-reduced-motion), 'noWasm' and 'noScript'. open()
// returns a page with the setting and a close() that ends it.
const browserKinds = {
    chromium: {
        launch: (args = []) => puppeteer.launch({
            browser: 'chrome',
            executablePath: '/usr/bin/chromium',
            headless: true,
            defaultViewport: viewport,
            args: ['--no-sandbox', '--disable-gpu', '--disable-component-update', '--disable-sync',
                '--window-size=600,500', ...args],
        }),
        async open(setting, run) {
            if (setting === 'lessMotion') {
                // The emulation turns on and off in the page at hand, so the
                // test also sees the banner move again once it is off.
                const feature = (value) => run.page.emulateMediaFeatures(
                    [{ name: 'prefers-reduced-motion', value }]);
                await feature('reduce');
                return { page: run.page, close: () => feature('') };
            }
            if (setting === 'noScript') {
                const page = await run.browser.newPage();
                run.watch(page);
                await page.setJavaScriptEnabled(false);
                await page.goto(url);
                return { page, close: () => page.close() };
            }
            // V8 without its compilers has no WebAssembly.
            const browser = await this.launch(['--js-flags=--jitless']);
            const page = await browser.newPage();
            run.watch(page);
            await page.goto(url);
            return { page, close: () => browser.close() };
        },
        // Presses `key` as if typed at `when` (ms since the epoch) through
        // DevTools' own input events, which take a time stamp.
        async stampedKey(page, key, when) {
            const session = await page.createCDPSession();
            const event = { type: 'keyDown', key, text: key };
            if (when !== undefined)
                event.timestamp = when / 1000;
            await session.send('Input.dispatchKeyEvent', event);
            await session.send('Input.dispatchKeyEvent', { type: 'keyUp', key });
            await session.detach();
        },
        seesFileLoads: true,
        scriptClosesTab: false,
    },
    firefox: {
        launch: (prefs = {}) => puppeteer.launch({
            browser: 'firefox',
            executablePath: '/usr/bin/firefox-esr',
            headless: true,
            defaultViewport: viewport,
            extraPrefsFirefox: prefs,
        }),
        // Firefox ESR's WebDriver BiDi can neither emulate a media feature
        // nor turn scripts off in a page (emulation.setScriptingEnabled is an
        // unknown command), so each setting is a browser of its own, started
        // with Firefox's preference for it.
        async open(setting, run) {
            const prefs = {
                lessMotion: { 'ui.prefersReducedMotion': 1 },
                noWasm: { 'javascript.options.wasm': false },
                noScript: { 'javascript.enabled': false },
            }[setting];
            const browser = await this.launch(prefs);
            const page = await browser.newPage();
            run.watch(page);
            await page.goto(url);
            return { page, close: () => browser.close() };
        },
        // Firefox makes BiDi's key actions inside the page's own process,
        // stamped with the time it gets to them: a key sent while a command
        // works is stamped after it, and BiDi has no way to give another time.
        stampedKey: null,
        // Firefox's BiDi reports no network event for a file: page.
        seesFileLoads: false,
        scriptClosesTab: true,
    },
};

// Each test gets `t`: the page, helpers on it, and the browser's own ways.
function helpers(page, kind, run) {
    const t = {
        page,
        kind,
        run,
        open: (setting) => kind.open(setting, run),
        // Puts a fresh page in place of one that has closed.
        async renew() {
            t.page = await run.browser.newPage();
            run.page = t.page;
            run.watch(t.page);
            await t.page.goto(url);
            await t.ready();
        },
        // Makes window.close() do nothing, as a browser does for a tab that
        // no script opened (Chromium's here); Firefox lets the page close a
        // tab that WebDriver BiDi opened.
        refuseClose: () => t.page.evaluate(() => { window.close = () => {}; }),
        ready: (p = t.page) => p.waitForFunction(
            () => document.getElementById('frmKelvane').getAttribute('aria-busy') === 'false',
            { timeout: 30000 }),
        // Returns the text box's text; one with a lone surrogate comes as
        // its units, which DevTools' JSON would not carry.
        async text() {
            const text = await t.page.$eval('#txtEncrypt', (box) => (box.value.isWellFormed()
                ? box.value : Array.from({ length: box.value.length }, (_, i) => box.value.charCodeAt(i))));
            return typeof text === 'string' ? text : fromUnits(text);
        },
        value: (id) => t.page.$eval(`#${id}`, (field) => field.value),
        focused: () => t.page.evaluate(() => document.activeElement.id),
        shown: (id) => t.page.$eval(`#${id}`, (element) => element.checkVisibility()),
        // Puts `text` into the text box as a paste would.
        async paste(text) {
            await t.page.click('#txtEncrypt');
            await t.page.evaluate((units) => {
                const box = document.getElementById('txtEncrypt');
                box.select();
                let text = '';
                for (let i = 0; i < units.length; i += 8192)
                    text += String.fromCharCode(...units.slice(i, i + 8192));
                document.execCommand('insertText', false, text);
            }, unitsOf(text));
        },
        async typeKey(key) {
            await t.page.$eval('#cboKey', (field) => { field.value = ''; });
            await t.page.type('#cboKey', key);
        },
        async pickKey(key) {
            await t.page.click('#cboKeyArrow');
            const items = await t.page.$$eval('#cboKeyList li', (list) => list.map((li) => li.textContent));
            assert.deepEqual(items, keys);
            const item = await t.page.$(`#cboKeyItem${keys.indexOf(key)}`);
            assert.equal(await item.evaluate((li) => li.textContent), key);
            await item.click();
            assert.equal(await t.value('cboKey'), key);
        },
        // Presses Ctrl with `names` wherever the focus is.
        async chord(...names) {
            await t.page.keyboard.down('Control');
            for (const name of names)
                await t.page.keyboard.down(name);
            for (const name of [...names].reverse())
                await t.page.keyboard.up(name);
            await t.page.keyboard.up('Control');
        },
        // Waits until no message box is left. A box leaves the page in its
        // close event, which comes a task after it stops being open; the
        // command goes on in that same task, so only then is its state
        // (focus, text, aria-busy) the one that the answer made.
        gone: () => t.page.waitForFunction(() => !document.querySelector('dialog')),
        // Clicks `button` and answers each message box in turn, with the
        // caption from `answers` or else with Enter on its focused button;
        // returns each box as [title, message, buttons, focused button, has icon].
        async press(button, answers = []) {
            await t.page.click(`#${button}`);
            answers = [...answers];
            const seen = [];
            for (;;) {
                await t.page.waitForFunction(() => !!document.querySelector('dialog[open]') ||
                    document.getElementById('frmKelvane').getAttribute('aria-busy') === 'false',
                { timeout: 30000 });
                const box = await t.page.evaluate(() => {
                    const dialog = document.querySelector('dialog[open]');
                    if (!dialog)
                        return null;
                    dialog.dataset.seen = 'yes';
                    return [dialog.querySelector('.title').textContent,
                        dialog.querySelector('p').textContent,
                        Array.from(dialog.querySelectorAll('button'), (b) => b.textContent),
                        document.activeElement.textContent, !!dialog.querySelector('svg')];
                });
                if (!box)
                    return seen;
                seen.push(box);
                if (answers.length) {
                    const caption = answers.shift();
                    const buttons = await t.page.$$('dialog[open] button');
                    const captions = await Promise.all(buttons.map((b) => b.evaluate((e) => e.textContent)));
                    await buttons[captions.indexOf(caption)].click();
                } else {
                    await t.page.keyboard.press('Enter');
                }
                await t.page.waitForFunction(() => !document.querySelector('dialog[data-seen]'));
            }
        },
        // Returns what axe-core finds wrong in the page as it is, one line a rule.
        async axeViolations() {
            await t.page.evaluate(axeSource);
            return t.page.evaluate(async () => (await axe.run(document)).violations.map((v) =>
                `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
        },
    };
    return t;
}

const shownBanner = () => document.getElementById('Label1').textContent;
// Returns the banner's text and the page's clock when it was read.
const shownBannerAt = () => [document.getElementById('Label1').textContent, performance.now()];

const tests = {
    async start(t) {
        const { page } = t;
        assert.equal(await page.title(), 'Kelvane Encryptor');
        assert.equal(await t.focused(), 'txtEncrypt');
        assert.equal(await t.value('cboKey'), '');
        // Every control at its place, in twips / 15, in tab order.
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
        // The label names the key field; the banner is announced by its fixed name.
        assert.equal(await page.evaluate(() => document.getElementById('cboKey').labels[0].id),
            'LabelKey');
        const name = await page.$eval('#Label1', (banner) => banner.getAttribute('aria-label'));
        assert.ok(name.startsWith('Kelvane Software '), name);
        const credit = `${name}  `;
        const [first, since] = await page.evaluate(shownBannerAt);
        await sleep(500);
        const [later, until] = await page.evaluate(shownBannerAt);
        const elapsed = until - since;
        const rotations = (from, to) => [...from].map((_, n) => n)
            .filter((n) => from.slice(n) + from.slice(0, n) === to);
        assert.equal(rotations(credit, first).length, 1, first);
        const [moved] = rotations(first, later);
        // One character per 65 ms, never faster; a busy machine may make it slower.
        const ticks = elapsed / 65;
        assert.ok(ticks / 2 <= moved && moved <= ticks + 1, `${moved} in ${elapsed} ms`);
        assert.equal(await page.$eval('#Label1', (banner) => banner.getAttribute('aria-label')), name);
    },

    async 'banner holds still for less motion and under the pointer'(t) {
        const moves = async (page) => {
            const first = await page.evaluate(shownBanner);
            await sleep(300);
            return await page.evaluate(shownBanner) !== first;
        };
        const still = await t.open('lessMotion');
        try {
            await t.ready(still.page);
            assert.equal(await still.page.evaluate(
                () => window.matchMedia('(prefers-reduced-motion: reduce)').matches), true);
            assert.equal(await moves(still.page), false);
        } finally {
            await still.close();
        }
        assert.equal(await moves(t.page), true);
        await t.page.hover('#Label1');
        assert.equal(await moves(t.page), false);
        await t.page.hover('#cmdExit');
        assert.equal(await moves(t.page), true);
    },

    async 'encrypts and decrypts as kelvane-cipher, every key'(t) {
        // kelvane-cipher reads UTF-8, which has no lone surrogate: it is
        // given the parts around it, which the core leaves as it is.
        const plain = 'Çà et là: 3 apples, 9 pears & 42 € — 中文 ✓ 😀 \uD800 ("quoted")!\n' +
            'Next line @ 10:45?';
        const parts = plain.split('\uD800');
        for (const key of keys) {
            await t.paste(plain);
            await t.typeKey(key);
            await t.press('cmdEncrypt', ['Yes']);
            const cipher = await t.text();
            assert.equal(cipher, parts.map((part) => cli('encrypt', key, part)).join('\uD800'),
                `key ${key}`);
            assert.deepEqual(await t.press('cmdDecrypt'), []);
            assert.equal(await t.text(), cipher.split('\uD800').map((part) => cli('decrypt', key, part))
                .join('\uD800'), `key ${key}`);
        }
    },

    async 'every unit comes back'(t) {
        // Emoji, a lone surrogate of each kind and a tab, through a pick from the list.
        const plain = 'Grüße 😀 \uD800 and \uDFFF end\t.\n';
        await t.paste(plain);
        assert.equal(await t.text(), plain);
        await t.pickKey('7');
        assert.deepEqual(await t.press('cmdEncrypt'), []);
        const cipher = unitsOf(await t.text());
        assert.deepEqual(cipher.filter((u) => u >= 0xD800 && u < 0xE000),
            [0xD83D, 0xDE00, 0xD800, 0xDFFF]);
        assert.ok(!cipher.includes('G'.charCodeAt(0)));
        await t.press('cmdDecrypt');
        assert.equal(await t.text(), plain);
    },

    async 'messages, titles, order and focus'(t) {
        const ok = ['OK'];
        // No key, no text: both messages in order, then the focus in the text box.
        assert.deepEqual(await t.press('cmdEncrypt'), [
            ['Key Selection', 'Please select an encryption key!', ok, 'OK', false],
            ['Text Entry', 'Please enter the text to be encrypted!', ok, 'OK', false]]);
        assert.equal(await t.focused(), 'txtEncrypt');
        // A key and no text: only the text message.
        await t.pickKey('3');
        assert.deepEqual(await t.press('cmdDecrypt'), [
            ['Text Entry', 'Please enter the text to be decrypted!', ok, 'OK', false]]);
        assert.equal(await t.focused(), 'txtEncrypt');
        // No key and a text: only the key message; the text stays.
        await t.page.type('#txtEncrypt', 'Hello');
        await t.typeKey('');
        assert.deepEqual(await t.press('cmdEncrypt'), [
            ['Key Selection', 'Please select an encryption key!', ok, 'OK', false]]);
        assert.equal(await t.text(), 'Hello');
        assert.equal(await t.focused(), 'cmdEncrypt');
        // A key text that is no key number: nothing happens, nothing is said.
        for (const key of ['11', ' 3', '03']) {
            await t.typeKey(key);
            assert.deepEqual(await t.press('cmdEncrypt'), [], key);
            assert.equal(await t.text(), 'Hello');
        }
    },

    async 'digits question'(t) {
        const plain = `Code ${cli('encrypt', '3', 'a')} here`;
        await t.paste(plain);
        await t.typeKey('3');
        const question = ['Digits in Text', 'Some digits in this text will not come back unchanged ' +
            'after decryption. Encrypt anyway?', ['Yes', 'No'], 'No', true];
        // The focused No, by Enter, and Escape both leave the text as it was.
        assert.deepEqual(await t.press('cmdEncrypt'), [question]);
        assert.equal(await t.text(), plain);
        await t.page.click('#cmdEncrypt');
        await t.page.waitForSelector('dialog[open]');
        await t.page.keyboard.press('Escape');
        await t.gone();
        assert.equal(await t.text(), plain);
        assert.deepEqual(await t.press('cmdEncrypt', ['Yes']), [question]);
        assert.equal(await t.text(), cli('encrypt', '3', plain));
    },

    async 'undo, redo, Escape and keys on buttons'(t) {
        const { page } = t;
        await page.type('#txtEncrypt', 'Undo me, please.');
        await t.pickKey('4');
        // Tab from the text box to Encrypt, Space presses it; Tab to Decrypt, Enter presses it.
        await page.click('#txtEncrypt');
        await page.keyboard.press('Tab');
        assert.equal(await t.focused(), 'cmdEncrypt');
        await page.keyboard.press(' ');
        await t.ready();
        const cipher = await t.text();
        assert.equal(cipher, cli('encrypt', '4', 'Undo me, please.'));
        assert.equal(await t.focused(), 'cmdEncrypt');
        await page.keyboard.press('Tab');
        assert.equal(await t.focused(), 'cmdDecrypt');
        await page.keyboard.press('Enter');
        await t.ready();
        assert.equal(await t.text(), 'Undo me, please.');
        // Escape presses Clear, which puts the focus in the text box.
        await page.keyboard.press('Escape');
        assert.equal(await t.text(), '');
        assert.equal(await t.focused(), 'txtEncrypt');
        // Each command is one step back, down to the typing, and forward again.
        const states = ['', 'Undo me, please.', cipher, 'Undo me, please.', ''];
        for (const expected of states.slice(0, -1).reverse()) {
            await t.chord('z');
            assert.equal(await t.text(), expected);
        }
        for (const expected of states.slice(1)) {
            await t.chord('Shift', 'z');
            assert.equal(await t.text(), expected);
        }
        // Escape in the open key list only closes the list.
        await t.chord('z');
        await page.click('#cboKeyArrow');
        assert.equal(await t.shown('cboKeyList'), true);
        await page.keyboard.press('Escape');
        assert.equal(await t.shown('cboKeyList'), false);
        assert.equal(await t.text(), 'Undo me, please.');
        // Typing after a command is a step of its own; Ctrl+Y redoes too.
        await page.focus('#txtEncrypt');
        await page.keyboard.press('End');
        await page.keyboard.type(' Yes');
        await t.chord('z');
        assert.equal(await t.text(), 'Undo me, please.');
        await t.chord('y');
        assert.equal(await t.text(), 'Undo me, please. Yes');
    },

    async 'history keys wherever the focus is'(t) {
        const { page } = t;
        await page.type('#txtEncrypt', 'Plain');
        await t.typeKey('4');
        const cipher = cli('encrypt', '4', 'Plain');
        // With the focus on a button, right after the command, and then nowhere.
        await t.press('cmdEncrypt');
        assert.equal(await t.focused(), 'cmdEncrypt');
        await t.chord('z');
        assert.equal(await t.text(), 'Plain');
        await t.chord('y');
        assert.equal(await t.text(), cipher);
        await page.evaluate(() => document.activeElement.blur());
        assert.equal(await t.focused(), '');
        await t.chord('z');
        assert.equal(await t.text(), 'Plain');
        await t.chord('Shift', 'z');
        assert.equal(await t.text(), cipher);
        // In the key field they take back its own typing, and go no further.
        await page.click('#cboKey');
        await t.chord('z');
        assert.equal(await t.value('cboKey'), '');
        await t.chord('z');
        assert.equal(await t.text(), cipher);
        await t.chord('y');
        assert.equal(await t.value('cboKey'), '4');
        assert.equal(await t.text(), cipher);
    },

    async 'a result that does not come out whole leaves the text'(t) {
        await t.page.type('#txtEncrypt', 'Hello');
        await t.typeKey('4');
        const cipher = cli('encrypt', '4', 'Hello');
        const tooLarge = [['Kelvane Encryptor', 'The text is too large to process. It has been left ' +
            'unchanged.', ['OK'], 'OK', false]];
        const decode = 'TextDecoder.prototype.decode';
        const faults = [
            ['one unit beyond the limit', cipher.length - 1, ''],
            ['decoder gives an empty string', null, `${decode} = () => '';`],
            ['decoder loses a unit', null,
                `const d = ${decode}; ${decode} = function (u) { return d.call(this, u).slice(1); };`]];
        const setUp = (limit, fault) => t.page.evaluate(`
            window.kelvaneDecode = window.kelvaneDecode || TextDecoder.prototype.decode;
            TextDecoder.prototype.decode = window.kelvaneDecode;
            { const w = document.getElementById('frmKelvane');
              if (${limit} === null) delete w.dataset.maxUnits; else w.dataset.maxUnits = ${limit}; }
            ${fault}`);
        for (const [name, limit, fault] of faults) {
            await setUp(limit, fault);
            assert.deepEqual(await t.press('cmdEncrypt'), tooLarge, name);
            assert.equal(await t.text(), 'Hello', name);
        }
        // The history is as it was: one step back is the empty text box.
        await setUp(cipher.length, '');
        assert.deepEqual(await t.press('cmdEncrypt'), []);
        assert.equal(await t.text(), cipher);
        await t.chord('z');
        assert.equal(await t.text(), 'Hello');
        await t.chord('z');
        assert.equal(await t.text(), '');
    },

    async 'busy while a command works'(t) {
        const { page } = t;
        const plain = 'Busy text, 7 days a week.\n'.repeat(4000); // 104,000 units, a large text
        await page.$eval('#txtEncrypt', (box, text) => { box.value = text; }, plain);
        await t.typeKey('4');
        await page.click('#txtEncrypt');
        const looks = await page.evaluate(() => {
            const w = document.getElementById('frmKelvane');
            window.busySpan = [performance.timeOrigin + performance.now()];
            new MutationObserver(() => window.busySpan.push(performance.timeOrigin + performance.now()))
                .observe(w, { attributeFilter: ['aria-busy'] });
            document.getElementById('cmdEncrypt').click();
            document.getElementById('txtEncrypt').focus();
            return [w.getAttribute('aria-busy'), getComputedStyle(w).cursor,
                getComputedStyle(document.getElementById('cmdDecrypt')).color];
        });
        assert.deepEqual(looks, ['true', 'wait', 'rgb(109, 109, 109)']);
        await t.ready();
        assert.equal(await page.$eval('#cmdDecrypt', (b) => getComputedStyle(b).color), 'rgb(0, 0, 0)');
        // Keys typed while it worked reach the page only now, stamped with the
        // time they were typed; they go nowhere. A key typed now goes in.
        // Firefox cannot stamp a key (see stampedKey): there only the key typed
        // now is pressed.
        const [start, end] = await page.evaluate(() => window.busySpan.slice(0, 2));
        if (t.kind.stampedKey) {
            await t.kind.stampedKey(page, 'a', (start + end) / 2);
            await t.kind.stampedKey(page, 'b', end - 1);
        }
        await page.keyboard.press('c');
        const cipher = cli('encrypt', '4', plain);
        assert.equal(await t.text(), `c${cipher}`);
        // The large result, put in in two steps, is one step of the history.
        for (const expected of [cipher, plain]) {
            await t.chord('z');
            assert.equal(await t.text(), expected);
        }
    },

    async 'a run of the wrap limit wraps at words, one more anywhere'(t) {
        const { page } = t;
        const wrapping = () => page.$eval('#txtEncrypt', (box) => {
            const style = getComputedStyle(box);
            return `${style.overflowWrap} ${style.wordBreak}`;
        });
        const limit = await page.evaluate(() =>
            JSON.parse(document.getElementById('coreConstants').textContent).longRunLimit);
        const atWords = await wrapping();
        const digits = (count) => '5'.repeat(count);
        const rows = [
            ['the limit, between words', `Run: ${digits(limit)} end`, false],
            ['one more, between words', `Run: ${digits(limit + 1)} end`, true],
            ['the limit, the whole text', digits(limit), false],
            ['one more, the whole text', digits(limit + 1), true],
            ['the limit, at the end', `Run: ${digits(limit)}`, false],
            ['one more, at the start', `${digits(limit + 1)} end`, true],
            ['one more, at the end', `Run: ${digits(limit + 1)}`, true],
            ['two of the limit, an ideographic space between', `${digits(limit)}\u3000${digits(limit)}`, false],
            ['two of the limit, a zero-width space between', `${digits(limit)}\u200B${digits(limit)}`, true],
            ['runs of the limit, each kind of white space between', ['\t', '\n', '\v', '\f', '\r',
                '\u00A0', '\u1680', '\u2000', '\u200A', '\u2028', '\u2029', '\u202F', '\u205F', '\u3000',
                '\uFEFF'].map((space) => digits(limit) + space).join('') + digits(limit), false],
        ];
        for (const [name, text, anywhere] of rows) {
            // Put in as the browser puts in a paste: the new value, then its input event.
            await page.$eval('#txtEncrypt', (box, text) => {
                box.value = text;
                box.dispatchEvent(new InputEvent('input', { inputType: 'insertFromPaste' }));
            }, text);
            assert.equal(await wrapping() !== atWords, anywhere, name);
        }
    },

    async 'Decrypt takes the text box\'s text, however it came there'(t) {
        // The core keeps the cipher text that Encrypt put in; what counts is
        // the text box's text, unit for unit.
        const plain = 'Hello \uD800 wörld 😀, at noon!';
        const decrypted = (text) => text.split(/([\uD800\uDBFF])/)
            .map((part, i) => (i % 2 ? part : cli('decrypt', '4', part))).join('');
        const [codeH, codeJ] = ['H', 'J'].map((c) => cli('encrypt', '4', c));
        const rows = [
            ['the same cipher text put in again', (cipher) => cipher, plain],
            ['one code changed in place, the length kept', (cipher) => cipher.replace(codeH, codeJ),
                plain.replace('H', 'J')],
            ['a lone surrogate put into the first code', (cipher) =>
                `${cipher.slice(0, 3)}\uDBFF${cipher.slice(3)}`, null],
        ];
        for (const [name, edit, expected] of rows) {
            await t.paste(plain);
            await t.typeKey('4');
            assert.deepEqual(await t.press('cmdEncrypt'), [], name);
            const cipher = edit(await t.text());
            await t.paste(cipher);
            assert.deepEqual(await t.press('cmdDecrypt'), [], name);
            assert.equal(await t.text(), expected ?? decrypted(cipher), name);
        }
        // Taken back past the last Decrypt and paste, Encrypt's cipher text decrypts as well.
        await t.chord('z');
        await t.chord('z');
        assert.deepEqual(await t.press('cmdDecrypt'), []);
        assert.equal(await t.text(), plain, 'taken back');
    },

    async '1 MiB of short lines, both ways, exact'(t) {
        // Each line's cipher text is one run of hundreds of digits; a test
        // for long runs that takes every start again once took seconds here,
        // and overflowed Firefox's stack.
        const rows = [['lines of 60, key 4', 60, '4'], ['lines of 200, key 10', 200, '10']];
        for (const [name, width, key] of rows) {
            const line = 'Meet me at noon, bring the map. '.repeat(8).slice(0, width - 1);
            const plain = `${line}\n`.repeat(Math.ceil(524288 / width)).slice(0, 524288);
            await t.page.$eval('#txtEncrypt', (box, text) => { box.value = text; }, plain);
            await t.typeKey(key);
            assert.deepEqual(await t.press('cmdEncrypt'), [], name);
            assert.ok(await t.text() === cli('encrypt', key, plain), name);
            assert.deepEqual(await t.press('cmdDecrypt'), [], name);
            assert.ok(await t.text() === plain, name);
        }
    },

    async 'a result of up to 1 MiB goes in at once, a longer one first screenful first'(t) {
        // The lengths the text box is given show whether a first screenful went in first.
        const rows = [['1 MiB', 524288, false], ['1 MiB and one unit', 524289, true]];
        for (const [name, units, firstScreenful] of rows) {
            const plain = 'Meet me at noon.\n'.repeat(Math.ceil(units / 17)).slice(0, units);
            await t.page.$eval('#txtEncrypt', (box, text) => {
                box.value = text;
                const value = Object.getOwnPropertyDescriptor(HTMLTextAreaElement.prototype, 'value');
                window.givenLengths = [];
                Object.defineProperty(box, 'value', {
                    configurable: true,
                    get() { return value.get.call(this); },
                    set(given) { window.givenLengths.push(given.length); value.set.call(this, given); },
                });
            }, cli('encrypt', '4', plain));
            await t.typeKey('4');
            assert.deepEqual(await t.press('cmdDecrypt'), [], name);
            const given = await t.page.evaluate(() => window.givenLengths);
            await t.page.$eval('#txtEncrypt', (box) => { delete box.value; });
            assert.ok(await t.text() === plain, name);
            assert.equal(given.length === 2 && given[0] < units && given[1] === units, firstScreenful,
                `${name}: ${given}`);
            if (!firstScreenful)
                assert.deepEqual(given, [units], name);
        }
    },

    async 'a throw after the first screenful leaves text and history'(t) {
        const { page } = t;
        const plain = 'Busy text, 7 days a week.\n'.repeat(4000); // a large text
        await page.type('#txtEncrypt', 'typed');
        await page.$eval('#txtEncrypt', (box, text) => { box.value = text; }, plain);
        await t.typeKey('4');
        // The text box throws when the whole result comes in, and records
        // the lengths of what it was given.
        const cipher = cli('encrypt', '4', plain);
        await page.$eval('#txtEncrypt', (box, whole) => {
            const value = Object.getOwnPropertyDescriptor(HTMLTextAreaElement.prototype, 'value');
            window.givenLengths = [];
            Object.defineProperty(box, 'value', {
                configurable: true,
                get() { return value.get.call(this); },
                set(text) {
                    window.givenLengths.push(text.length);
                    if (text.length === whole)
                        throw new Error('forced');
                    value.set.call(this, text);
                },
            });
        }, cipher.length);
        assert.deepEqual(await t.press('cmdEncrypt'), [['Kelvane Encryptor',
            'The text could not be processed. It has been left unchanged.', ['OK'], 'OK', false]]);
        const given = await page.evaluate(() => window.givenLengths);
        assert.ok(given[0] < plain.length && given[1] === cipher.length, String(given));
        assert.ok(await t.text() === plain);
        await page.$eval('#txtEncrypt', (box) => { delete box.value; });
        // The history is as it was: one step back is the text before the
        // typing, and forward again the text.
        await t.chord('z');
        assert.equal(await t.text(), '');
        await t.chord('y');
        assert.ok(await t.text() === plain);
        assert.deepEqual(await t.press('cmdEncrypt'), []);
        assert.ok(await t.text() === cipher);
        await t.chord('z');
        assert.ok(await t.text() === plain);
    },

    async 'the undo history keeps its bound in units'(t) {
        // Typing and Clear make four steps back: '', 'one', '' and 'three',
        // 8 units. The oldest go first; the newest stays whatever the bound.
        const rows = [[8, ['three', '', 'one', '']], [7, ['three', '', '', '']],
            [0, ['three', 'three', 'three', 'three']]];
        for (const [bound, expected] of rows) {
            await t.page.goto(url);
            await t.ready();
            await t.page.$eval('#frmKelvane', (w, units) => { w.dataset.historyUnits = units; }, bound);
            for (const word of ['one', 'three']) {
                await t.page.type('#txtEncrypt', word);
                await t.page.click('#cmdClear');
            }
            const seen = [];
            for (let i = 0; i < expected.length; ++i) {
                await t.chord('z');
                seen.push(await t.text());
            }
            assert.deepEqual(seen, expected, `bound ${bound}`);
        }
    },

    async 'no input reaches a busy window'(t) {
        const { page } = t;
        const plain = 'Meet me at noon, bring the map.\n'.repeat(4000); // a large text
        await page.$eval('#txtEncrypt', (box, text) => { box.value = text; }, plain);
        await t.typeKey('4');
        await page.click('#txtEncrypt');
        // Each frame comes a second late, so the command, which waits for
        // frames, is busy while the input comes.
        await page.evaluate(() => {
            const frame = window.requestAnimationFrame.bind(window);
            window.requestAnimationFrame = (callback) => setTimeout(() => frame(callback), 1000);
            document.getElementById('cmdEncrypt').click();
        });
        await page.keyboard.press('x');
        await t.chord('z');
        await page.click('#cmdDecrypt');
        await page.click('#cmdClear');
        await page.click('#cboKeyArrow');
        assert.equal(await page.$eval('#frmKelvane', (w) => w.getAttribute('aria-busy')), 'true');
        await t.ready();
        assert.equal(await t.shown('cboKeyList'), false);
        assert.ok(await t.text() === cli('encrypt', '4', plain));
        await t.chord('z');
        assert.ok(await t.text() === plain);
        assert.equal(await t.focused(), 'txtEncrypt');
    },

    async 'key list by keyboard'(t) {
        const { page } = t;
        await page.click('#cboKey');
        // Down and Up step through the keys in the field itself.
        for (const name of ['ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowUp'])
            await page.keyboard.press(name);
        assert.equal(await t.value('cboKey'), '2');
        // Alt+Down opens the list at the key shown; Enter takes the highlighted key.
        await page.keyboard.down('Alt');
        await page.keyboard.press('ArrowDown');
        await page.keyboard.up('Alt');
        assert.equal(await t.shown('cboKeyList'), true);
        assert.equal(await page.$eval('#cboKey', (f) => f.getAttribute('aria-activedescendant')),
            'cboKeyItem1');
        for (let i = 0; i < 8; ++i)
            await page.keyboard.press('ArrowDown');
        await page.keyboard.press('Enter');
        assert.equal(await t.shown('cboKeyList'), false);
        assert.equal(await t.value('cboKey'), '10');
    },

    async 'accessible at start, with a question open and after Exit'(t) {
        const { page } = t;
        assert.deepEqual(await t.axeViolations(), []);
        const descriptions = await page.evaluate(() =>
            ['txtEncrypt', 'cmdEncrypt', 'cmdDecrypt', 'cmdClear', 'cmdExit', 'cboKey', 'Label1']
                .map((id) => document.getElementById(document.getElementById(id)
                    .getAttribute('aria-describedby')).textContent));
        assert.equal(descriptions[1], 'Encrypts the text with the chosen key');
        assert.equal(new Set(descriptions).size, 7);
        // The digits question, opened by the mouse: its default button shows its focus mark.
        await t.paste(`Code ${cli('encrypt', '3', 'a')} here`);
        await t.typeKey('3');
        await page.click('#cmdEncrypt');
        await page.waitForSelector('dialog[open]');
        assert.deepEqual(await page.evaluate(() => [document.activeElement.textContent,
            getComputedStyle(document.activeElement).outlineStyle]), ['No', 'dotted']);
        assert.deepEqual(await t.axeViolations(), []);
        await page.keyboard.press('Enter');
        await t.gone();
        await t.refuseClose();
        await page.click('#cmdExit');
        assert.deepEqual(await t.axeViolations(), []);
    },

    async 'Exit ends the program'(t) {
        await t.page.type('#txtEncrypt', 'secret');
        if (t.kind.scriptClosesTab) {
            // Firefox lets the page close the tab: Exit does, and the page
            // says it has ended only where the browser refuses.
            const gone = new Promise((resolve) => t.page.once('close', resolve));
            await t.page.click('#cmdExit');
            await within(5000, gone, 'Exit left the tab open');
            assert.equal(t.page.isClosed(), true);
            await t.renew();
            await t.page.type('#txtEncrypt', 'secret');
            await t.refuseClose();
        }
        await t.page.click('#cmdExit');
        assert.equal(await t.page.$eval('body', (body) => body.innerText.trim()),
            'Kelvane Encryptor has ended. You can close this page.');
        assert.equal(await t.page.$('#txtEncrypt'), null);
    },

    async 'a plain message without JavaScript or without WebAssembly'(t) {
        const message = 'Kelvane Encryptor cannot run here: it needs JavaScript and WebAssembly ' +
            'with SIMD, and this browser lacks one of them or has it turned off.';
        for (const setting of ['noWasm', 'noScript']) {
            const other = await t.open(setting);
            try {
                await sleep(500);
                const [body, shown, webAssembly] = await other.page.evaluate(() => [
                    document.body.innerText.trim(),
                    Array.from(document.querySelectorAll('button, textarea, input'))
                        .filter((e) => e.checkVisibility()).map((e) => e.id),
                    typeof WebAssembly]);
                assert.equal(body, message, setting);
                assert.deepEqual(shown, [], setting);
                if (setting === 'noWasm')
                    assert.equal(webAssembly, 'undefined');
            } finally {
                await other.close();
            }
        }
    },

    async 'requests are refused'(t) {
        // The page's policy refuses requests of every kind that a script could make.
        const blocked = await t.page.evaluate(() => new Promise((done) => {
            const violations = [];
            document.addEventListener('securitypolicyviolation',
                (e) => violations.push(e.effectiveDirective));
            const image = new Image();
            image.src = 'http://127.0.0.1:9/pixel.png';
            fetch('http://127.0.0.1:9/').catch(() => {}).finally(() =>
                setTimeout(() => done(violations.sort()), 200));
        }));
        assert.deepEqual(blocked, ['connect-src', 'img-src']);
    },

    async 'the core against kelvane-cipher on random texts'(t) {
        let seed = 20261208;
        const random = (n) => {
            seed = (seed * 1103515245 + 12345) % 2147483648;
            return Math.floor((seed / 2147483648) * n);
        };
        const pieces = [...'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ .,?!"()@',
            ...'0123456789', '90', '\n', '\t', ...'éßÆ€中文', '😀'];
        const texts = keys.map(() => Array.from({ length: 2000 }, () => pieces[random(pieces.length)])
            .join(''));
        const results = await t.page.evaluate(async (texts) => {
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

    // Runs last: everything the tests above did, in every page, was watched.
    async 'no request leaves the page'(t) {
        const { requests, errors } = t.run;
        // The page's own images show that requests were seen at all.
        const seen = requests.map((u) => u.slice(0, 40)).join(' ');
        assert.ok(requests.some((u) => u.startsWith('data:image/png')), seen);
        if (t.kind.seesFileLoads)
            assert.ok(requests.includes(url), seen);
        const outside = requests.filter((u) => u !== url && !u.startsWith('data:') &&
            !u.includes('127.0.0.1:9'));
        assert.deepEqual(outside, []);
        // Nor did the page's policy refuse anything of its own, nor did a script fail.
        assert.deepEqual(errors.filter((e) => !e.includes('127.0.0.1:9')), []);
    },
};

async function runIn(name) {
    const kind = browserKinds[name];
    const browser = await kind.launch();
    const run = {
        browser,
        page: null,
        requests: [],
        errors: [],
        watch(page) {
            page.on('request', (request) => run.requests.push(request.url()));
            page.on('pageerror', (error) => run.errors.push(`${error.message}`));
            page.on('console', (message) => {
                if (message.type() === 'error')
                    run.errors.push(message.text());
            });
        },
    };
    let failed = 0;
    try {
        const version = await browser.version();
        run.page = await browser.newPage();
        run.watch(run.page);
        const t = helpers(run.page, kind, run);
        for (const [title, test] of Object.entries(tests)) {
            const since = performance.now();
            try {
                if (t.page.isClosed())
                    await t.renew();
                await t.page.goto(url);
                await t.ready();
                await within(120000, test(t), 'the test took over two minutes');
                console.log(`ok   ${name}: ${title} (${Math.round(performance.now() - since)} ms)`);
            } catch (error) {
                ++failed;
                console.log(`FAIL ${name}: ${title}: ${String(error.stack).slice(0, 2000)}`);
            }
        }
        const count = Object.keys(tests).length;
        console.log(`${name} (${version}): ${count - failed} passed, ${failed} failed`);
    } finally {
        await browser.close();
    }
    return failed;
}

let failed = 0;
for (const name of chosen.length ? chosen : Object.keys(browserKinds)) {
    if (!browserKinds[name]) {
        console.error(`page.test.mjs: no browser called ${name}`);
        process.exit(2);
    }
    failed += await runIn(name);
}
process.exit(failed ? 1 : 0);
