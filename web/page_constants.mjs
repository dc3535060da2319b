// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes the core's page constants (kelvane_page_constants) as JSON to the
// file named, for the page's build to put into the page.
//
// Usage: node page_constants.mjs build/web/kelvane-core.js OUTPUT.json

import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

const [corePath, outputPath] = process.argv.slice(2);
if (!corePath || !outputPath) {
    console.error('usage: node page_constants.mjs KELVANE_CORE_JS OUTPUT');
    process.exit(2);
}
const createKelvaneCore = createRequire(import.meta.url)(path.resolve(corePath));
const wasmBinary = readFileSync(path.resolve(corePath).replace(/\.js$/, '.wasm'));
const core = await createKelvaneCore({ wasmBinary });
const json = core.UTF8ToString(core._kelvane_page_constants());
JSON.parse(json); // stops the build on a malformed text
writeFileSync(outputPath, json + '\n');
