// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "textreplacer.h"

#include "textbox.h"
#include "undocheckpoint.h"
#include "wrapchooser.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

TextReplacer::TextReplacer(TextBox* textBox, WrapChooser* wrapChooser)
    : textBox_(textBox), wrapChooser_(wrapChooser)
{}

QString TextReplacer::textOf(const QTextDocument* document)
{
    QString text = document->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

TextReplacer::Put TextReplacer::put(const QString& text, const QString* before, const Writer& write)
{
    const UndoCheckpoint checkpoint(textBox_->document());
    try {
        replace(text, write);
        layOutShownText();
        return Put::done;
    } catch (...) {
    }
    try {
        if (checkpoint.restore() && (!before || textOf(textBox_->document()) == *before))
            return Put::takenBack;
    } catch (...) {
    }
    return Put::damaged;
}

// The edit is closed also when writing fails.
void TextReplacer::replace(const QString& text, const Writer& write)
{
    wrapChooser_->prepareFor(text);
    QTextCursor cursor(textBox_->document());
    cursor.beginEditBlock();
    try {
        write(cursor, text);
    } catch (...) {
        cursor.endEditBlock();
        throw;
    }
    cursor.endEditBlock();
}

// Lays out the paragraphs that the text box shows, so that running out of
// memory there fails here, where the edit can still be taken back, rather
// than in the next repaint.
void TextReplacer::layOutShownText()
{
    const QAbstractTextDocumentLayout* layout = textBox_->document()->documentLayout();
    const int height = textBox_->viewport()->height();
    qreal shown = 0;
    for (QTextBlock block = textBox_->firstVisibleBlock(); block.isValid() && shown < height;
         block = block.next())
        shown += layout->blockBoundingRect(block).height();
}
