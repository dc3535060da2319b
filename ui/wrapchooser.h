// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QStringView>
#include <QTextCursor>
#include <kelvane/frontend.h>

class TextBox;

// Chooses how a text box wraps its lines. Qt looks for a word boundary to the
// end of a run without white space for every line it wraps, so wrapping a long
// run at word boundaries costs time quadratic in its length; while the text
// holds such a run, the text box wraps anywhere, which costs linear time.
// It keeps a cursor on one paragraph known to hold a long run, which the
// document moves along with its edits: an edit elsewhere needs no search, and
// the whole text is searched only when that paragraph's run may be gone.
class WrapChooser : public QObject
{
    Q_OBJECT

public:
    // The longest run of units without white space that is still wrapped at
    // word boundaries.
    static constexpr auto longRunLimit = static_cast<qsizetype>(kelvane::longRunLimit);

    // Follows the edits of `textBox`'s document and sets its wrap mode.
    explicit WrapChooser(TextBox* textBox);

    // Returns true when `text` holds more than longRunLimit units in a row
    // without white space.
    static bool hasLongRun(QStringView text);

    // Wraps anywhere before `text` comes in, if it holds a long run, which
    // spares laying it out at word boundaries first.
    void prepareFor(QStringView text);

private:
    void update(int position, int charsRemoved, int charsAdded);

    TextBox* textBox_;
    // At the start of a paragraph that holds a long run; null when none does.
    QTextCursor longRun_;
};
