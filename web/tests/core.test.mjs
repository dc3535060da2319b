// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Checks the WebAssembly core against the native command-line tool: random
// texts (letters, digits, line breaks, accents, CJK, emoji) through all ten
// keys both ways, the digits question, the key lookup, and lone surrogates,
// which the tool cannot read but the page's text box can hold.
//
// Usage: node core.test.mjs build/web/kelvane-core.js build/cli/kelvane-cipher

import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

const [corePath, cliPath] = process.argv.slice(2);
if (!corePath || !cliPath) {
    console.error('usage: node core.test.mjs KELVANE_CORE_JS KELVANE_CIPHER');
    process.exit(2);
}
const createKelvaneCore = createRequire(import.meta.url)(path.resolve(corePath));
// Handed its WebAssembly as the page hands it, the runtime fetches nothing.
const wasmBinary = readFileSync(path.resolve(corePath).replace(/\.js$/, '.wasm'));
const core = await createKelvaneCore({ wasmBinary });

function withUnits(text, work) {
    const address = core._malloc(Math.max(text.length, 1) * 2);
    for (let i = 0; i < text.length; ++i)
        core.HEAPU16[(address >>> 1) + i] = text.charCodeAt(i);
    try {
        return work(address);
    } finally {
        core._free(address);
    }
}
const findCodebook = (key) =>
    withUnits(key, (address) => core._kelvane_find_codebook(address, key.length));
function transform(text, key, direction) {
    return withUnits(text, (address) => {
        const length = core._kelvane_transform(address, text.length, findCodebook(key),
            direction === 'decrypt' ? 1 : 0);
        assert.ok(length >= 0, `key ${key}`);
        const base = core._kelvane_result() >>> 1;
        let result = '';
        for (let i = 0; i < length; ++i)
            result += String.fromCharCode(core.HEAPU16[base + i]);
        core._kelvane_release_result();
        return result;
    });
}
const roundTrips = (text, key) =>
    withUnits(text, (address) =>
        core._kelvane_round_trips(address, text.length, findCodebook(key)) === 1);

// Returns the core's verdict on `text` run through `key`, for a text box of
// `maxUnits` units, with the result's length.
function judge(text, key, direction, maxUnits) {
    return withUnits(text, (address) => {
        const [index, decrypt] = [findCodebook(key), direction === 'decrypt' ? 1 : 0];
        const length = core._kelvane_transform(address, text.length, index, decrypt);
        const verdict = core._kelvane_judge_result(address, text.length, index, decrypt, maxUnits);
        core._kelvane_release_result();
        return { verdict, length };
    });
}
// Returns the message `id` as the page shows it.
const message = (id) => [core.UTF8ToString(core._kelvane_message_title(id)),
    core.UTF8ToString(core._kelvane_message_text(id))];
// Returns the messages a press finds, in order, whether the focus then moves
// into the text box, and the codebook index.
function start(key, direction, text) {
    const found = withUnits(key, (address) => core._kelvane_start_command(address, key.length,
        direction === 'decrypt' ? 1 : 0, text === '' ? 1 : 0));
    const told = [found & 0xff, (found >>> 8) & 0xff].filter((bits) => bits !== 0);
    return [told.map((bits) => message(bits - 1)), (found & (1 << 16)) !== 0, (found >>> 17) - 1];
}

function cli(direction, key, text, ...options) {
    const run = spawnSync(cliPath, [direction, '--key', key, ...options],
        { input: Buffer.from(text, 'utf8'), maxBuffer: 1 << 28 });
    assert.ok(run.status === 0 || run.status === 1, `${cliPath}: ${run.stderr}`);
    return { text: run.stdout.toString('utf8'), status: run.status };
}

// A small seeded generator, so that a failure can be run again.
let seed = Number(process.env.KELVANE_SEED ?? 20261208);
function random(n) {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return Math.floor((seed / 2147483648) * n);
}
const pick = (items) => items[random(items.length)];
const pieces = [
    ...'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ .,?!"()@',
    ...'0123456789', '9', '90', '\n', '\r\n', '\t', ...'éßÆ€中文', '😀', '𝄞',
];
function randomText(length) {
    let text = '';
    while (text.length < length)
        text += pick(pieces);
    return text;
}
const keys = ['1', '2', '3', '4', '5', '6', '7', '8', '9', '10'];

// Returns the number of checks made; throws at the first that fails.
function runChecks() {
    let checks = 0;
    for (const key of keys) {
        for (const length of [1, 40, 3000]) {
            const plain = randomText(length);
            const cipher = transform(plain, key, 'encrypt');
            assert.equal(cipher, cli('encrypt', key, plain).text, `encrypt, key ${key}`);
            assert.equal(transform(cipher, key, 'decrypt'), cli('decrypt', key, cipher).text,
                `decrypt, key ${key}`);
            // Decrypting with another key reads whatever codes that key finds.
            const other = keys[(keys.indexOf(key) + 1 + random(9)) % 10];
            assert.equal(transform(cipher, other, 'decrypt'), cli('decrypt', other, cipher).text,
                `decrypt with ${other} what ${key} encrypted`);
            // The digits question asks exactly when the tool refuses a strict encryption.
            assert.equal(roundTrips(plain, key), cli('encrypt', key, plain, '--strict').status === 0,
                `round trip, key ${key}`);
            checks += 4;
        }
    }

    // Lone surrogates pass through both ways, each in its place, and never join
    // or split a code.
    for (const key of keys) {
        const parts = [randomText(200), randomText(200), randomText(200)];
        const lone = ['\uD800', '\uDFFF'];
        const plain = parts[0] + lone[0] + parts[1] + lone[1] + parts[2];
        const expected = parts.map((part) => cli('encrypt', key, part).text);
        const cipher = transform(plain, key, 'encrypt');
        assert.equal(cipher, expected[0] + lone[0] + expected[1] + lone[1] + expected[2]);
        const back = expected.map((part) => cli('decrypt', key, part).text);
        assert.equal(transform(cipher, key, 'decrypt'), back[0] + lone[0] + back[1] + lone[1] + back[2]);
        checks += 2;
    }

    // Only the ten key numbers, exactly as written, name a codebook.
    keys.forEach((key, index) => assert.equal(findCodebook(key), index, `key ${key}`));
    for (const key of ['', '0', '11', '01', ' 1', '1 ', '\uFF11', '1\n'])
        assert.equal(findCodebook(key), -1, JSON.stringify(key));
    checks += 2;

    // A press finds the missing key, then the missing text, then the codebook.
    const missingKey = ['Key Selection', 'Please select an encryption key!'];
    assert.deepEqual(start('', 'encrypt', ''),
        [[missingKey, ['Text Entry', 'Please enter the text to be encrypted!']], true, -1]);
    assert.deepEqual(start('10', 'decrypt', ''),
        [[['Text Entry', 'Please enter the text to be decrypted!']], true, 9]);
    assert.deepEqual(start('', 'decrypt', 'x'), [[missingKey], false, -1]);

    // A result is refused one unit beyond the text box's limit, and told as too large.
    const cipherOfA = cli('encrypt', '4', 'a').text;
    const fits = judge('a', '4', 'encrypt', cipherOfA.length);
    assert.deepEqual(fits, { verdict: 0, length: cipherOfA.length });
    const refused = judge('a', '4', 'encrypt', cipherOfA.length - 1).verdict;
    assert.deepEqual(message(core._kelvane_verdict_message(refused)), ['Kelvane Encryptor',
        'The text is too large to process. It has been left unchanged.']);
    assert.equal(judge('#1', '4', 'encrypt', 100).verdict, 1, 'unchanged');
    // So is a cipher text too large to build, judged before it is built.
    const bySize = (limit) => withUnits('a', (address) =>
        core._kelvane_judge_encrypted_size(address, 1, findCodebook('4'), limit));
    assert.deepEqual([bySize(cipherOfA.length), bySize(cipherOfA.length - 1)], [0, refused]);
    // A code as the very last unit of a text still asks.
    const endsInCode = `x ${cipherOfA}`;
    const ask = judge(endsInCode, '4', 'encrypt', 1000).verdict;
    assert.equal(message(core._kelvane_verdict_message(ask))[0], 'Digits in Text');
    assert.equal(roundTrips(endsInCode, '4'), false);
    assert.equal(roundTrips(endsInCode.slice(0, -1), '4'), true);
    assert.deepEqual(failureMessages(), [
        'The text could not be processed. It has been left unchanged.',
        'The text is too large to process. It has been left unchanged.']);

    // A result all in ASCII comes out as the same units in bytes as well; up
    // to the first unit beyond ASCII, which keeps it in units only.
    for (const [name, text, ascii] of [['U+007F alone, the last ASCII unit', '\u007F', true],
        ['U+0080 alone, the first unit beyond', '\u0080', false],
        ['a cipher text ending in U+007F', 'Ab\u007F', true],
        ['a cipher text ending in a lone surrogate', 'Ab\uDFFF', false]]) {
        withUnits(text, (address) => {
            const length = core._kelvane_transform(address, text.length, findCodebook('4'), 0);
            const units = core.HEAPU16.subarray(core._kelvane_result() >>> 1).slice(0, length);
            const bytes = core._kelvane_result_ascii();
            assert.equal(bytes !== 0, ascii, name);
            if (ascii)
                assert.deepEqual([...core.HEAPU8.subarray(bytes, bytes + length)], [...units], name);
            core._kelvane_release_result();
        });
        ++checks;
    }
    // A kept result is the text of the next pass, unit for unit, and that
    // pass's result is kept in its place.
    {
        const plain = 'Grüße \uD800 at 9:30, 😀 \uDFFF!';
        const index = findCodebook('7');
        const cipher = transform(plain, '7', 'encrypt');
        const unitsAt = (address, length) =>
            String.fromCharCode(...core.HEAPU16.subarray(address >>> 1, (address >>> 1) + length));
        let kept = withUnits(plain, (address) => {
            core._kelvane_transform(address, plain.length, index, 0);
            return core._kelvane_keep_result();
        });
        assert.equal(unitsAt(kept, cipher.length), cipher);
        assert.equal(core._kelvane_transform(kept, cipher.length, index, 1), plain.length);
        assert.equal(core._kelvane_judge_result(kept, cipher.length, index, 1, 1000), 0);
        kept = core._kelvane_keep_result();
        assert.equal(unitsAt(kept, plain.length), plain);
        assert.equal(core._kelvane_transform(kept, plain.length, index, 0), cipher.length);
        assert.equal(unitsAt(core._kelvane_result(), cipher.length), cipher);
        core._kelvane_release_result();
        core._kelvane_release_kept();
        checks += 8;
    }

    // The binding names codebooks 0 to 9 only.
    for (const index of [-1, 10]) {
        withUnits('abc', (address) => {
            assert.equal(core._kelvane_transform(address, 3, index, 0), -1, `index ${index}`);
            assert.equal(core._kelvane_judge_result(address, 3, index, 0, 100), -1);
            assert.equal(core._kelvane_judge_encrypted_size(address, 3, index, 100), -1);
            assert.equal(core._kelvane_round_trips(address, 3, index), -1);
        });
    }
    checks += 10;
    return checks;
}
const failureMessages = () => [0, 1].map((memory) => message(core._kelvane_failure_message(memory))[1]);

let checks = 0;
try {
    checks = runChecks();
} catch (error) {
    // The core's runtime turns an uncaught error into a dump of its own source.
    console.error(`core.test.mjs: FAILED: ${error.message}`);
    process.exit(1);
}
console.log(`core.test.mjs: ${checks} checks passed (seed ${process.env.KELVANE_SEED ?? 20261208})`);
