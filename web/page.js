// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// The window in the page: the controls, the load step, the commands and the
// banner. All ciphering is done by the C++ core (createKelvaneCore); the page
// only moves the text box's UTF-16 units in and out of it.
'use strict';

(() => {
    // What the page shows and does alike with the window, as the core gives it
    // (the page's build writes it in): the credit line, its step in
    // milliseconds, the key list and the longest run without white space that
    // still wraps at word boundaries.
    const {
        bannerText, bannerStepMilliseconds: bannerInterval, keyNumbers, longRunLimit,
    } = JSON.parse(document.getElementById('coreConstants').textContent);
    // From this many units on, the core's work is long enough for the busy
    // look to show before it; before that, it shows with the result.
    const slowWork = 1 << 23;
    // Results longer than this many units (1 MiB) show their first screenful
    // first. Both browsers lay out a result of up to 1 MiB, of any shape, in
    // one frame well within the 300 ms a result may take to show, and the
    // frame that a first screenful costs would come on top of that.
    const wholeAtOnce = 1 << 19;
    // How much of a large result goes in first: more than the text box shows.
    const firstScreenful = 4096;
    // Most units that the undo and redo history keep beside the text box's
    // own text; the oldest steps go first, but the latest step always stays,
    // so that a command can always be taken back. The tests lower it through
    // the window's data-history-units attribute.
    const historyLimit = 1 << 26;
    // The core's verdicts on a result that the page tells apart; any other
    // verdict refuses it.
    const Verdict = { replace: 0, unchanged: 1, ask: 2 };

    const control = (id) => document.getElementById(id);
    const txtEncrypt = control('txtEncrypt');
    const cmdEncrypt = control('cmdEncrypt');
    const cmdDecrypt = control('cmdDecrypt');
    const cmdClear = control('cmdClear');
    const cmdExit = control('cmdExit');
    const cboKey = control('cboKey');
    const cboKeyArrow = control('cboKeyArrow');
    const cboKeyList = control('cboKeyList');
    const Label1 = control('Label1');
    const Label1Text = control('Label1Text');

    // ---- The cipher core -------------------------------------------------

    // Returns a new instance of the core, made from the WebAssembly that the
    // page carries in base64.
    function createCore() {
        const base64 = document.getElementById('coreWasm').textContent.trim();
        const wasmBinary = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
        return createKelvaneCore({ wasmBinary });
    }

    // Without WebAssembly the page shows only the message that the markup
    // carries in place of the window, as it does without JavaScript.
    const frmKelvane = control('frmKelvane');
    const noCore = control('noCore');
    if (typeof WebAssembly !== 'object')
        return;
    noCore.remove();
    frmKelvane.hidden = false;

    // The window is busy while the core loads and while a command works.
    let commandRunning = false;
    let core = new Promise((resolve) => resolve(createCore()));
    let timer = 0;
    let ended = false;

    // Returns the most units a string of this browser holds: concatenating
    // builds no text here, only a string that refers to its parts, and throws
    // beyond the limit.
    function measureStringLimit() {
        const fits = (length) => {
            try {
                let text = '';
                for (let piece = 'x', n = length; n > 0; n = Math.floor(n / 2), piece += piece) {
                    if (n % 2)
                        text += piece;
                    if (n < 2)
                        break;
                }
                return text.length === length;
            } catch {
                return false;
            }
        };
        let low = 0;
        let high = 2 ** 32;
        while (high - low > 1) {
            const middle = Math.floor((low + high) / 2);
            if (fits(middle))
                low = middle;
            else
                high = middle;
        }
        return low;
    }
    const stringLimit = measureStringLimit();

    // Returns the most units that a result may have. The tests lower it
    // through the window's data-max-units attribute.
    function maxUnits() {
        const lowered = Number(frmKelvane.dataset.maxUnits);
        return Number.isInteger(lowered) && lowered >= 0 ? Math.min(lowered, stringLimit)
            : stringLimit;
    }

    // Every text that the page tells or asks comes from the core, by message
    // number; the ones for a failed command are read at load, since a core
    // that failed may not answer.
    const messages = new Map();
    function message(module, id) {
        if (!messages.has(id)) {
            messages.set(id, {
                title: module.UTF8ToString(module._kelvane_message_title(id)),
                text: module.UTF8ToString(module._kelvane_message_text(id)),
            });
        }
        return messages.get(id);
    }
    let failureMessages = null;
    core.then((module) => {
        failureMessages = [0, 1].map((memory) =>
            message(module, module._kelvane_failure_message(memory)));
        frmKelvane.setAttribute('aria-busy', String(commandRunning));
    }, () => showNoCore());

    // Puts the page's own message in place of the window, which cannot work.
    function showNoCore() {
        ended = true;
        window.clearInterval(timer);
        document.body.replaceChildren(noCore);
    }

    // Copies `text` into the core's memory and returns its address.
    function writeUnits(module, text) {
        const address = module._malloc(Math.max(text.length, 1) * 2);
        if (!address)
            throw new RangeError('out of memory');
        const heap = module.HEAPU16;
        const base = address >>> 1;
        for (let i = 0; i < text.length; ++i)
            heap[base + i] = text.charCodeAt(i);
        return address;
    }

    // Returns the `length` units at `address` as a string. A text decoder is
    // fastest, but replaces lone surrogates, so it only reads texts that the
    // caller knows to be well formed; otherwise the units are copied as they are.
    const utf16 = new TextDecoder('utf-16le', { ignoreBOM: true });
    const utf8 = new TextDecoder('utf-8', { ignoreBOM: true });

    function readUnits(module, address, length, wellFormed) {
        const units = module.HEAPU16.subarray(address >>> 1, (address >>> 1) + length);
        if (wellFormed)
            return utf16.decode(units);
        const chunk = 16384;
        const parts = [];
        for (let i = 0; i < length; i += chunk)
            parts.push(String.fromCharCode.apply(null, units.subarray(i, i + chunk)));
        return parts.join('');
    }

    // Returns true when `text` has no lone surrogate. The cipher neither makes
    // nor breaks surrogate pairs, so its result is then well formed too.
    function isWellFormed(text) {
        if (typeof text.isWellFormed === 'function')
            return text.isWellFormed();
        return !/[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/.test(text);
    }

    // Runs `work(address)` with `text` in the core's memory.
    function withUnits(module, text, work) {
        const address = writeUnits(module, text);
        try {
            return work(address);
        } finally {
            module._free(address);
        }
    }

    // The text box's text as the core holds it since the last result went
    // in ({module, text, address}), or null. Decrypting a cipher text that
    // the page has just made is the most common command of all, and copying
    // its millions of units back in, one at a time, took longer than the
    // pass; a text that a browser's bulk encoder copies is no faster there.
    let kept = null;

    // Makes the result that `module` holds the kept text; `result` is its string.
    function keepResult(module, result) {
        kept = { module, text: result, address: module._kelvane_keep_result() };
    }

    // Lets the core free the kept text (a core that was replaced goes whole).
    function forgetKept(module) {
        if (kept !== null && kept.module === module)
            module._kelvane_release_kept();
        kept = null;
    }

    // Runs `work(address)` with the text box's `text` in the core's memory:
    // the kept text when it is the same string, unit for unit, else a copy.
    function withText(module, text, work) {
        if (kept !== null && kept.module === module && kept.text === text)
            return work(kept.address);
        forgetKept(module);
        return withUnits(module, text, work);
    }

    // Returns what a press finds before any work: the messages to tell, in
    // order, whether the focus then moves into the text box, and the
    // codebook's index (-1: the command ends quietly).
    function startCommand(module, key, decrypting, textIsEmpty) {
        const found = withUnits(module, key, (address) => module._kelvane_start_command(
            address, key.length, decrypting ? 1 : 0, textIsEmpty ? 1 : 0));
        return {
            messages: [found & 0xff, (found >>> 8) & 0xff].filter((id) => id > 0)
                .map((id) => id - 1),
            focusText: (found & (1 << 16)) !== 0,
            index: (found >>> 17) - 1,
        };
    }

    // Returns the core's verdict on `text` run through codebook `index`, with
    // the result when it may replace the text; the core then still holds the
    // result, for keepResult() or _kelvane_release_result(). A result that did
    // not come out whole is a RangeError, as a string too long for the
    // browser is.
    function runPass(module, text, index, decrypting) {
        return withText(module, text, (address) => {
            // A cipher text's length is known before it is built, and one too
            // large for a string is refused without building it.
            if (!decrypting) {
                const verdict = module._kelvane_judge_encrypted_size(address, text.length, index,
                    maxUnits());
                if (verdict > Verdict.ask)
                    return { verdict };
            }
            const direction = decrypting ? 1 : 0;
            const length = module._kelvane_transform(address, text.length, index, direction);
            if (length < 0)
                throw new Error('no such codebook');
            let held = false;
            try {
                const verdict = module._kelvane_judge_result(address, text.length, index,
                    direction, maxUnits());
                if (verdict !== Verdict.replace && verdict !== Verdict.ask)
                    return { verdict };
                // A result all in ASCII comes as bytes, whose UTF-8 decodes
                // many times faster than UTF-16.
                const ascii = module._kelvane_result_ascii();
                const result = ascii ? utf8.decode(module.HEAPU8.subarray(ascii, ascii + length))
                    : readUnits(module, module._kelvane_result(), length, isWellFormed(text));
                if (typeof result !== 'string' || result.length !== length)
                    throw new RangeError('the result did not come out whole');
                held = true;
                return { verdict, result };
            } finally {
                if (!held)
                    module._kelvane_release_result();
            }
        });
    }

    // ---- Message boxes ----------------------------------------------------

    let dialogCount = 0;

    // Shows a modal box with `title`, `message` and `buttons` (captions), the
    // focus on `defaultButton`, and resolves to the caption of the button that
    // closed it; Escape closes it as `defaultButton`.
    function messageBox(title, message, buttons = ['OK'], defaultButton = 'OK', warning = false) {
        const id = `msgBox${++dialogCount}`;
        const dialog = document.createElement('dialog');
        dialog.setAttribute('aria-labelledby', `${id}Title`);
        dialog.setAttribute('aria-describedby', `${id}Text`);
        const titleBar = document.createElement('div');
        titleBar.className = 'title';
        titleBar.id = `${id}Title`;
        titleBar.textContent = title;
        const body = document.createElement('div');
        body.className = 'body';
        if (warning)
            body.append(warningSign());
        const text = document.createElement('p');
        text.id = `${id}Text`;
        text.textContent = message;
        body.append(text);
        const row = document.createElement('div');
        row.className = 'buttons';
        let focus = null;
        for (const caption of buttons) {
            const button = document.createElement('button');
            button.type = 'button';
            button.textContent = caption;
            button.addEventListener('click', () => dialog.close(caption));
            row.append(button);
            if (caption === defaultButton)
                focus = button;
        }
        dialog.append(titleBar, body, row);
        return new Promise((resolve) => {
            dialog.addEventListener('close', () => {
                dialog.remove();
                resolve(buttons.includes(dialog.returnValue) ? dialog.returnValue : defaultButton);
            });
            document.body.append(dialog);
            dialog.showModal();
            focus.focus();
        });
    }

    // Returns a warning sign for the question about digits.
    function warningSign() {
        const ns = 'http://www.w3.org/2000/svg';
        const svg = document.createElementNS(ns, 'svg');
        svg.setAttribute('class', 'warning');
        svg.setAttribute('viewBox', '0 0 32 32');
        svg.setAttribute('aria-hidden', 'true');
        const triangle = document.createElementNS(ns, 'path');
        triangle.setAttribute('d', 'M16 2 L31 29 H1 Z');
        triangle.setAttribute('fill', '#f2c200');
        triangle.setAttribute('stroke', '#7a5c00');
        const mark = document.createElementNS(ns, 'path');
        mark.setAttribute('d', 'M14.5 11 h3 l-0.6 10 h-1.8 Z M14.5 23.5 h3 v3 h-3 Z');
        mark.setAttribute('fill', 'black');
        svg.append(triangle, mark);
        return svg;
    }

    // Shows `shown` ({title, text}) with a single OK button.
    function tell(shown) {
        return messageBox(shown.title, shown.text);
    }

    // ---- The text box and its undo history ---------------------------------

    // The page keeps the text box's undo history itself: the browser's own
    // editing commands take minutes for a text of a few megabytes, while
    // setting the value takes a fraction of that. Each entry is a whole text
    // with its selection; strings are shared, not copied. Typing is grouped
    // as the browser groups it: one step for a run of insertions or of
    // deletions at a moving caret; a paste, a drop or a cut is a step of its own.
    const undoStack = [];
    const redoStack = [];
    let historyUnits = 0; // the units that both stacks keep
    let typing = null; // the open run of typing: its kind and where its caret is

    // Returns the most units that the history may keep.
    function maxHistoryUnits() {
        const lowered = Number(frmKelvane.dataset.historyUnits);
        return Number.isInteger(lowered) && lowered >= 0 ? lowered : historyLimit;
    }

    function pushStep(stack, state) {
        stack.push(state);
        historyUnits += state.value.length;
    }

    // Makes `state` the newest undo step of an edit, with nothing to redo, and
    // drops the oldest steps while the history holds more than its bound
    // (but never the newest step).
    function newStep(state) {
        clearRedo();
        pushStep(undoStack, state);
        const limit = maxHistoryUnits();
        let dropped = 0;
        while (historyUnits > limit && dropped + 1 < undoStack.length)
            historyUnits -= undoStack[dropped++].value.length;
        if (dropped > 0)
            undoStack.splice(0, dropped);
    }

    function popStep(stack) {
        const state = stack.pop();
        historyUnits -= state.value.length;
        return state;
    }

    function clearRedo() {
        for (const state of redoStack)
            historyUnits -= state.value.length;
        redoStack.length = 0;
    }

    // Returns true when the unit `c` is white space, as a regular
    // expression's \s counts it.
    function isSpace(c) {
        return c <= 0x20 ? c === 0x20 || (c >= 0x09 && c <= 0x0d)
            : c >= 0xa0 && (c === 0xa0 || c === 0x1680 || (c >= 0x2000 && c <= 0x200a) ||
                c === 0x2028 || c === 0x2029 || c === 0x202f || c === 0x205f ||
                c === 0x3000 || c === 0xfeff);
    }

    // Returns true when `text` has a run of more than longRunLimit units
    // without white space. A pattern such as /\S{2001}/ tries every start
    // again and takes the text's length times its runs' length, seconds for
    // a megabyte of short lines, and overflows Firefox's stack. Here each
    // window of longRunLimit + 1 units is read backwards from its end: a
    // window without white space is such a run, and otherwise no such run
    // starts before the last white space in it, so the next window begins
    // behind that. Plain text reads a few units per window, and no unit is
    // read more than twice.
    function hasLongRun(text) {
        const span = longRunLimit + 1;
        for (let start = 0; start + span <= text.length;) {
            let i = start + span - 1;
            while (i >= start && !isSpace(text.charCodeAt(i)))
                --i;
            if (i < start)
                return true;
            start = i + 1;
        }
        return false;
    }

    function updateWrapMode() {
        txtEncrypt.classList.toggle('wrap-anywhere', hasLongRun(txtEncrypt.value));
    }

    const snapshot = () => ({
        value: txtEncrypt.value,
        start: txtEncrypt.selectionStart,
        end: txtEncrypt.selectionEnd,
    });

    function restore(state) {
        txtEncrypt.classList.toggle('wrap-anywhere', hasLongRun(state.value));
        txtEncrypt.value = state.value;
        txtEncrypt.setSelectionRange(state.start, state.end);
        typing = null;
    }

    function undo() {
        if (undoStack.length === 0)
            return;
        pushStep(redoStack, snapshot());
        restore(popStep(undoStack));
    }

    function redo() {
        if (redoStack.length === 0)
            return;
        pushStep(undoStack, snapshot());
        restore(popStep(redoStack));
    }

    // Returns how an edit groups with the ones before it.
    function editKind(inputType) {
        if (inputType.startsWith('delete') && !inputType.startsWith('deleteByCut'))
            return 'delete';
        if (inputType === 'insertText' || inputType === 'insertLineBreak' ||
            inputType === 'insertParagraph' || inputType.startsWith('insertComposition'))
            return 'insert';
        return null; // pastes, drops, cuts and the like: each a step of its own
    }

    txtEncrypt.addEventListener('beforeinput', (event) => {
        if (event.inputType === 'historyUndo' || event.inputType === 'historyRedo') {
            event.preventDefault();
            if (!commandRunning)
                (event.inputType === 'historyUndo' ? undo : redo)();
            return;
        }
        const kind = editKind(event.inputType);
        const caret = txtEncrypt.selectionStart;
        const continues = kind !== null && typing !== null && typing.kind === kind &&
            caret === txtEncrypt.selectionEnd && caret === typing.caret;
        if (!continues)
            newStep(snapshot());
        typing = { kind, caret: -1 };
    });
    txtEncrypt.addEventListener('input', (event) => {
        if (typing !== null)
            typing.caret = txtEncrypt.selectionStart;
        // Typing adds one unit at a time; anything else may make or remove a long run.
        if (event.inputType !== 'insertText' || txtEncrypt.classList.contains('wrap-anywhere'))
            updateWrapMode();
    });
    // A click or an arrow key ends the run of typing.
    txtEncrypt.addEventListener('pointerdown', () => { typing = null; });
    txtEncrypt.addEventListener('keyup', (event) => {
        if (event.key.startsWith('Arrow') || event.key === 'Home' || event.key === 'End' ||
            event.key.startsWith('Page'))
            typing = null;
    });

    // Replaces the whole text of the text box as one step that Ctrl+Z takes
    // back, and shows the text from its beginning.
    function replaceText(text) {
        newStep(snapshot());
        typing = null;
        // Switching before the text arrives spares laying the old text out again.
        txtEncrypt.classList.toggle('wrap-anywhere', hasLongRun(text));
        txtEncrypt.value = text;
        txtEncrypt.setSelectionRange(0, 0);
        txtEncrypt.scrollTop = 0;
    }

    // The whole of a result while only its first screenful is in the text box.
    let pendingResult = null;

    // Copy takes from the whole result, not from its first screenful.
    txtEncrypt.addEventListener('copy', (event) => {
        if (pendingResult === null)
            return;
        const start = txtEncrypt.selectionStart;
        const end = txtEncrypt.selectionEnd === txtEncrypt.value.length ? pendingResult.length
            : txtEncrypt.selectionEnd;
        event.clipboardData.setData('text/plain', pendingResult.slice(start, end));
        event.preventDefault();
    });

    // Resolves once the browser has painted a frame after this point.
    const painted = () => new Promise((resolve) =>
        requestAnimationFrame(() => setTimeout(resolve, 0)));

    // Puts `result` in place of the text as one step that Ctrl+Z takes back,
    // and resolves to true once it is wholly in the text box. Laying out a
    // long text takes the browser far longer than anything else a command
    // does, so a result of more than 1 MiB shows its first screenful first
    // and comes in whole after that frame. A text box that does not take the result whole
    // keeps its text and history, and the promise resolves to false; one
    // that throws on the way gets its text and history back, and the error
    // goes on to the caller.
    async function showResult(result) {
        const before = snapshot();
        const wrapBefore = txtEncrypt.classList.contains('wrap-anywhere');
        const history = { undo: undoStack.slice(), redo: redoStack.slice(), units: historyUnits };
        const large = result.length > wholeAtOnce;
        try {
            txtEncrypt.classList.toggle('wrap-anywhere', hasLongRun(result));
            if (large) {
                let end = firstScreenful;
                if (/[\uD800-\uDBFF]/.test(result[end - 1]))
                    --end;
                pendingResult = result;
                txtEncrypt.value = result.slice(0, end);
                txtEncrypt.setSelectionRange(0, 0);
                txtEncrypt.scrollTop = 0;
                await painted();
            }
            txtEncrypt.value = result;
            pendingResult = null;
            if (txtEncrypt.value.length !== result.length) {
                restore(before);
                return false;
            }
            newStep(before);
            typing = null;
            txtEncrypt.setSelectionRange(0, 0);
            txtEncrypt.scrollTop = 0;
            return true;
        } catch (error) {
            pendingResult = null;
            for (const [stack, states] of [[undoStack, history.undo], [redoStack, history.redo]]) {
                stack.length = 0;
                for (const state of states)
                    stack.push(state);
            }
            historyUnits = history.units;
            if (txtEncrypt.value !== before.value)
                restore(before);
            else
                txtEncrypt.setSelectionRange(before.start, before.end);
            txtEncrypt.classList.toggle('wrap-anywhere', wrapBefore);
            typing = null;
            throw error;
        }
    }

    // ---- Commands ---------------------------------------------------------

    // While a command works, the pointer, the buttons and aria-busy say so,
    // and the window takes no click, key, paste or drop; a message box on
    // screen is no work. The controls are inert, except the text box: Chromium
    // takes about a third longer to lay out a long text in an inert text box,
    // so it is read-only instead, and the listeners below drop what comes to
    // it. Firefox moves the focus out of an inert control, so it goes back
    // where it was.
    let busy = false;
    let focusBefore = null;
    function setBusy(on) {
        busy = on;
        frmKelvane.setAttribute('aria-busy', String(on));
        frmKelvane.classList.toggle('busy', on);
        txtEncrypt.readOnly = on;
        for (const control of frmKelvane.children) {
            if (control !== txtEncrypt)
                control.inert = on;
        }
        if (on) {
            [busySince, busyUntil] = [performance.now(), Infinity];
            if (document.activeElement !== document.body)
                focusBefore = document.activeElement;
        } else {
            busyUntil = performance.now();
            const lost = !document.activeElement || document.activeElement === document.body;
            if (lost && focusBefore?.isConnected && !document.querySelector('dialog[open]'))
                focusBefore.focus({ preventScroll: true });
        }
    }

    // Input that comes while the window is busy goes nowhere, nor does input
    // that was made while it was busy and reaches the page only after the
    // work, stamped with the time it was made. The text box's context menu
    // stays, for Copy, which takes from the whole result.
    let busySince = Infinity;
    let busyUntil = -Infinity;
    const inputEvents = ['keydown', 'keypress', 'keyup', 'beforeinput', 'paste', 'cut', 'drop',
        'dragstart', 'pointerdown', 'mousedown', 'mouseup', 'click', 'dblclick', 'auxclick'];
    for (const type of inputEvents) {
        document.addEventListener(type, (event) => {
            const madeWhileBusy = event.timeStamp >= busySince && event.timeStamp <= busyUntil;
            if ((busy || madeWhileBusy) && !document.querySelector('dialog[open]')) {
                event.preventDefault();
                event.stopImmediatePropagation();
            }
        }, true);
    }

    // Shows a message box, with the window idle while it is open.
    async function ask(showing) {
        setBusy(false);
        try {
            return await showing;
        } finally {
            setBusy(true);
        }
    }

    // Returns true when `error` says that memory or a string's length ran
    // out: a RangeError (an InternalError in some browsers), or the core's
    // abort when it runs out of memory.
    function outOfMemory(error) {
        return error instanceof RangeError || error?.name === 'InternalError' ||
            (error instanceof WebAssembly.RuntimeError && /memory|abort/i.test(error.message));
    }

    // Checks the key and the text, telling the user what is missing, and then
    // replaces the text with the whole result of the pass in one undoable
    // edit. A key text that is no key number ends the command quietly. The
    // text box keeps its text and history unless the whole result is in it,
    // and the user is told why, whatever went wrong on the way.
    async function runCommand(decrypting) {
        if (commandRunning || ended)
            return;
        commandRunning = true;
        focusBefore = null;
        setBusy(true);
        let focusText = false;
        try {
            let module;
            try {
                module = await core;
            } catch {
                showNoCore();
                return;
            }
            const start = startCommand(module, cboKey.value, decrypting, txtEncrypt.value === '');
            for (const id of start.messages)
                await ask(tell(message(module, id)));
            // The focus moves once the window takes input again.
            focusText = start.focusText;
            if (start.index < 0)
                return;
            const text = txtEncrypt.value;
            // Lets the busy look show before work that takes a while.
            if (text.length >= slowWork)
                await painted();
            let pass;
            try {
                pass = runPass(module, text, start.index, decrypting);
            } catch (error) {
                // The core aborts when it runs out of memory and may be left
                // half-way by anything else it throws; a fresh one serves the
                // next command. A string too long for the browser is no
                // fault of the core.
                if (!(error instanceof RangeError || error?.name === 'InternalError'))
                    core = new Promise((resolve) => resolve(createCore()));
                throw error;
            }
            if (pass.verdict === Verdict.unchanged)
                return;
            const verdictMessage = pass.verdict === Verdict.replace ? null
                : message(module, module._kelvane_verdict_message(pass.verdict));
            if (pass.verdict !== Verdict.replace && pass.verdict !== Verdict.ask) {
                await ask(tell(verdictMessage));
                return;
            }
            // The core holds the result until it is the text box's text, and
            // keeps it then; otherwise it lets it go.
            let shown = false;
            try {
                // Digits in a plain text can be read as codes on the way back.
                if (pass.verdict === Verdict.ask && await ask(messageBox(verdictMessage.title,
                    verdictMessage.text, ['Yes', 'No'], 'No', true)) !== 'Yes')
                    return;
                shown = await showResult(pass.result);
                if (shown)
                    keepResult(module, pass.result);
            } finally {
                if (!shown)
                    module._kelvane_release_result();
            }
            if (!shown)
                await ask(tell(failureMessages[1]));
        } catch (error) {
            // showResult has put the text and its history back; nothing else
            // that throws has touched them.
            if (failureMessages !== null && !ended) {
                try {
                    await ask(tell(failureMessages[outOfMemory(error) ? 1 : 0]));
                } catch {
                    // A page that cannot show a message box has nothing left to tell with.
                }
            }
        } finally {
            // The command is at work until the browser has laid the text out;
            // input made during the work reaches the page in the frame after
            // it, and finds the window still busy.
            if (!ended)
                await painted();
            commandRunning = false;
            setBusy(false);
            if (focusText)
                txtEncrypt.focus();
        }
    }

    // Empties the text box as one undoable edit and puts the focus in it.
    function clearText() {
        if (commandRunning)
            return;
        if (txtEncrypt.value !== '')
            replaceText('');
        txtEncrypt.focus();
    }

    // Ends the program: closes the page where the browser allows it and
    // otherwise leaves an empty page that says so. The text is gone either way.
    function exitProgram() {
        if (commandRunning)
            return;
        ended = true;
        window.clearInterval(timer);
        window.close();
        if (window.closed)
            return;
        const main = document.createElement('main');
        const note = document.createElement('h1');
        note.className = 'ended';
        note.textContent = 'Kelvane Encryptor has ended. You can close this page.';
        main.append(note);
        document.body.replaceChildren(main);
    }

    // Moves the banner's first unit to its end; the label's text is the only state.
    // It holds still while the user asks for less motion and while the
    // pointer rests on it, so that it can be read.
    const lessMotion = window.matchMedia('(prefers-reduced-motion: reduce)');
    let pointerOnBanner = false;
    Label1.addEventListener('pointerenter', () => { pointerOnBanner = true; });
    Label1.addEventListener('pointerleave', () => { pointerOnBanner = false; });

    function rotateBanner() {
        if (lessMotion.matches || pointerOnBanner)
            return;
        const text = Label1Text.textContent;
        if (text.length > 1)
            Label1Text.textContent = text.slice(1) + text[0];
    }

    // ---- The key list -----------------------------------------------------

    let highlighted = -1;

    const keyItems = () => Array.from(cboKeyList.children);
    const keyListOpen = () => !cboKeyList.hidden;

    // Appends an item at the end of the key list.
    function appendKey(text) {
        const item = document.createElement('li');
        item.id = `cboKeyItem${cboKeyList.children.length}`;
        item.setAttribute('role', 'option');
        item.setAttribute('aria-selected', 'false');
        item.textContent = text;
        cboKeyList.append(item);
    }

    function highlight(index) {
        keyItems().forEach((item, i) => item.setAttribute('aria-selected', String(i === index)));
        highlighted = index;
        if (index >= 0) {
            cboKey.setAttribute('aria-activedescendant', keyItems()[index].id);
            keyItems()[index].scrollIntoView({ block: 'nearest' });
        } else {
            cboKey.removeAttribute('aria-activedescendant');
        }
    }

    // Returns the index of the item whose text is the field's text, or -1.
    const currentKeyIndex = () => keyItems().findIndex((item) => item.textContent === cboKey.value);

    function setKeyListOpen(open) {
        cboKeyList.hidden = !open;
        cboKey.setAttribute('aria-expanded', String(open));
        cboKeyArrow.setAttribute('aria-expanded', String(open));
        highlight(open ? currentKeyIndex() : -1);
    }

    function chooseKey(index) {
        setKey(keyItems()[index].textContent);
        setKeyListOpen(false);
        cboKey.focus();
        cboKey.select();
    }

    // The key field's own history of typing, which never reaches the text
    // box's; a key taken from the list starts it afresh.
    const keyUndoStack = [];
    const keyRedoStack = [];
    const keySnapshot = () => ({
        value: cboKey.value,
        start: cboKey.selectionStart,
        end: cboKey.selectionEnd,
    });

    function stepKey(from, to) {
        if (from.length === 0)
            return;
        to.push(keySnapshot());
        const state = from.pop();
        cboKey.value = state.value;
        cboKey.setSelectionRange(state.start, state.end);
    }
    const undoKey = () => stepKey(keyUndoStack, keyRedoStack);
    const redoKey = () => stepKey(keyRedoStack, keyUndoStack);

    function setKey(text) {
        cboKey.value = text;
        keyUndoStack.length = 0;
        keyRedoStack.length = 0;
    }

    cboKey.addEventListener('beforeinput', (event) => {
        if (event.inputType === 'historyUndo' || event.inputType === 'historyRedo') {
            event.preventDefault();
            (event.inputType === 'historyUndo' ? undoKey : redoKey)();
            return;
        }
        keyUndoStack.push(keySnapshot());
        keyRedoStack.length = 0;
    });

    cboKeyArrow.addEventListener('mousedown', (event) => {
        event.preventDefault();
        cboKey.focus();
        setKeyListOpen(!keyListOpen());
    });
    cboKeyList.addEventListener('mousedown', (event) => event.preventDefault());
    cboKeyList.addEventListener('click', (event) => {
        const index = keyItems().indexOf(event.target.closest('li'));
        if (index >= 0)
            chooseKey(index);
    });
    cboKeyList.addEventListener('mousemove', (event) => {
        const index = keyItems().indexOf(event.target.closest('li'));
        if (index >= 0 && index !== highlighted)
            highlight(index);
    });
    cboKey.addEventListener('blur', () => setKeyListOpen(false));
    cboKey.addEventListener('keydown', (event) => {
        const last = keyItems().length - 1;
        const open = keyListOpen();
        if ((event.altKey && (event.key === 'ArrowDown' || event.key === 'ArrowUp')) ||
            event.key === 'F4') {
            setKeyListOpen(!open);
        } else if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
            const step = event.key === 'ArrowDown' ? 1 : -1;
            const from = open ? highlighted : currentKeyIndex();
            const to = Math.min(last, Math.max(0, from + step));
            if (open) {
                highlight(to);
            } else {
                setKey(keyItems()[to].textContent);
                cboKey.select();
            }
        } else if (open && event.key === 'Enter') {
            if (highlighted >= 0)
                chooseKey(highlighted);
            else
                setKeyListOpen(false);
        } else if (open && event.key === 'Escape') {
            setKeyListOpen(false);
        } else {
            return;
        }
        event.preventDefault();
    });

    // ---- Window-wide keys and the commands' buttons ------------------------

    // Returns 'undo' or 'redo' for Ctrl+Z, and Ctrl+Shift+Z or Ctrl+Y; null
    // for any other key.
    function historyKey(event) {
        if (!(event.ctrlKey || event.metaKey) || event.altKey)
            return null;
        const key = event.key.toLowerCase();
        if (key === 'z')
            return event.shiftKey ? 'redo' : 'undo';
        return key === 'y' && !event.shiftKey ? 'redo' : null;
    }

    // Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y take the text box's history back and
    // forth wherever the focus is, except in the key field, which has its
    // own. Clear is the window's cancel button: Escape anywhere presses it,
    // except in a message box, which Escape closes, and in the open key list.
    // While a command works, neither does anything.
    document.addEventListener('keydown', (event) => {
        if (event.defaultPrevented || event.isComposing || ended)
            return;
        const step = historyKey(event);
        if (step === null && event.key !== 'Escape')
            return;
        if (document.querySelector('dialog[open]'))
            return;
        event.preventDefault();
        if (commandRunning)
            return;
        if (step === null)
            cmdClear.click();
        else if (event.target === cboKey)
            (step === 'undo' ? undoKey : redoKey)();
        else
            (step === 'undo' ? undo : redo)();
    });

    cmdEncrypt.addEventListener('click', () => runCommand(false));
    cmdDecrypt.addEventListener('click', () => runCommand(true));
    cmdClear.addEventListener('click', clearText);
    cmdExit.addEventListener('click', exitProgram);

    // ---- The load step ----------------------------------------------------

    Label1Text.textContent = bannerText;
    Label1.setAttribute('aria-label', bannerText.trim());
    timer = window.setInterval(rotateBanner, bannerInterval);
    for (const key of keyNumbers)
        appendKey(key);
    setKey('');
    txtEncrypt.value = '';
    txtEncrypt.focus();
})();
