// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "textbox.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMetaObject>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <memory>

namespace {

// Returns true for the units at which inserted plain text starts a new
// paragraph: QTextCursor::insertText() breaks at these, and at CR LF once.
bool isParagraphBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xfdd0) ||
           c == QChar(0xfdd1);
}

// Returns the length of the longest paragraph of `document`; a line separator
// (U+2028) breaks a line but stays within its paragraph.
qsizetype longestParagraph(const QTextDocument* document)
{
    qsizetype longest = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        longest = std::max<qsizetype>(longest, block.length() - 1);
    return longest;
}

// Copies the units from `start` to `end` of `from` into the empty `into`, and
// returns a cursor on `into`.
QTextCursor copyOf(const QTextDocument* from, int start, int end, QTextDocument* into)
{
    QTextCursor source(const_cast<QTextDocument*>(from));
    source.setPosition(start);
    source.setPosition(end, QTextCursor::KeepAnchor);
    QTextCursor copy(into);
    copy.insertText(source.selectedText());
    return copy;
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
        if (refuseIfLong(makesLongLine(cursor.selectionStart(), cursor.selectionEnd(), text)))
            return;
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

// Returns true, and tells the user after the event, when `tooLong`.
bool TextBox::refuseIfLong(bool tooLong)
{
    if (tooLong)
        QMetaObject::invokeMethod(this, &TextBox::lineTooLong, Qt::QueuedConnection);
    return tooLong;
}

bool TextBox::movesWithin(const QDropEvent* event) const
{
    return event->dropAction() == Qt::MoveAction && event->source() == viewport();
}

// Moving text within the text box first removes it, which joins the lines on
// either side of it, and then inserts it at the drop point, in one edit. A
// move that would make a line too long is refused before anything changes.
void TextBox::dropEvent(QDropEvent* event)
{
    if (!isReadOnly() && movesWithin(event) && event->mimeData()->hasText() &&
        refuseIfLong(moveMakesLongLine(cursorForPosition(event->position().toPoint()).position(),
                                       event->mimeData()->text()))) {
        event->ignore();
        // Takes away the drop point that the drag showed.
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(viewport(), &leave);
        return;
    }
    QPlainTextEdit::dropEvent(event);
}

// Every key that edits goes through here, so the check follows what the key
// does rather than which key it is: Copy and Paste change nothing here (a
// paste is checked as it is taken in), Cut removes the selection, and every
// other key is tried out first on a copy of the lines it can reach.
void TextBox::keyPressEvent(QKeyEvent* event)
{
    if (!isReadOnly() && !event->matches(QKeySequence::Copy) &&
        !event->matches(QKeySequence::Paste)) {
        const QTextCursor cursor = textCursor();
        const bool tooLong = event->matches(QKeySequence::Cut)
                                 ? makesLongLine(cursor.selectionStart(), cursor.selectionEnd(), {})
                                 : editMakesLongLine(event, event->text().size() + 1);
        if (refuseIfLong(tooLong)) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

// An input method commits text in place of the selection or of some units
// around the cursor; it is tried out first like a key.
void TextBox::inputMethodEvent(QInputMethodEvent* event)
{
    const bool edits = !event->commitString().isEmpty() || event->replacementLength() > 0;
    if (!isReadOnly() && edits &&
        refuseIfLong(editMakesLongLine(event, event->commitString().size()))) {
        event->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

// Returns true when `event`, which adds at most `inserted` units, would leave
// a line longer than maxLineLength() and longer than any before. An edit
// reaches only the paragraphs of the selection and the ones either side of
// it: when they are too short together to make a long line, nothing is
// tried; else the event is sent to a hidden editor that holds a copy of them.
bool TextBox::editMakesLongLine(const QEvent* event, qsizetype inserted) const
{
    const QTextCursor cursor = textCursor();
    QTextBlock first = document()->findBlock(cursor.selectionStart());
    QTextBlock last = document()->findBlock(cursor.selectionEnd());
    if (first.previous().isValid())
        first = first.previous();
    if (last.next().isValid())
        last = last.next();
    const int start = first.position();
    const int end = last.position() + last.length() - 1;
    if (end - start + inserted <= maxLineLength_)
        return false;
    QPlainTextEdit scratch;
    scratch.setTabChangesFocus(tabChangesFocus());
    scratch.setOverwriteMode(overwriteMode());
    QTextCursor tried = copyOf(document(), start, end, scratch.document());
    tried.setPosition(cursor.anchor() - start);
    tried.setPosition(cursor.position() - start, QTextCursor::KeepAnchor);
    scratch.setTextCursor(tried);
    const qsizetype before = longestParagraph(scratch.document());
    const std::unique_ptr<QEvent> copy(event->clone());
    QCoreApplication::sendEvent(&scratch, copy.get());
    const qsizetype after = longestParagraph(scratch.document());
    return after > maxLineLength_ && after > before;
}

// Returns true when moving the selection, `text`, to position `at` would
// leave a line longer than maxLineLength() and longer than any before.
bool TextBox::moveMakesLongLine(int at, const QString& text) const
{
    const QTextCursor cursor = textCursor();
    const QTextBlock first = document()->findBlock(std::min(cursor.selectionStart(), at));
    const QTextBlock last = document()->findBlock(std::max(cursor.selectionEnd(), at));
    const int start = first.position();
    const int end = last.position() + last.length() - 1;
    if (end - start <= maxLineLength_)
        return false;
    QTextDocument scratch;
    QTextCursor moved = copyOf(document(), start, end, &scratch);
    moved.setPosition(cursor.selectionStart() - start);
    moved.setPosition(cursor.selectionEnd() - start, QTextCursor::KeepAnchor);
    QTextCursor target(&scratch);
    target.setPosition(at - start);
    const qsizetype before = longestParagraph(&scratch);
    moved.removeSelectedText();
    target.insertText(text);
    const qsizetype after = longestParagraph(&scratch);
    return after > maxLineLength_ && after > before;
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
