// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Prints how long the page takes, in Debian's Chromium and in Debian's
// Firefox ESR, from a press of Encrypt or Decrypt until the result shows
// ("shown": the first painted frame with a new text in the text box) and
// until it is wholly in the text box and the window idle again ("whole"),
// beside how long the same browser takes to give the same text box the same
// value with nothing else to do ("floor"). Texts of 1 MiB (524,288 UTF-16
// units) in three shapes: lines of ~60 characters, paragraphs of ~300 and one
// line; keys 4 and 10. A press that leaves the text as it was, or that fails,
// prints as failed, with what the page said.
//
// Given several pages (say, one built before a change and one after), it
// loads them in turn in each browser for each run, so that their figures
// come from the same minutes of the machine, and prints them side by side.
//
// Usage: node bench_page.mjs PAGE.html [PAGE.html ...] [runs] [chromium|firefox ...]

import path from 'node:path';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const args = process.argv.slice(2);
const browserNames = args.filter((arg) => arg === 'chromium' || arg === 'firefox');
const runs = Number(args.find((arg) => /^\d+$/.test(arg)) ?? 7);
const pages = args.filter((arg) => !/^\d+$/.test(arg) && !browserNames.includes(arg));
if (pages.length === 0) {
    console.error('usage: node bench_page.mjs PAGE.html [PAGE.html ...] [runs] [chromium|firefox ...]');
    process.exit(2);
}
const urls = pages.map((page) => pathToFileURL(path.resolve(page)).href);
const units = 524288;
const shapes = [['lines of ~60', 60], ['paragraphs of ~300', 300], ['one line', Infinity]];
const keys = ['4', '10'];
const commands = ['Encrypt', 'Decrypt'];
const viewport = { width: 600, height: 500 };

const launchers = {
    chromium: () => puppeteer.launch({
        browser: 'chrome',
        executablePath: '/usr/bin/chromium',
        headless: true,
        defaultViewport: viewport,
        protocolTimeout: 600000,
        args: ['--no-sandbox', '--disable-gpu', '--disable-component-update', '--disable-sync',
            '--disable-background-networking', '--window-size=600,500'],
    }),
    firefox: () => puppeteer.launch({
        browser: 'firefox',
        executablePath: '/usr/bin/firefox-esr',
        headless: true,
        defaultViewport: viewport,
        protocolTimeout: 600000,
    }),
};

// Fills the text box with `units` units of words, a line break after each
// `line` characters or so, and sets the key.
function makeText(units, line, key) {
    const words = ['the', 'quick', 'Brown', 'fox,', 'jumps', 'over', 'a', 'lazy', 'dog.',
        'Meet', 'me', 'at', 'noon?', '(please)', 'come', 'alone!'];
    const parts = [];
    let length = 0;
    let column = 0;
    for (let i = 0; length < units; ++i) {
        const word = words[(i * 7 + (i >> 3)) % words.length];
        column += word.length + 1;
        const end = column >= line ? '\n' : ' ';
        if (end === '\n')
            column = 0;
        parts.push(word, end);
        length += word.length + 1;
    }
    const box = document.getElementById('txtEncrypt');
    box.value = parts.join('').slice(0, units);
    document.getElementById('cboKey').value = key;
    return box.value.length;
}

// Presses `button` and resolves to [shown, whole, length of the text after,
// what a message box said] in ms from the press; shown is null when the text
// did not change. Whole is when the window turns idle, which the page does
// only after the frame with the whole result has been painted. A message box
// is closed with its first button.
function timedPress(button) {
    const box = document.getElementById('txtEncrypt');
    const frame = document.getElementById('frmKelvane');
    const before = box.value;
    window.benchBefore = [before, box.classList.contains('wrap-anywhere')];
    let shown = null;
    let idle = null;
    let said = '';
    const observer = new MutationObserver(() => {
        if (frame.getAttribute('aria-busy') === 'false')
            idle = performance.now() - start;
    });
    observer.observe(frame, { attributeFilter: ['aria-busy'] });
    const start = performance.now();
    return new Promise((resolve) => {
        const wait = () => {
            const dialog = document.querySelector('dialog[open]');
            if (dialog) {
                said = dialog.querySelector('p').textContent;
                dialog.querySelector('button').click();
            }
            if (shown === null && box.value !== before) {
                shown = -1;
                // Runs in the frame before it is painted; a timeout set here runs after it.
                setTimeout(() => { shown = performance.now() - start; }, 0);
            }
            if (shown === -1 || frame.getAttribute('aria-busy') === 'true' || dialog)
                return requestAnimationFrame(wait);
            observer.disconnect();
            window.benchAfter = [box.value, box.classList.contains('wrap-anywhere')];
            resolve([shown, Math.max(shown ?? 0, idle), box.value.length, said]);
        };
        document.getElementById(`cmd${button}`).click();
        requestAnimationFrame(wait);
    });
}

// The floor: how long the browser takes to give the same text box the same
// value, from the text before the press to the text after it, until the next
// painted frame, with the text box's wrap mode for the new text (as the page
// chose it) set first; the text box ends as the press left it. setBare() puts
// the text before the press back and lets it be painted; timedBare() times
// the rest.
function setBare() {
    const box = document.getElementById('txtEncrypt');
    box.classList.toggle('wrap-anywhere', window.benchBefore[1]);
    box.value = window.benchBefore[0];
    return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
}

function timedBare() {
    const box = document.getElementById('txtEncrypt');
    const start = performance.now();
    box.classList.toggle('wrap-anywhere', window.benchAfter[1]);
    box.value = window.benchAfter[0];
    box.setSelectionRange(0, 0);
    box.scrollTop = 0;
    return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)))
        .then(() => performance.now() - start);
}

// Returns a function that gives the page's main-thread processor time in ms
// so far, which a busy machine sways far less than the wall time; null
// where the browser does not tell it (Firefox).
async function threadClock(page, browserName) {
    if (browserName !== 'chromium')
        return null;
    const session = await page.createCDPSession();
    await session.send('Performance.enable', { timeDomain: 'threadTicks' });
    return async () => {
        const { metrics } = await session.send('Performance.getMetrics');
        return 1000 * metrics.find((metric) => metric.name === 'ThreadTime').value;
    };
}

// Adds one run of every text and command in the page at `url` to `rows`, by row name.
async function measure(page, url, rows, clock) {
    await page.goto(url);
    await page.waitForFunction(
        () => document.getElementById('frmKelvane').getAttribute('aria-busy') === 'false');
    const timed = async (work) => {
        const before = clock ? await clock() : 0;
        const result = await work();
        return [result, clock ? await clock() - before : null];
    };
    for (const [shape, line] of shapes) {
        for (const key of keys) {
            await page.evaluate(makeText, units, line === Infinity ? 1e12 : line, key);
            for (const command of commands) {
                const [[shown, whole, length, said], wholeThread] =
                    await timed(() => page.evaluate(timedPress, command));
                let floor = null;
                let floorThread = null;
                if (shown !== null) {
                    await page.evaluate(setBare);
                    [floor, floorThread] = await timed(() => page.evaluate(timedBare));
                }
                const name = `${shape.padEnd(18)} key ${key.padEnd(2)} ${command}`;
                (rows[name] ??= []).push({ shown, whole, floor, length, said, wholeThread, floorThread });
            }
        }
    }
}

const median = (values) => {
    const sorted = [...values].sort((a, b) => a - b);
    const middle = sorted.length >> 1;
    return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
const ms = (value) => `${Math.round(value).toLocaleString('en')}`.padStart(6);

// Prints one line a row: each page's medians side by side.
function report(browserName, version, results) {
    console.log(`\n${browserName} (${version}), medians of ${runs} runs, ms; 1 MiB = ${units.toLocaleString('en')} units;` +
        ' thread = whole/floor in main-thread processor time (Chromium only)');
    const head = pages.map((page) =>
        `| ${path.basename(page).slice(0, 26).padEnd(26)} shown  whole  floor whole/floor thread `).join('');
    console.log(`${'text, key, command'.padEnd(37)}${head}`);
    for (const name of Object.keys(results[0])) {
        let line = name.padEnd(37);
        for (const rows of results) {
            const done = rows[name].filter((row) => row.shown !== null);
            if (done.length < rows[name].length) {
                const said = rows[name].find((row) => row.shown === null).said || 'no message';
                line += `| failed ${rows[name].length - done.length} of ${rows[name].length}: ${said}`.slice(0, 45).padEnd(45) + ' ';
                if (done.length === 0)
                    continue;
            }
            const [shown, whole, floor] = ['shown', 'whole', 'floor'].map((field) =>
                median(done.map((row) => row[field])));
            const thread = done[0].wholeThread === null ? '     -'
                : (median(done.map((row) => row.wholeThread)) /
                   median(done.map((row) => row.floorThread))).toFixed(2).padStart(6);
            line += `| ${' '.repeat(26)}${ms(shown)} ${ms(whole)} ${ms(floor)} ${(whole / floor).toFixed(2).padStart(11)} ${thread} `;
        }
        console.log(line);
    }
}

let failed = false;
for (const browserName of browserNames.length ? browserNames : Object.keys(launchers)) {
    const browser = await launchers[browserName]();
    try {
        const version = await browser.version();
        const page = await browser.newPage();
        page.on('pageerror', (error) => console.log(`${browserName}: page error: ${error.message}`));
        const clock = await threadClock(page, browserName);
        const results = pages.map(() => ({}));
        for (let run = 0; run < runs; ++run) {
            for (let i = 0; i < pages.length; ++i)
                await measure(page, urls[i], results[i], clock);
        }
        report(browserName, version, results);
    } catch (error) {
        failed = true;
        console.log(`${browserName}: ${error.stack}`);
    } finally {
        await browser.close();
    }
}
process.exit(failed ? 1 : 0);
