// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wrapchooser.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// Returns true when a block from `first` to `last`, both included, holds a
// long run.
bool hasLongRun(QTextBlock first, const QTextBlock& last)
{
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        if (block.length() > WrapChooser::longRunLimit && WrapChooser::hasLongRun(block.text()))
            return true;
        if (block == last)
            break;
    }
    return false;
}

// Returns the wrap mode that lays `longRun` text out in linear time.
QTextOption::WrapMode wrapModeFor(bool longRun)
{
    return longRun ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
}

} // namespace

WrapChooser::WrapChooser(QPlainTextEdit* textBox) : QObject(textBox), textBox_(textBox)
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

// Only the changed blocks are searched, except while wrapping anywhere, when
// the change may have removed the last long run.
void WrapChooser::update(int position, int /*charsRemoved*/, int charsAdded)
{
    const QTextDocument* document = textBox_->document();
    const bool anywhere = textBox_->wordWrapMode() == QTextOption::WrapAnywhere;
    const bool longRun = anywhere ? ::hasLongRun(document->begin(), document->lastBlock())
                                  : ::hasLongRun(document->findBlock(position),
                                                 document->findBlock(position + charsAdded));
    const QTextOption::WrapMode mode = wrapModeFor(longRun);
    if (mode != textBox_->wordWrapMode())
        textBox_->setWordWrapMode(mode);
}
