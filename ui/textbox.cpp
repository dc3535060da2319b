// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "textbox.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
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

// Returns the units from `start` to `end` of `document`, its paragraph
// breaks as U+2029.
QString unitsBetween(const QTextDocument* document, int start, int end)
{
    QTextCursor source(const_cast<QTextDocument*>(document));
    source.setPosition(start);
    source.setPosition(end, QTextCursor::KeepAnchor);
    return source.selectedText();
}

// Returns the few units from `start` to `end` of `document`, its paragraph
// breaks as U+2029, read one by one: a cursor would measure the x position
// of each end it is set to, which lays out the whole paragraph around it and
// takes seconds in a line of tens of millions of units.
QString fewUnitsBetween(const QTextDocument* document, int start, int end)
{
    QString text;
    text.reserve(end - start);
    for (int position = start; position < end; ++position)
        text += document->characterAt(position);
    return text;
}

// Copies the units from `start` to `end` of `from` into the empty `into`, and
// returns a cursor on `into`.
QTextCursor copyOf(const QTextDocument* from, int start, int end, QTextDocument* into)
{
    QTextCursor copy(into);
    copy.insertText(unitsBetween(from, start, end));
    return copy;
}

} // namespace

const QString TextBox::unitsMimeType = QStringLiteral("application/x-kelvane-utf16");

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {}

// Returns the text of `source`: its exact units when it offers them, else its
// plain text.
QString TextBox::textOf(const QMimeData* source)
{
    if (source->hasFormat(unitsMimeType)) {
        const QByteArray bytes = source->data(unitsMimeType);
        if (bytes.size() % 2 == 0)
            return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
    }
    return source->text();
}

// Qt's own export turns a line separator into a line feed and a no-break
// space into a space, so text moved through the clipboard, a drag or the
// selection would change its cipher text. Here the selection goes out unit
// for unit, only its paragraph breaks as line feeds, as the commands read it.
QMimeData* TextBox::createMimeDataFromSelection() const
{
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    auto* data = new QMimeData;
    data->setData(unitsMimeType, QByteArray(reinterpret_cast<const char*>(text.constData()),
                                            text.size() * qsizetype{sizeof(QChar)}));
    data->setText(text);
    return data;
}

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
    return source->hasFormat(unitsMimeType) ||
           (source->hasText() && QPlainTextEdit::canInsertFromMimeData(source));
}

// Takes in the exact units or the plain text of a paste or a drop, as one
// undoable edit. Qt's own way would read a source that offers Markdown first
// as Markdown, and change the text; and it would take in a line too long to
// show, which the text box then shows as empty. Nothing thrown leaves here.
void TextBox::insertFromMimeData(const QMimeData* source)
{
    if (isReadOnly() || !source || !canInsertFromMimeData(source))
        return;
    QTextCursor cursor = textCursor();
    bool editOpen = false;
    try {
        const QString text = textOf(source);
        if (refuseIfLong(makesLongLine(cursor.selectionStart(), cursor.selectionEnd(), text)))
            return;
        cursor.beginEditBlock();
        editOpen = true;
        cursor.insertText(text);
        cursor.endEditBlock();
        editOpen = false;
        dropRefused_ = false;
        setTextCursor(cursor);
        ensureCursorVisible();
    } catch (...) {
        if (editOpen)
            cursor.endEditBlock();
        QMetaObject::invokeMethod(this, &TextBox::insertFailed, Qt::QueuedConnection);
    }
}

// Returns true, and tells the user after the event, when pasting the
// clipboard would make a line too long. A paste key refused here never
// reaches Qt, which would first measure the caret in the whole line.
bool TextBox::pasteMakesLongLine()
{
    const QMimeData* source = QGuiApplication::clipboard()->mimeData();
    if (!source || !canInsertFromMimeData(source))
        return false;
    const QTextCursor cursor = textCursor();
    return refuseIfLong(
        makesLongLine(cursor.selectionStart(), cursor.selectionEnd(), textOf(source)));
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
// Qt accepts a drop whether or not its text was taken in; a drop that was
// not is reported as ignored, so that the source keeps a text that it was
// told to move.
void TextBox::dropEvent(QDropEvent* event)
{
    if (!isReadOnly() && movesWithin(event) && canInsertFromMimeData(event->mimeData()) &&
        refuseIfLong(moveMakesLongLine(cursorForPosition(event->position().toPoint()).position(),
                                       textOf(event->mimeData())))) {
        ignoreDrop(event);
        return;
    }
    draggedText_.reset();
    dropRefused_ = true;
    QPlainTextEdit::dropEvent(event);
    if (dropRefused_)
        ignoreDrop(event);
    dropRefused_ = false;
}

// Over X11 a source learns what a drop did from the answers to the drag's
// moves, not from the drop itself: a drop point where the text would make a
// line too long is refused already here, so that the source is told that
// nothing was taken. Moving text within the text box, which the source
// does not delete, is judged at the drop.
void TextBox::dragMoveEvent(QDragMoveEvent* event)
{
    QPlainTextEdit::dragMoveEvent(event);
    if (!event->isAccepted() || isReadOnly() || movesWithin(event) ||
        !canInsertFromMimeData(event->mimeData()))
        return;
    // Another program hands its data over anew each time it is asked.
    if (!draggedText_)
        draggedText_ = textOf(event->mimeData());
    // A text too short to make a long line needs no drop point.
    if (document()->characterCount() + draggedText_->size() <= maxLineLength_)
        return;
    const int at = cursorForPosition(event->position().toPoint()).position();
    if (makesLongLine(at, at, *draggedText_))
        event->ignore();
}

void TextBox::dragEnterEvent(QDragEnterEvent* event)
{
    draggedText_.reset();
    QPlainTextEdit::dragEnterEvent(event);
}

void TextBox::dragLeaveEvent(QDragLeaveEvent* event)
{
    draggedText_.reset();
    QPlainTextEdit::dragLeaveEvent(event);
}

// Reports `event` as ignored and takes away the drop point that the drag
// showed.
void TextBox::ignoreDrop(QDropEvent* event)
{
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(viewport(), &leave);
}

// Every key that edits goes through here, so the check follows what the key
// does rather than which key it is: Copy, Paste, Undo and Redo pass (a paste
// is checked as it is taken in, and undo and redo bring back texts that were
// shown), Cut removes the selection, and every other key is tried out first
// on a copy of the lines it can reach.
void TextBox::keyPressEvent(QKeyEvent* event)
{
    if (!isReadOnly() && event->matches(QKeySequence::Paste) && pasteMakesLongLine()) {
        event->accept();
        return;
    }
    const bool keepsText = event->matches(QKeySequence::Copy) ||
                           event->matches(QKeySequence::Paste) ||
                           event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo);
    if (!isReadOnly() && !keepsText) {
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
// reaches only the selection and the paragraphs either side of it: when they
// are too short together to make a long line, nothing is tried. Else the event
// is sent to a hidden editor holding the text around the selection: up to
// `context` units either side of it, and the selection itself, or only its
// ends when it is long, since an edit replaces a selection whole. The units of
// the outer paragraphs beyond the copy are added back to the copy's first and
// last paragraphs, so a line of millions of units costs no more than a short
// one.
bool TextBox::editMakesLongLine(const QEvent* event, qsizetype inserted) const
{
    constexpr int context = 1024;
    const QTextCursor cursor = textCursor();
    const int selectionStart = cursor.selectionStart();
    const int selectionEnd = cursor.selectionEnd();
    QTextBlock first = document()->findBlock(selectionStart);
    QTextBlock last = document()->findBlock(selectionEnd);
    if (first.previous().isValid())
        first = first.previous();
    if (last.next().isValid())
        last = last.next();
    if (last.position() + last.length() - 1 - first.position() + inserted <= maxLineLength_)
        return false;

    const int from = std::max(first.position(), selectionStart - context);
    const int to = std::min(last.position() + last.length() - 1, selectionEnd + context);
    const int dropped = std::max(0, selectionEnd - selectionStart - 2 * context);
    QString text = fewUnitsBetween(document(), from, dropped ? selectionStart + context : to);
    if (dropped)
        text += fewUnitsBetween(document(), selectionEnd - context, to);
    const QTextBlock firstCopied = document()->findBlock(from);
    const QTextBlock lastCopied = document()->findBlock(to);
    const qsizetype hiddenBefore = from - firstCopied.position();
    const qsizetype hiddenAfter = lastCopied.position() + lastCopied.length() - 1 - to;
    qsizetype before = 0;
    for (QTextBlock block = firstCopied; block.isValid(); block = block.next()) {
        before = std::max<qsizetype>(before, block.length() - 1);
        if (block == lastCopied)
            break;
    }

    QPlainTextEdit scratch;
    scratch.document()->setUndoRedoEnabled(false);
    scratch.setTabChangesFocus(tabChangesFocus());
    scratch.setOverwriteMode(overwriteMode());
    QTextCursor tried(scratch.document());
    tried.insertText(text);
    const bool backwards = cursor.position() < cursor.anchor();
    const int startInCopy = selectionStart - from;
    const int endInCopy = selectionEnd - from - dropped;
    tried.setPosition(backwards ? endInCopy : startInCopy);
    tried.setPosition(backwards ? startInCopy : endInCopy, QTextCursor::KeepAnchor);
    scratch.setTextCursor(tried);
    bool changed = false;
    connect(scratch.document(), &QTextDocument::contentsChange, &scratch,
            [&changed] { changed = true; });
    const std::unique_ptr<QEvent> copy(event->clone());
    QCoreApplication::sendEvent(&scratch, copy.get());
    if (!changed)
        return false;
    qsizetype after = 0;
    for (QTextBlock block = scratch.document()->begin(); block.isValid(); block = block.next()) {
        qsizetype length = block.length() - 1;
        if (block == scratch.document()->firstBlock())
            length += hiddenBefore;
        if (block == scratch.document()->lastBlock())
            length += hiddenAfter;
        after = std::max(after, length);
    }
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
