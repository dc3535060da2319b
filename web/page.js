// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// The window in the page: the controls, the load step, the commands and the
// banner. All ciphering is done by the C++ core (createKelvaneCore); the page
// only moves the text box's UTF-16 units in and out of it.
'use strict';

(() => {
    // The credit line and the one space that, with the credit line's own
    // trailing space, separates its end from its beginning as it cycles.
    const bannerText =
        'Kelvane Software www.kelvane.example.org  E-mail:support@kelvane.example.org  ';
    const bannerInterval = 65; // milliseconds per one-character step
    const keyNumbers = ['1', '2', '3', '4', '5', '6', '7', '8', '9', '10'];
    const tooLarge = 'The text is too large to process. It has been left unchanged.';
    const notProcessed = 'The text could not be processed. It has been left unchanged.';

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

    // The window is busy while the core loads and while a command runs.
    const frmKelvane = control('frmKelvane');
    let commandRunning = false;
    let core = createCore();
    const coreSettled = () => frmKelvane.setAttribute('aria-busy', String(commandRunning));
    core.then(coreSettled, coreSettled);
    let timer = 0;
    let ended = false;

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

    // Returns the index of the codebook whose key number is `key` exactly, or -1.
    function findCodebook(module, key) {
        return withUnits(module, key,
            (address) => module._kelvane_find_codebook(address, key.length));
    }

    // Returns `text` encrypted or decrypted with codebook `index`.
    function transform(module, text, index, encrypting) {
        return withUnits(module, text, (address) => {
            const length = module._kelvane_transform(address, text.length, index,
                encrypting ? 0 : 1);
            if (length < 0)
                throw new Error('no such codebook');
            try {
                return readUnits(module, module._kelvane_result(), length, isWellFormed(text));
            } finally {
                module._kelvane_release_result();
            }
        });
    }

    // Returns true when `text` comes back exactly after encryption and decryption.
    function roundTrips(module, text, index) {
        return withUnits(module, text,
            (address) => module._kelvane_round_trips(address, text.length, index) === 1);
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

    // Shows a message under `title` with a single OK button.
    function tell(title, message) {
        return messageBox(title, message);
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
    let typing = null; // the open run of typing: its kind and where its caret is

    // Longest run of units without white space that is still wrapped at word
    // boundaries: laying out a text with such runs costs the browser a third
    // more time, and a cipher text is little else. Longer runs make the text
    // box wrap anywhere, as the desktop window does.
    const longRun = /\S{2001}/;

    function updateWrapMode() {
        txtEncrypt.classList.toggle('wrap-anywhere', longRun.test(txtEncrypt.value));
    }

    const snapshot = () => ({
        value: txtEncrypt.value,
        start: txtEncrypt.selectionStart,
        end: txtEncrypt.selectionEnd,
    });

    function restore(state) {
        txtEncrypt.classList.toggle('wrap-anywhere', longRun.test(state.value));
        txtEncrypt.value = state.value;
        txtEncrypt.setSelectionRange(state.start, state.end);
        typing = null;
    }

    function undo() {
        if (undoStack.length === 0)
            return;
        redoStack.push(snapshot());
        restore(undoStack.pop());
    }

    function redo() {
        if (redoStack.length === 0)
            return;
        undoStack.push(snapshot());
        restore(redoStack.pop());
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
            (event.inputType === 'historyUndo' ? undo : redo)();
            return;
        }
        const kind = editKind(event.inputType);
        const caret = txtEncrypt.selectionStart;
        const continues = kind !== null && typing !== null && typing.kind === kind &&
            caret === txtEncrypt.selectionEnd && caret === typing.caret;
        if (!continues) {
            undoStack.push(snapshot());
            redoStack.length = 0;
        }
        typing = { kind, caret: -1 };
    });
    txtEncrypt.addEventListener('input', (event) => {
        if (typing !== null)
            typing.caret = txtEncrypt.selectionStart;
        // Typing adds one unit at a time; anything else may make or remove a long run.
        if (event.inputType !== 'insertText' || txtEncrypt.classList.contains('wrap-anywhere'))
            updateWrapMode();
    });
    txtEncrypt.addEventListener('keydown', (event) => {
        if (!(event.ctrlKey || event.metaKey) || event.altKey || event.key.toLowerCase() !== 'z' &&
            event.key.toLowerCase() !== 'y')
            return;
        event.preventDefault();
        (event.key.toLowerCase() === 'z' && !event.shiftKey ? undo : redo)();
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
        undoStack.push(snapshot());
        redoStack.length = 0;
        typing = null;
        // Switching before the text arrives spares laying the old text out again.
        txtEncrypt.classList.toggle('wrap-anywhere', longRun.test(text));
        txtEncrypt.value = text;
        txtEncrypt.setSelectionRange(0, 0);
        txtEncrypt.scrollTop = 0;
    }

    // ---- Commands ---------------------------------------------------------

    // Checks the key and the text, telling the user what is missing, and then
    // replaces the text with the whole result of the pass in one undoable
    // edit. A key text that is no key number ends the command quietly, and
    // the text box keeps its text unless the whole result is ready.
    async function runCommand(encrypting) {
        if (commandRunning || ended)
            return;
        commandRunning = true;
        frmKelvane.setAttribute('aria-busy', 'true');
        try {
            const key = cboKey.value;
            if (key === '')
                await tell('Key Selection', 'Please select an encryption key!');
            if (txtEncrypt.value === '') {
                await tell('Text Entry', encrypting ? 'Please enter the text to be encrypted!'
                    : 'Please enter the text to be decrypted!');
                txtEncrypt.focus();
            }
            let failure = null;
            try {
                const module = await core;
                const index = findCodebook(module, key);
                if (index < 0)
                    return;
                const text = txtEncrypt.value;
                const result = transform(module, text, index, encrypting);
                if (result === text)
                    return;
                // Digits in a plain text can be read as codes on the way
                // back; ask before making a cipher text that will not decrypt
                // to this text.
                if (encrypting && !roundTrips(module, text, index)) {
                    const answer = await messageBox('Digits in Text',
                        'Some digits in this text will not come back unchanged after decryption. ' +
                        'Encrypt anyway?', ['Yes', 'No'], 'No', true);
                    if (answer !== 'Yes')
                        return;
                }
                replaceText(result);
            } catch (error) {
                // The core aborts when it runs out of memory and may be left
                // half-way by anything else it throws; a fresh one serves the
                // next command. A string too long for the browser is a RangeError.
                if (!(error instanceof RangeError))
                    core = createCore();
                const memory = error instanceof RangeError ||
                    (error instanceof WebAssembly.RuntimeError && /memory|abort/i.test(error.message));
                failure = memory ? tooLarge : notProcessed;
            }
            if (failure)
                await tell('Kelvane Encryptor', failure);
        } finally {
            commandRunning = false;
            frmKelvane.setAttribute('aria-busy', 'false');
        }
    }

    // Empties the text box as one undoable edit and puts the focus in it.
    function clearText() {
        if (txtEncrypt.value !== '')
            replaceText('');
        txtEncrypt.focus();
    }

    // Ends the program: closes the page where the browser allows it and
    // otherwise leaves an empty page that says so. The text is gone either way.
    function exitProgram() {
        ended = true;
        window.clearInterval(timer);
        window.close();
        if (window.closed)
            return;
        const note = document.createElement('p');
        note.className = 'ended';
        note.textContent = 'Kelvane Encryptor has ended. You can close this page.';
        document.body.replaceChildren(note);
    }

    // Moves the banner's first unit to its end; the label's text is the only state.
    function rotateBanner() {
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
        cboKey.value = keyItems()[index].textContent;
        setKeyListOpen(false);
        cboKey.focus();
        cboKey.select();
    }

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
                cboKey.value = keyItems()[to].textContent;
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

    // Clear is the window's cancel button: Escape anywhere presses it, except
    // in a message box, which Escape closes.
    document.addEventListener('keydown', (event) => {
        if (event.key !== 'Escape' || event.defaultPrevented || event.isComposing || ended)
            return;
        if (document.querySelector('dialog[open]'))
            return;
        event.preventDefault();
        cmdClear.click();
    });

    cmdEncrypt.addEventListener('click', () => runCommand(true));
    cmdDecrypt.addEventListener('click', () => runCommand(false));
    cmdClear.addEventListener('click', clearText);
    cmdExit.addEventListener('click', exitProgram);

    // ---- The load step ----------------------------------------------------

    Label1Text.textContent = bannerText;
    Label1.setAttribute('aria-label', bannerText.trim());
    timer = window.setInterval(rotateBanner, bannerInterval);
    for (const key of keyNumbers)
        appendKey(key);
    cboKey.value = '';
    txtEncrypt.value = '';
    txtEncrypt.focus();
})();
