// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "textboxaccessible.h"

#include "textbox.h"
#include "textboxlayout.h"
#include "units.h"

#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

namespace {

// The most units either side of an offset that a word or a sentence is
// looked for in; a longer run of letters is read in pieces.
constexpr int wordWindow = 1024;
constexpr int sentenceWindow = 8192;
// The longest text that the accessible value holds.
constexpr int valueLimit = 65536;

// Returns the units from `start` to `end` of `document`, its paragraph breaks
// as U+2029: a few are read one by one, more through a cursor.
QString unitsOfRange(const QTextDocument* document, int start, int end)
{
    return end - start <= valueLimit ? kelvane::fewUnitsBetween(document, start, end)
                                     : kelvane::unitsBetween(document, start, end);
}

// Returns `offset` with -1 read as the end of a text of `count` units, or -1
// when it lies outside the text.
int offsetIn(int offset, int count)
{
    if (offset == -1)
        return count;
    return offset >= 0 && offset <= count ? offset : -1;
}

} // namespace

TextBoxAccessible::TextBoxAccessible(TextBox* textBox)
    : QAccessibleWidget(textBox, QAccessible::EditableText)
{}

QAccessibleInterface* TextBoxAccessible::create(const QString& /*className*/, QObject* object)
{
    if (auto* textBox = qobject_cast<TextBox*>(object))
        return new TextBoxAccessible(textBox);
    return nullptr;
}

TextBox* TextBoxAccessible::textBox() const
{
    return static_cast<TextBox*>(widget());
}

QAccessible::State TextBoxAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.multiLine = true;
    state.selectableText = true;
    state.editable = !textBox()->isReadOnly();
    state.readOnly = textBox()->isReadOnly();
    return state;
}

// The value is the text, as long as it is short; the text interface reads
// any text in pieces.
QString TextBoxAccessible::text(QAccessible::Text type) const
{
    if (type == QAccessible::Value) {
        const int count = characterCount();
        return count <= valueLimit ? text(0, count) : QString();
    }
    return QAccessibleWidget::text(type);
}

void* TextBoxAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

void TextBoxAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    const QTextCursor cursor = textBox()->textCursor();
    if (selectionIndex == 0 && cursor.hasSelection()) {
        *startOffset = cursor.selectionStart();
        *endOffset = cursor.selectionEnd();
    }
}

int TextBoxAccessible::selectionCount() const
{
    return textBox()->textCursor().hasSelection() ? 1 : 0;
}

void TextBoxAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void TextBoxAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex != 0)
        return;
    QTextCursor cursor = textBox()->textCursor();
    cursor.clearSelection();
    textBox()->setTextCursor(cursor);
}

void TextBoxAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    const int count = characterCount();
    QTextCursor cursor = textBox()->textCursor();
    cursor.setPosition(std::clamp(startOffset, 0, count));
    cursor.setPosition(std::clamp(endOffset, 0, count), QTextCursor::KeepAnchor);
    textBox()->setTextCursor(cursor);
}

int TextBoxAccessible::cursorPosition() const
{
    return textBox()->textCursor().position();
}

void TextBoxAccessible::setCursorPosition(int position)
{
    QTextCursor cursor = textBox()->textCursor();
    cursor.setPosition(std::clamp(position, 0, characterCount()));
    textBox()->setTextCursor(cursor);
}

QString TextBoxAccessible::text(int startOffset, int endOffset) const
{
    const int count = characterCount();
    startOffset = std::clamp(startOffset, 0, count);
    endOffset = std::clamp(endOffset, startOffset, count);
    return unitsOfRange(textBox()->document(), startOffset, endOffset);
}

int TextBoxAccessible::characterCount() const
{
    return textBox()->document()->characterCount() - 1;
}

// Returns the start and the end of the character, word, sentence, line or
// paragraph at `offset`. Words and sentences are looked for in a window of
// the paragraph around the offset, lines in the paragraph's layout.
std::pair<int, int> TextBoxAccessible::unitAt(int offset,
                                              QAccessible::TextBoundaryType boundaryType) const
{
    const QTextDocument* document = textBox()->document();
    const int count = characterCount();
    offset = std::clamp(offset, 0, count);
    if (boundaryType == QAccessible::NoBoundary)
        return {0, count};
    const QTextBlock block = document->findBlock(offset);
    const int blockStart = block.position();
    const int blockEnd = blockStart + block.length() - 1;
    switch (boundaryType) {
    case QAccessible::ParagraphBoundary:
        return {blockStart, blockEnd};
    case QAccessible::LineBoundary: {
        const TextBoxLayout* layout = textBox()->layout_;
        const VisualLine line =
            layout->visualLine(block, layout->lineOf(block, offset - blockStart));
        return {blockStart + line.start(), std::min(blockEnd, blockStart + line.end())};
    }
    default:
        break;
    }
    if (offset >= blockEnd) // at the paragraph break
        return {offset, std::min(offset + 1, count)};
    const int window = boundaryType == QAccessible::CharBoundary   ? 8
                       : boundaryType == QAccessible::WordBoundary ? wordWindow
                                                                   : sentenceWindow;
    const int from = std::max(blockStart, offset - window);
    const int to = std::min(blockEnd, offset + window);
    const QString units = unitsOfRange(document, from, to);
    const auto type = boundaryType == QAccessible::CharBoundary   ? QTextBoundaryFinder::Grapheme
                      : boundaryType == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                                                  : QTextBoundaryFinder::Sentence;
    QTextBoundaryFinder finder(type, units);
    finder.setPosition(offset - from);
    int start = offset - from;
    if (!finder.isAtBoundary())
        start = std::max(0, int(finder.toPreviousBoundary()));
    finder.setPosition(offset - from);
    const qsizetype next = finder.toNextBoundary();
    const int end = next < 0 ? int(units.size()) : int(next);
    return {from + start, from + end};
}

QString TextBoxAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    offset = offsetIn(offset, count);
    if (offset < 0 || (offset == count && boundaryType == QAccessible::CharBoundary))
        return {};
    const auto [start, end] = unitAt(offset, boundaryType);
    *startOffset = start;
    *endOffset = end;
    return text(start, end);
}

QString TextBoxAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    offset = offsetIn(offset, count);
    if (offset < 0)
        return {};
    const int start = unitAt(offset, boundaryType).first;
    if (start <= 0)
        return {};
    const auto [before, end] = unitAt(start - 1, boundaryType);
    *startOffset = before;
    *endOffset = end;
    return text(before, end);
}

QString TextBoxAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    offset = offsetIn(offset, count);
    if (offset < 0)
        return {};
    const int end = unitAt(offset, boundaryType).second;
    if (end >= count)
        return {};
    const auto [after, afterEnd] = unitAt(end, boundaryType);
    *startOffset = after;
    *endOffset = afterEnd;
    return text(after, afterEnd);
}

// The character's box on the screen: from the caret before it to the caret
// after it, on the line where it stands.
QRect TextBoxAccessible::characterRect(int offset) const
{
    TextBox* box = textBox();
    QRectF rect = box->rectForPosition(offset);
    const QRectF next = box->rectForPosition(offset + 1);
    if (qFuzzyCompare(next.top(), rect.top()) && next.left() > rect.left())
        rect.setRight(next.left());
    const QRect onViewport = rect.toRect().translated(0, -int(box->verticalOffset()));
    return QRect(box->viewport()->mapToGlobal(onViewport.topLeft()), onViewport.size());
}

int TextBoxAccessible::offsetAtPoint(const QPoint& point) const
{
    TextBox* box = textBox();
    const QPoint inViewport = box->viewport()->mapFromGlobal(point);
    if (!box->viewport()->rect().contains(inViewport))
        return -1;
    return box->hitTest(QPointF(inViewport) - box->contentOffset());
}

void TextBoxAccessible::scrollToSubstring(int startIndex, int /*endIndex*/)
{
    textBox()->ensureVisible(std::clamp(startIndex, 0, characterCount()));
}

QString TextBoxAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    Q_UNUSED(offset);
    return {};
}

void TextBoxAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void TextBoxAccessible::insertText(int offset, const QString& text)
{
    replaceText(offset, offset, text);
}

// An edit by a screen reader keeps the line limit as a paste does.
void TextBoxAccessible::replaceText(int startOffset, int endOffset, const QString& text)
{
    TextBox* box = textBox();
    if (box->isReadOnly())
        return;
    const int count = characterCount();
    startOffset = std::clamp(startOffset, 0, count);
    endOffset = std::clamp(endOffset, startOffset, count);
    if (box->refuseIfLong(box->makesLongLine(startOffset, endOffset, text)))
        return;
    QTextCursor cursor(box->document());
    cursor.setPosition(startOffset);
    cursor.setPosition(endOffset, QTextCursor::KeepAnchor);
    cursor.insertText(text);
}
