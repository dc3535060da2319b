// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wrapchooser.h"

#include "textbox.h"

#include <QTextBlock>
#include <QTextDocument>

namespace {

// Returns the first block from `first` to `last`, both included, that holds a
// long run, or an invalid block.
QTextBlock longRunBlock(QTextBlock first, const QTextBlock& last)
{
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        if (block.length() > WrapChooser::longRunLimit && WrapChooser::hasLongRun(block.text()))
            return block;
        if (block == last)
            break;
    }
    return {};
}

// Returns the wrap mode that lays `longRun` text out in linear time.
QTextOption::WrapMode wrapModeFor(bool longRun)
{
    return longRun ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
}

} // namespace

WrapChooser::WrapChooser(TextBox* textBox) : QObject(textBox), textBox_(textBox)
{
    textBox_->setWordWrapMode(wrapModeFor(false));
    connect(textBox_->document(), &QTextDocument::contentsChange, this, &WrapChooser::update);
}

bool WrapChooser::hasLongRun(QStringView text)
{
    qsizetype run = 0;
    for (const QChar c : text) {
        if (c.isSpace())
            run = 0;
        else if (++run > longRunLimit)
            return true;
    }
    return false;
}

// The way back to word boundaries is left to update(), which runs once the old
// text is gone: switching now would lay out the old text again.
void WrapChooser::prepareFor(QStringView text)
{
    if (hasLongRun(text))
        textBox_->setWordWrapMode(QTextOption::WrapAnywhere);
}

// Blocks outside the change are as they were: while the known long run lies
// outside it, nothing is searched; else the changed blocks are, and the whole
// text only when the known run is gone from them.
void WrapChooser::update(int position, int /*charsRemoved*/, int charsAdded)
{
    const QTextDocument* document = textBox_->document();
    const QTextBlock first = document->findBlock(position);
    QTextBlock last = document->findBlock(position + charsAdded);
    if (!last.isValid())
        last = document->lastBlock();
    const int changedEnd = last.position() + last.length() - 1;
    const bool known = !longRun_.isNull();
    if (!known || (longRun_.position() >= first.position() && longRun_.position() <= changedEnd)) {
        QTextBlock found = longRunBlock(first, last);
        if (!found.isValid() && known)
            found = longRunBlock(document->begin(), document->lastBlock());
        longRun_ = found.isValid() ? QTextCursor(found) : QTextCursor();
    }
    const QTextOption::WrapMode mode = wrapModeFor(!longRun_.isNull());
    if (mode != textBox_->wordWrapMode())
        textBox_->setWordWrapMode(mode);
}
