// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "textbox.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMetaObject>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Returns true for the units at which inserted plain text starts a new
// paragraph: QTextCursor::insertText() breaks at these, and at CR LF once.
bool isParagraphBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xfdd0) ||
           c == QChar(0xfdd1);
}

} // namespace

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {}

// Returns true when putting `text` in place of the units from `start` to
// `end` would make a line longer than maxLineLength().
bool TextBox::makesLongLine(qsizetype start, qsizetype end, QStringView text) const
{
    const QTextBlock first = document()->findBlock(static_cast<int>(start));
    const QTextBlock last = document()->findBlock(static_cast<int>(end));
    const qsizetype before = start - first.position();
    const qsizetype after = last.position() + last.length() - 1 - end;
    // Most texts are too short to need their line breaks found.
    if (before + text.size() + after <= maxLineLength_)
        return false;
    qsizetype line = before;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isParagraphBreak(text[i])) {
            ++line;
            continue;
        }
        if (line > maxLineLength_)
            return true;
        line = 0;
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    }
    return line + after > maxLineLength_;
}

bool TextBox::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText() && QPlainTextEdit::canInsertFromMimeData(source);
}

// Takes in the plain text of a paste or a drop, as one undoable edit. Qt's
// own way would read a source that offers Markdown first as Markdown, and
// change the text; and it would take in a line too long to show, which the
// text box then shows as empty. Nothing thrown leaves here.
void TextBox::insertFromMimeData(const QMimeData* source)
{
    if (isReadOnly() || !source || !source->hasText())
        return;
    QTextCursor cursor = textCursor();
    bool editOpen = false;
    try {
        const QString text = source->text();
        if (makesLongLine(cursor.selectionStart(), cursor.selectionEnd(), text)) {
            refused_ = true;
            QMetaObject::invokeMethod(this, &TextBox::lineTooLong, Qt::QueuedConnection);
            return;
        }
        cursor.beginEditBlock();
        editOpen = true;
        cursor.insertText(text);
        cursor.endEditBlock();
        editOpen = false;
        setTextCursor(cursor);
        ensureCursorVisible();
    } catch (...) {
        if (editOpen)
            cursor.endEditBlock();
        QMetaObject::invokeMethod(this, &TextBox::insertFailed, Qt::QueuedConnection);
    }
}

// Moving text within the text box first removes it, which joins the lines
// on either side of it, and then inserts it at the drop point, all in one
// edit. If either step would make a line too long, the whole move is taken
// back.
void TextBox::dropEvent(QDropEvent* event)
{
    const bool moveWithin = event->dropAction() == Qt::MoveAction && event->source() == viewport();
    if (!moveWithin) {
        QPlainTextEdit::dropEvent(event);
        return;
    }
    // A copy of the cursor follows the edits: it ends up in the joined line.
    const QTextCursor joined = textCursor();
    const int undoSteps = document()->availableUndoSteps();
    refused_ = false;
    QPlainTextEdit::dropEvent(event);
    const bool tooLong = joined.block().length() - 1 > maxLineLength_;
    if (tooLong && !refused_)
        QMetaObject::invokeMethod(this, &TextBox::lineTooLong, Qt::QueuedConnection);
    if ((tooLong || refused_) && document()->availableUndoSteps() > undoSteps) {
        undo();
        document()->clearUndoRedoStacks(QTextDocument::RedoStack);
    }
    refused_ = false;
}

// Returns true when `event` would delete or type text that makes a line
// longer than maxLineLength(): deleting a line break joins two lines, and
// typing over a selection joins the lines on either side of it. Deleting a
// word at a line's end is taken as deleting the line break alone.
bool TextBox::makesLongLine(const QKeyEvent* event) const
{
    const QTextCursor cursor = textCursor();
    const bool back =
        event->key() == Qt::Key_Backspace || event->matches(QKeySequence::DeleteStartOfWord);
    const bool forward =
        event->matches(QKeySequence::Delete) || event->matches(QKeySequence::DeleteEndOfWord);
    const bool deletes = back || forward || event->matches(QKeySequence::Cut);
    const QString typed = event->text();
    // Tab moves the focus; it types nothing.
    const bool types =
        !typed.isEmpty() && typed.front().isPrint() && !(event->modifiers() & Qt::ControlModifier);
    const qsizetype position = cursor.position();
    if (cursor.hasSelection() && (deletes || types))
        return makesLongLine(cursor.selectionStart(), cursor.selectionEnd(),
                             deletes ? QString() : typed);
    if (back && cursor.atBlockStart() && position > 0)
        return makesLongLine(position - 1, position, {});
    if (forward && cursor.atBlockEnd() && !cursor.atEnd())
        return makesLongLine(position, position + 1, {});
    return types && makesLongLine(position, position, typed);
}

void TextBox::keyPressEvent(QKeyEvent* event)
{
    if (!isReadOnly() && makesLongLine(event)) {
        event->accept();
        QMetaObject::invokeMethod(this, &TextBox::lineTooLong, Qt::QueuedConnection);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

// Qt's own menu, with Cut and Delete disabled while removing the selection
// would join lines into one too long to show.
void TextBox::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection() &&
        makesLongLine(cursor.selectionStart(), cursor.selectionEnd(), QString())) {
        for (QAction* action : menu->actions()) {
            if (action->objectName() == QLatin1String("edit-cut") ||
                action->objectName() == QLatin1String("edit-delete"))
                action->setEnabled(false);
        }
    }
    menu->popup(event->globalPos());
}
