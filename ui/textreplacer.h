// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>

class TextBox;
class QTextCursor;
class QTextDocument;
class WrapChooser;

// Replaces the whole text of a text box as one edit that Ctrl+Z takes back,
// and takes a replacement that failed part way back again, so that a failure
// leaves the text and its undo history as they were wherever it can.
class TextReplacer
{
public:
    // How putting a text into the text box ended.
    enum class Put
    {
        done,      // the text box holds the new text
        takenBack, // it failed, and the text box holds its former text again
        damaged    // it failed, and the former text could not be restored
    };
    // Writes a text over the whole text of a cursor's document.
    using Writer = std::function<void(QTextCursor&, const QString&)>;

    TextReplacer(TextBox* textBox, WrapChooser* wrapChooser);

    // Returns the text of `document` unit for unit, with its paragraph breaks
    // as line feeds. toPlainText() would also turn a no-break space into a
    // space and a line separator into a line feed.
    static QString textOf(const QTextDocument* document);

    // Puts `text` in place of the text box's text with `write`, and lays out
    // what the text box shows. When that fails, takes the edit back and says
    // whether the former text, `before` if given, is there again. Nothing
    // thrown leaves here.
    Put put(const QString& text, const QString* before, const Writer& write);

private:
    void replace(const QString& text, const Writer& write);
    void layOutShownText();

    TextBox* textBox_;
    WrapChooser* wrapChooser_;
};
