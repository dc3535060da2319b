// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "textbox.h"

#include "textboxaccessible.h"
#include "textboxlayout.h"
#include "units.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMetaObject>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <functional>
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
    QTextCursor copy(into);
    copy.insertText(kelvane::unitsBetween(from, start, end));
    return copy;
}

// Returns true for the keys that the text box takes before the window's
// shortcuts see them, as Qt's editors do.
bool isCommonEditKey(const QKeyEvent* key)
{
    const auto modifiers = key->modifiers();
    if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier ||
        modifiers == Qt::KeypadModifier) {
        if (key->key() < Qt::Key_Escape)
            return true;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Delete:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Backspace:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Tab:
            return true;
        default:
            return false;
        }
    }
    for (const auto standard :
         {QKeySequence::Copy, QKeySequence::Paste, QKeySequence::Cut, QKeySequence::Redo,
          QKeySequence::Undo, QKeySequence::MoveToNextWord, QKeySequence::MoveToPreviousWord,
          QKeySequence::MoveToStartOfDocument, QKeySequence::MoveToEndOfDocument,
          QKeySequence::SelectNextWord, QKeySequence::SelectPreviousWord,
          QKeySequence::SelectStartOfLine, QKeySequence::SelectEndOfLine,
          QKeySequence::SelectStartOfBlock, QKeySequence::SelectEndOfBlock,
          QKeySequence::SelectStartOfDocument, QKeySequence::SelectEndOfDocument,
          QKeySequence::SelectAll}) {
        if (key->matches(standard))
            return true;
    }
    return false;
}

// Returns true when `key` types text: printable units, format characters,
// private use and tabs, but not a Ctrl combination.
bool isAcceptableInput(const QKeyEvent* key)
{
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    if (c.category() == QChar::Other_Format)
        return true;
    if (key->modifiers() == Qt::ControlModifier ||
        key->modifiers() == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    if (c.isPrint() || c.category() == QChar::Other_PrivateUse)
        return true;
    if (c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate())
        return true;
    return c == u'\t';
}

} // namespace

const QString TextBox::unitsMimeType = QStringLiteral("application/x-kelvane-utf16");

TextBox::TextBox(QWidget* parent)
    : QAbstractScrollArea(parent), document_(new QTextDocument(this)),
      layout_(new TextBoxLayout(document_))
{
#if QT_CONFIG(accessibility)
    static const bool accessible = (QAccessible::installFactory(&TextBoxAccessible::create), true);
    Q_UNUSED(accessible);
#endif
    document_->setDocumentLayout(layout_);
    layout_->setPaintDevice(viewport());
    document_->setDefaultFont(font());
    QTextOption option = document_->defaultTextOption();
    option.setWrapMode(wrapMode_);
    document_->setDefaultTextOption(option);
    cursor_ = QTextCursor(document_);

    connect(layout_, &QAbstractTextDocumentLayout::update, viewport(),
            qOverload<>(&QWidget::update));
    connect(layout_, &QAbstractTextDocumentLayout::updateBlock, viewport(),
            qOverload<>(&QWidget::update));
    connect(layout_, &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &TextBox::adjustScrollBars);
    connect(document_, &QTextDocument::contentsChange, this, &TextBox::contentsChanged);
    connect(document_, &QTextDocument::contentsChanged, this, &TextBox::textChanged);
    connect(document_, &QTextDocument::undoAvailable, this, &TextBox::undoAvailable);
    connect(document_, &QTextDocument::redoAvailable, this, &TextBox::redoAvailable);
    connect(document_, &QTextDocument::cursorPositionChanged, this, &TextBox::documentMovedCursor);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &TextBox::scrollBarAction);

    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(1);
    viewport()->setBackgroundRole(QPalette::Base);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_KeyCompression);
    setAttribute(Qt::WA_InputMethodEnabled);
    setInputMethodHints(Qt::ImhMultiLine);
    viewport()->setCursor(Qt::IBeamCursor);
}

TextBox::~TextBox() = default;

// --- Text and cursor -------------------------------------------------------

void TextBox::setTextCursor(const QTextCursor& cursor)
{
    if (cursor.isNull() || cursor.document() != document_)
        return;
    const QTextCursor old = cursor_;
    cursor_ = cursor;
    cursorOn_ = hasFocus_ && !readOnly_;
    ensureCursorVisible();
    cursorChanged(old);
    setClipboardSelection();
}

void TextBox::moveCursor(QTextCursor::MoveOperation operation, QTextCursor::MoveMode mode)
{
    const QTextCursor old = cursor_;
    cursor_.movePosition(operation, mode);
    ensureCursorVisible();
    cursorChanged(old);
    if (mode == QTextCursor::KeepAnchor)
        setClipboardSelection();
}

QTextCursor TextBox::cursorForPosition(const QPoint& point) const
{
    const int position = hitTest(QPointF(point) - contentOffset());
    QTextCursor cursor(document_);
    if (position >= 0)
        cursor.setPosition(position);
    return cursor;
}

QRect TextBox::cursorRect(const QTextCursor& cursor) const
{
    if (cursor.isNull())
        return {};
    return rectForPosition(cursor.position()).toRect().translated(0, -int(verticalOffset()));
}

void TextBox::setPlainText(const QString& text)
{
    const QTextCursor old = cursor_;
    cursor_ = QTextCursor();
    document_->setUndoRedoEnabled(false);
    document_->setPlainText(text);
    document_->setUndoRedoEnabled(true);
    document_->setModified(false);
    cursor_ = QTextCursor(document_);
    topBlock_ = 0;
    topLine_ = 0;
    fracture_ = 0;
    adjustScrollBars();
    ensureCursorVisible();
    lastSelectionPosition_ = lastSelectionAnchor_ = 0;
    Q_EMIT cursorPositionChanged();
    viewport()->update();
}

QString TextBox::toPlainText() const
{
    return document_->toPlainText();
}

void TextBox::insertPlainText(const QString& text)
{
    cursor_.insertText(text);
}

void TextBox::setReadOnly(bool readOnly)
{
    if (readOnly_ == readOnly)
        return;
    readOnly_ = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    if (hasFocus_)
        setBlinking(!readOnly);
    QEvent change(QEvent::ReadOnlyChange);
    QCoreApplication::sendEvent(this, &change);
    viewport()->update();
}

// The wrap mode is the document's default text option, so that a cursor
// and the text box lay paragraphs out alike.
void TextBox::setWordWrapMode(QTextOption::WrapMode mode)
{
    if (mode == wrapMode_)
        return;
    wrapMode_ = mode;
    QTextOption option = document_->defaultTextOption();
    option.setWrapMode(mode);
    document_->setDefaultTextOption(option);
}

QTextBlock TextBox::firstVisibleBlock() const
{
    return document_->findBlockByNumber(topBlock_);
}

// Undo and redo set the caret inside an edit: a cursor set outside one
// measures its x in its paragraph, which in a long paragraph means analysing
// the whole of it anew after every change.
void TextBox::undo()
{
    const QTextCursor old = cursor_;
    QTextCursor edit(document_);
    edit.beginEditBlock();
    document_->undo(&cursor_);
    edit.endEditBlock();
    ensureCursorVisible();
    cursorChanged(old);
}

void TextBox::redo()
{
    const QTextCursor old = cursor_;
    QTextCursor edit(document_);
    edit.beginEditBlock();
    document_->redo(&cursor_);
    edit.endEditBlock();
    ensureCursorVisible();
    cursorChanged(old);
}

void TextBox::copy()
{
    if (cursor_.hasSelection())
        QGuiApplication::clipboard()->setMimeData(createMimeDataFromSelection());
}

void TextBox::cut()
{
    if (readOnly_ || !cursor_.hasSelection())
        return;
    copy();
    cursor_.removeSelectedText();
}

void TextBox::paste()
{
    pasteFrom(QClipboard::Clipboard);
}

void TextBox::pasteFrom(QClipboard::Mode mode)
{
    if (const QMimeData* source = QGuiApplication::clipboard()->mimeData(mode))
        insertFromMimeData(source);
}

void TextBox::selectAll()
{
    const QTextCursor old = cursor_;
    cursor_.select(QTextCursor::Document);
    cursorChanged(old);
}

void TextBox::clear()
{
    setPlainText(QString());
}

void TextBox::ensureCursorVisible()
{
    ensureVisible(cursor_.position());
    updateMicroFocus();
}

// Emits what changed between `old` and the cursor, tells a screen reader and
// repaints.
void TextBox::cursorChanged(const QTextCursor& old)
{
    if (old.isNull() || old.position() != cursor_.position())
        caretMoved();
    announceSelection(false);
    viewport()->update();
}

void TextBox::caretMoved()
{
    pageCursorY_.reset();
    if (!keepVerticalX_)
        verticalX_.reset();
#if QT_CONFIG(accessibility)
    QAccessibleTextCursorEvent event(this, cursor_.position());
    QAccessible::updateAccessibility(&event);
#endif
    Q_EMIT cursorPositionChanged();
    updateMicroFocus();
}

// An edit moves the cursor along with the text.
void TextBox::documentMovedCursor(const QTextCursor& cursor)
{
    if (cursor.isCopyOf(cursor_))
        caretMoved();
}

void TextBox::announceSelection(bool force)
{
    const int position = cursor_.position();
    const int anchor = cursor_.anchor();
    const bool changed = position != lastSelectionPosition_ || anchor != lastSelectionAnchor_;
    const bool hadSelection = lastSelectionPosition_ != lastSelectionAnchor_;
    const bool stateChanged = cursor_.hasSelection() != hadSelection;
    if (changed && stateChanged)
        Q_EMIT copyAvailable(cursor_.hasSelection());
    if (force || (changed && (stateChanged || cursor_.hasSelection()))) {
        Q_EMIT selectionChanged();
#if QT_CONFIG(accessibility)
        QAccessibleTextSelectionEvent event(this, anchor, position);
        QAccessible::updateAccessibility(&event);
#endif
    }
    lastSelectionPosition_ = position;
    lastSelectionAnchor_ = anchor;
}

// X11's primary selection follows the selection.
void TextBox::setClipboardSelection()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!cursor_.hasSelection() || !clipboard->supportsSelection())
        return;
    clipboard->setMimeData(createMimeDataFromSelection(), QClipboard::Selection);
}

void TextBox::setBlinking(bool blinking)
{
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (blinking && flashTime >= 2)
        blinkTimer_.start(flashTime / 2, this);
    else
        blinkTimer_.stop();
    cursorOn_ = blinking;
    viewport()->update();
}

// Tells a screen reader what an edit changed. Only a screen reader listening
// makes the inserted text be read out.
void TextBox::contentsChanged(int from, int charsRemoved, int charsAdded)
{
    pageCursorY_.reset();
#if QT_CONFIG(accessibility)
    if (!QAccessible::isActive())
        return;
    const int end = std::min(document_->characterCount() - 1, from + charsAdded);
    const QString added = kelvane::unitsBetween(document_, from, std::max(from, end));
    const QString removed(charsRemoved, QLatin1Char(' '));
    if (charsRemoved == 0) {
        QAccessibleTextInsertEvent event(this, from, added);
        QAccessible::updateAccessibility(&event);
    } else if (charsAdded == 0) {
        QAccessibleTextRemoveEvent event(this, from, removed);
        QAccessible::updateAccessibility(&event);
    } else {
        QAccessibleTextUpdateEvent event(this, from, removed, added);
        QAccessible::updateAccessibility(&event);
    }
#endif
}

// --- Geometry ---------------------------------------------------------------
// Positions are taken relative to the top of the first paragraph shown; the
// scroll bar counts lines, so that its range needs no paragraph laid out
// beyond those near the end and the top.

// Returns the distance from the top of paragraph `topBlock` to its line
// `topLine`; the first line of the text sits below the top margin.
qreal TextBox::verticalOffset(int topBlock, int topLine) const
{
    qreal offset = 0;
    if (topLine) {
        const QTextBlock block = document_->findBlockByNumber(topBlock);
        if (block.isValid() && topLine <= layout_->lineCount(block))
            offset = layout_->lineRect(block, topLine - 1).bottom();
    }
    if (topBlock == 0 && topLine == 0)
        offset -= document_->documentMargin();
    return offset;
}

// Returns the rectangle of `block` relative to the top of the first paragraph
// shown, walking at most a few screens from it.
QRectF TextBox::blockRect(const QTextBlock& block) const
{
    if (!block.isValid())
        return {};
    int currentNumber = topBlock_;
    const int blockNumber = block.blockNumber();
    QTextBlock current = document_->findBlockByNumber(currentNumber);
    if (!current.isValid())
        return {};
    QPointF offset;
    QRectF rect = layout_->blockBoundingRect(current);
    const int maxVerticalOffset = int(rect.height());
    const int height = viewport()->height();
    while (currentNumber < blockNumber && offset.y() - maxVerticalOffset <= 2 * height) {
        offset.ry() += rect.height();
        current = current.next();
        ++currentNumber;
        rect = layout_->blockBoundingRect(current);
    }
    while (currentNumber > blockNumber && offset.y() + maxVerticalOffset >= -height) {
        current = current.previous();
        --currentNumber;
        if (!current.isValid())
            break;
        rect = layout_->blockBoundingRect(current);
        offset.ry() -= rect.height();
    }
    if (currentNumber != blockNumber) {
        // Out of reach: some geometry at least.
        rect = layout_->blockBoundingRect(block);
        if (currentNumber > blockNumber)
            offset.ry() -= rect.height();
    }
    rect.translate(offset);
    return rect;
}

// Returns the text position nearest to `point`, relative to the top of the
// first paragraph shown.
int TextBox::hitTest(const QPointF& point) const
{
    QTextBlock block = document_->findBlockByNumber(topBlock_);
    if (!block.isValid())
        return -1;
    QPointF offset;
    QRectF rect = layout_->blockBoundingRect(block);
    while (block.next().isValid() && rect.bottom() + offset.y() <= point.y()) {
        offset.ry() += rect.height();
        block = block.next();
        rect = layout_->blockBoundingRect(block);
    }
    while (block.previous().isValid() && rect.top() + offset.y() > point.y()) {
        offset.ry() -= rect.height();
        block = block.previous();
        rect = layout_->blockBoundingRect(block);
    }
    const QPointF inBlock = point - offset;
    const int lines = layout_->lineCount(block);
    const int index = layout_->lineAtY(block, inBlock.y());
    if (index < 0)
        return block.position();
    if (index >= lines)
        return block.position() + layout_->visualLine(block, lines - 1).end();
    const VisualLine visual = layout_->visualLine(block, index);
    return block.position() + visual.offset +
           visual.line.xToCursor(inBlock.x(), overwriteMode_ ? QTextLine::CursorOnCharacter
                                                             : QTextLine::CursorBetweenCharacters);
}

int TextBox::cursorWidth() const
{
    return style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
}

// Returns the caret's rectangle at `position`, relative to the top of the
// first paragraph shown.
QRectF TextBox::rectForPosition(int position) const
{
    const QTextBlock block = document_->findBlock(position);
    if (!block.isValid())
        return {};
    const QPointF blockTopLeft = blockRect(block).topLeft();
    int inBlock = position - block.position();
    if (preeditCursor_ != 0 && !TextBoxLayout::isLong(block)) {
        const QTextLayout* layout = block.layout();
        const int preeditPosition = layout->preeditAreaPosition();
        if (inBlock == preeditPosition)
            inBlock += preeditCursor_;
        else if (inBlock > preeditPosition)
            inBlock += int(layout->preeditAreaText().size());
    }
    const VisualLine visual = layout_->visualLine(block, layout_->lineOf(block, inBlock));
    if (!visual.line.isValid())
        return {blockTopLeft.x(), blockTopLeft.y(), qreal(cursorWidth()), 10};
    const QTextLine& line = visual.line;
    const int inLine = inBlock - visual.offset;
    const qreal x = line.cursorToX(inLine);
    qreal width = 0;
    if (overwriteMode_) {
        if (inLine < line.textStart() + line.textLength())
            width = line.cursorToX(inLine + 1) - x;
        else
            width = QFontMetrics(visual.layout->font()).horizontalAdvance(QLatin1Char(' '));
    }
    return {blockTopLeft.x() + x, blockTopLeft.y() + line.y(), cursorWidth() + width,
            line.height()};
}

// The scroll bar's range ends where the last lines fill the text box; only
// the paragraphs that make up that last screen are laid out for it.
void TextBox::adjustScrollBars()
{
    const bool blocked = layout_->sizeSignalBlocked();
    layout_->blockSizeSignal(true);
    const qreal margin = document_->documentMargin();
    int maximum = 0;
    int sliderLength = 0;
    if (isVisible()) {
        const qreal visible = viewport()->rect().height() - margin - 1;
        qreal y = 0;
        int visibleFromBottom = 0;
        for (QTextBlock block = document_->lastBlock(); block.isValid(); block = block.previous()) {
            y += layout_->blockBoundingRect(block).height();
            const int lines = layout_->lineCount(block);
            if (y > visible) {
                visibleFromBottom += lines - layout_->firstLineFrom(block, y - visible);
                break;
            }
            visibleFromBottom += lines;
        }
        maximum = std::max(0, document_->lineCount() - visibleFromBottom);
        sliderLength = visibleFromBottom;
    } else {
        maximum = std::max(0, document_->lineCount() - 1);
        const int spacing = fontMetrics().lineSpacing();
        sliderLength = spacing != 0 ? viewport()->height() / spacing : 0;
    }
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, maximum);
    bar->setPageStep(sliderLength);
    int topLine = maximum;
    const QTextBlock first = firstVisibleBlock();
    if (first.isValid())
        topLine = first.firstLineNumber() + topLine_;
    bar->setValue(topLine);
    horizontalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setPageStep(viewport()->width());
    layout_->blockSizeSignal(blocked);
    setTopLine(bar->value());
}

void TextBox::setTopLine(int visualTopLine)
{
    const QTextBlock block = document_->findBlockByLineNumber(visualTopLine);
    setTopBlock(block.blockNumber(), visualTopLine - block.firstLineNumber());
}

void TextBox::setTopBlock(int blockNumber, int lineNumber)
{
    blockNumber = std::max(0, blockNumber);
    lineNumber = std::max(0, lineNumber);
    QTextBlock block = document_->findBlockByNumber(blockNumber);
    if (!block.isValid()) {
        block = document_->lastBlock();
        blockNumber = block.blockNumber();
    }
    const int maxTopLine = verticalScrollBar()->maximum();
    if (block.firstLineNumber() + lineNumber > maxTopLine) {
        block = document_->findBlockByLineNumber(maxTopLine);
        blockNumber = block.blockNumber();
        lineNumber = maxTopLine - block.firstLineNumber();
    }
    const bool moved = blockNumber != topBlock_ || lineNumber != topLine_;
    if (moved) {
        // The text moves by whole pixels, as QPlainTextEdit scrolls it, and
        // keeps the fraction of a pixel that the lines' tops are apart.
        qreal fracture = 0;
        if (viewport()->updatesEnabled() && viewport()->isVisible() &&
            document_->findBlockByNumber(topBlock_).isValid()) {
            const qreal moves =
                -blockRect(block).y() + verticalOffset() - verticalOffset(blockNumber, lineNumber);
            if (int(moves) != 0)
                fracture = moves - int(moves);
        }
        fracture_ = fracture;
    }
    topBlock_ = blockNumber;
    topLine_ = lineNumber;
    verticalScrollBar()->setValue(block.firstLineNumber() + lineNumber);
    if (moved) {
        viewport()->update();
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImAnchorRectangle);
    }
}

void TextBox::scrollContentsBy(int /*dx*/, int /*dy*/)
{
    setTopLine(verticalScrollBar()->value());
}

// Scrolls the least that shows the line of `position`: up to put it at the
// top, or down to put it at the bottom.
void TextBox::ensureVisible(int position)
{
    const QRectF visible = QRectF(viewport()->rect()).translated(-contentOffset());
    QTextBlock block = document_->findBlock(position);
    if (!block.isValid())
        return;
    const QRectF blockArea = blockRect(block);
    if (!blockArea.isValid())
        return;
    const int lineIndex = layout_->lineOf(block, position - block.position());
    const QRectF inBlock = layout_->lineRect(block, lineIndex);
    const QRectF lineArea = inBlock.translated(blockArea.topLeft());
    if (lineArea.bottom() >= visible.bottom()) {
        const qreal height = visible.height();
        qreal h = inBlock.bottom();
        QTextBlock previousVisible = block;
        while (h < height && block.previous().isValid()) {
            previousVisible = block;
            block = block.previous();
            h += layout_->blockBoundingRect(block).height();
        }
        const qreal offset = verticalOffset(block.blockNumber(), 0);
        int l = layout_->firstLineFrom(block, h - offset - height);
        if (l >= layout_->lineCount(block)) {
            block = previousVisible;
            l = 0;
        }
        setTopBlock(block.blockNumber(), l);
    } else if (lineArea.top() < visible.top()) {
        setTopBlock(block.blockNumber(), lineIndex);
    }
}

// Scrolls a page and, when `moveCursor`, moves the caret to about the same
// height on the new page.
void TextBox::pageUpDown(QTextCursor::MoveOperation operation, QTextCursor::MoveMode mode,
                         bool moveCursor)
{
    QTextCursor cursor = cursor_;
    if (moveCursor) {
        ensureCursorVisible();
        if (!pageCursorY_)
            pageCursorY_ = rectForPosition(cursor.position()).top() - verticalOffset();
    }
    qreal lastY = pageCursorY_.value_or(0);
    if (operation == QTextCursor::Down) {
        const QRectF visible = QRectF(viewport()->rect()).translated(-contentOffset());
        QTextBlock block = firstVisibleBlock();
        QRectF rect = layout_->blockBoundingRect(block);
        qreal h = 0;
        bool atEnd = false;
        while (h + rect.height() <= visible.bottom()) {
            if (!block.next().isValid()) {
                atEnd = true;
                lastY = visible.bottom();
                break;
            }
            h += rect.height();
            block = block.next();
            rect = layout_->blockBoundingRect(block);
        }
        if (!atEnd) {
            const int line = std::min(layout_->firstLineBelow(block, visible.bottom() - h),
                                      layout_->lineCount(block) - 1);
            setTopBlock(block.blockNumber(), line);
        }
        if (moveCursor) {
            lastY += verticalOffset();
            bool moved = false;
            do {
                moved = moveVertically(cursor, operation, mode);
            } while (moved && rectForPosition(cursor.position()).top() < lastY);
        }
    } else {
        QRectF visible = QRectF(viewport()->rect()).translated(-contentOffset());
        visible.translate(0, -visible.height());
        QTextBlock block = firstVisibleBlock();
        qreal h = 0;
        while (h >= visible.top()) {
            if (!block.previous().isValid()) {
                if (topBlock_ == 0 && topLine_ == 0)
                    lastY = 0;
                break;
            }
            block = block.previous();
            h -= layout_->blockBoundingRect(block).height();
        }
        int line = 0;
        if (block.isValid()) {
            const int lines = layout_->lineCount(block);
            line = layout_->firstLineFrom(block, visible.top() - h);
            if (line == lines) {
                if (block.next().isValid() && block.next() != firstVisibleBlock()) {
                    block = block.next();
                    line = 0;
                } else {
                    --line;
                }
            }
        }
        setTopBlock(block.blockNumber(), line);
        if (moveCursor) {
            cursor.setVisualNavigation(true);
            lastY += verticalOffset();
            bool moved = false;
            do {
                moved = moveVertically(cursor, operation, mode);
            } while (moved && rectForPosition(cursor.position()).top() > lastY);
        }
    }
    if (moveCursor) {
        const QTextCursor old = cursor_;
        cursor_ = cursor;
        cursorOn_ = hasFocus_ && !readOnly_;
        ensureCursorVisible();
        cursorChanged(old);
        if (mode == QTextCursor::KeepAnchor)
            setClipboardSelection();
        pageCursorY_ = lastY - verticalOffset();
    }
}

void TextBox::scrollBarAction(int action)
{
    if (action == QAbstractSlider::SliderPageStepAdd)
        pageUpDown(QTextCursor::Down, QTextCursor::MoveAnchor, false);
    else if (action == QAbstractSlider::SliderPageStepSub)
        pageUpDown(QTextCursor::Up, QTextCursor::MoveAnchor, false);
}

// The lines fill the viewport's width.
void TextBox::relayout()
{
    const int width = viewport()->width();
    if (width != layout_->textWidth())
        layout_->setTextWidth(width);
}

// --- Events -----------------------------------------------------------------

bool TextBox::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!readOnly_ && isCommonEditKey(key))
            key->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

// Draws the paragraphs that the text box shows, one under another from the
// first one shown, with the selection and the caret.
void TextBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    QPointF offset = contentOffset();
    QRect exposed = event->rect();
    const QRect viewportRect = viewport()->rect();
    const qreal maximumWidth = layout_->documentSize().width();
    painter.setBrushOrigin(offset);
    // The right margin stays clear of the selection.
    const int maxX = int(offset.x() + std::max(qreal(viewportRect.width()), maximumWidth) -
                         document_->documentMargin() + cursorWidth());
    exposed.setRight(std::min(exposed.right(), maxX));
    painter.setClipRect(exposed);
    const QPalette colours = palette();
    painter.setPen(colours.text().color());

    int cursorPosition = -1;
    if (cursorOn_ && isEnabled()) {
        if (hideCursor_)
            cursorPosition = -1;
        else if (preeditCursor_ != 0)
            cursorPosition = -(preeditCursor_ + 2);
        else
            cursorPosition = cursor_.position();
    }
    if (!dropCursor_.isNull())
        cursorPosition = dropCursor_.position();
    QTextCharFormat selectionFormat;
    const QPalette::ColorGroup group = hasFocus_ ? QPalette::Active : QPalette::Inactive;
    selectionFormat.setBackground(colours.brush(group, QPalette::Highlight));
    selectionFormat.setForeground(colours.brush(group, QPalette::HighlightedText));
    const bool editable = !readOnly_;

    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF rect = layout_->blockBoundingRect(block).translated(offset);
        QTextLayout* layout = block.layout();
        if (rect.bottom() >= exposed.top() && rect.top() <= exposed.bottom()) {
            QList<QTextLayout::FormatRange> selections;
            const int blockPosition = block.position();
            const int blockLength = block.length();
            const int selectionStart = cursor_.selectionStart() - blockPosition;
            const int selectionEnd = cursor_.selectionEnd() - blockPosition;
            if (cursor_.hasSelection() && selectionStart < blockLength && selectionEnd > 0 &&
                selectionEnd > selectionStart) {
                QTextLayout::FormatRange range;
                range.start = selectionStart;
                range.length = selectionEnd - selectionStart;
                range.format = selectionFormat;
                selections.append(range);
            }
            const bool drawCursor = editable && cursorPosition >= blockPosition &&
                                    cursorPosition < blockPosition + blockLength;
            bool drawCursorAsBlock = drawCursor && overwriteMode_;
            if (drawCursorAsBlock) {
                if (cursorPosition == blockPosition + blockLength - 1) {
                    drawCursorAsBlock = false;
                } else {
                    QTextLayout::FormatRange range;
                    range.start = cursorPosition - blockPosition;
                    range.length = 1;
                    range.format.setForeground(colours.base());
                    range.format.setBackground(colours.text());
                    selections.append(range);
                }
            }
            if (TextBoxLayout::isLong(block)) {
                // The text being composed shows whether or not the caret
                // blinks on.
                const bool composes =
                    !composing_.text.isEmpty() && block.contains(composing_.position);
                const bool caretShown = composes
                                            ? editable && cursorOn_ && isEnabled() && !hideCursor_
                                            : drawCursor && !drawCursorAsBlock;
                const int caret =
                    composes ? composing_.position - blockPosition : cursorPosition - blockPosition;
                drawLines(painter, block, offset, exposed, selections, caret, caretShown);
            } else {
                drawBlock(painter, layout, offset, exposed, selections,
                          drawCursor && !drawCursorAsBlock, cursorPosition, blockPosition);
            }
        }
        offset.ry() += rect.height();
        if (offset.y() > viewportRect.height())
            break;
    }
}

// Draws a short paragraph, laid out whole, and the caret or the text being
// composed in it; `cursorPosition` counts from the start of the text.
void TextBox::drawBlock(QPainter& painter, QTextLayout* layout, const QPointF& offset,
                        const QRect& exposed, const QList<QTextLayout::FormatRange>& selections,
                        bool drawCursor, int cursorPosition, int blockPosition) const
{
    layout->draw(&painter, offset, selections, exposed);
    if (drawCursor || (!readOnly_ && cursorPosition < -1 && !layout->preeditAreaText().isEmpty())) {
        const int position = cursorPosition < -1
                                 ? layout->preeditAreaPosition() - (cursorPosition + 2)
                                 : cursorPosition - blockPosition;
        layout->drawCursor(&painter, offset, position, cursorWidth());
    }
}

// Draws the lines of a long paragraph that `exposed` shows, each shaped on
// its own, the text being composed, if any, at `caret` units into the
// paragraph, and there the caret when `caretShown`.
void TextBox::drawLines(QPainter& painter, const QTextBlock& block, const QPointF& offset,
                        const QRect& exposed, const QList<QTextLayout::FormatRange>& selections,
                        int caret, bool caretShown) const
{
    const int count = layout_->lineCount(block);
    const int first = std::max(0, layout_->lineAtY(block, exposed.top() - offset.y()));
    const int last = std::min(count - 1, layout_->lineAtY(block, exposed.bottom() - offset.y()));
    const int caretLine = caret >= 0 ? layout_->lineOf(block, caret) : -1;
    for (int i = first; i <= last; ++i) {
        VisualLine visual = layout_->visualLine(block, i);
        int caretInLine = caret - visual.offset;
        // The text being composed goes into the caret's line, which is shaped
        // anew with it.
        std::unique_ptr<QTextLayout> withComposed;
        const int composedAt = composing_.position - block.position();
        if (i == caretLine && !composing_.text.isEmpty() && composedAt == caret) {
            QString text = visual.layout->text().left(visual.line.textLength());
            text.insert(composedAt - visual.offset, composing_.text);
            withComposed =
                std::make_unique<QTextLayout>(text, document_->defaultFont(), viewport());
            withComposed->setTextOption(document_->defaultTextOption());
            QList<QTextLayout::FormatRange> formats = composing_.formats;
            for (QTextLayout::FormatRange& range : formats)
                range.start += composedAt - visual.offset;
            withComposed->setFormats(formats);
            withComposed->beginLayout();
            QTextLine line = withComposed->createLine();
            line.setLeadingIncluded(true);
            line.setNumColumns(int(text.size()), visual.line.width());
            line.setPosition(visual.line.position());
            withComposed->endLayout();
            visual.layout = withComposed.get();
            visual.line = line;
            caretInLine += preeditCursor_;
        }
        QList<QTextLayout::FormatRange> inLine;
        for (QTextLayout::FormatRange range : selections) {
            range.start -= visual.offset;
            if (range.start + range.length <= 0 || range.start >= visual.line.textLength())
                continue;
            // A selection from an earlier line starts before this one, so
            // that Qt highlights the line whole, as in a paragraph laid out
            // in one piece.
            if (range.start < 0) {
                range.length += range.start + 1;
                range.start = -1;
            }
            inLine.append(range);
        }
        visual.layout->draw(&painter, offset, inLine, exposed);
        if (i == caretLine && caretShown)
            visual.layout->drawCursor(&painter, offset, caretInLine, cursorWidth());
    }
}

void TextBox::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
    adjustScrollBars();
}

void TextBox::showEvent(QShowEvent* /*event*/)
{
    relayout();
    adjustScrollBars();
}

void TextBox::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
    case QEvent::ApplicationFontChange:
    case QEvent::FontChange:
        layout_->resetMetrics();
        document_->setDefaultFont(font());
        break;
    case QEvent::ActivationChange:
        if (!isActiveWindow())
            autoScrollTimer_.stop();
        break;
    default:
        break;
    }
}

void TextBox::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == blinkTimer_.timerId()) {
        cursorOn_ = !cursorOn_;
        if (cursor_.hasSelection())
            cursorOn_ &= style()->styleHint(QStyle::SH_BlinkCursorWhenTextSelected) != 0;
        viewport()->update();
    } else if (event->timerId() == tripleClickTimer_.timerId()) {
        tripleClickTimer_.stop();
    } else if (event->timerId() == autoScrollTimer_.timerId()) {
        autoScroll();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

// While the mouse selects or drags beyond the text box, it scrolls the
// faster the farther the mouse is.
void TextBox::autoScroll()
{
    QRect visible = viewport()->rect();
    QPoint point;
    if (inDrag_) {
        point = autoScrollDragPoint_;
        visible.adjust(std::min(visible.width() / 3, 20), std::min(visible.height() / 3, 20),
                       -std::min(visible.width() / 3, 20), -std::min(visible.height() / 3, 20));
    } else {
        const QPoint global = QCursor::pos();
        point = viewport()->mapFromGlobal(global);
        QMouseEvent move(QEvent::MouseMove, point, viewport()->mapTo(window(), point), global,
                         Qt::LeftButton, Qt::LeftButton, QGuiApplication::keyboardModifiers());
        mouseMoveEvent(&move);
    }
    int delta =
        std::max(point.y() - visible.top(), visible.bottom() - point.y()) - visible.height();
    if (delta >= 0) {
        delta = std::max(delta, 7);
        autoScrollTimer_.start(4900 / (delta * delta), this);
        verticalScrollBar()->triggerAction(point.y() < visible.center().y()
                                               ? QAbstractSlider::SliderSingleStepSub
                                               : QAbstractSlider::SliderSingleStepAdd);
    }
}

void TextBox::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    hasFocus_ = true;
    setBlinking(!readOnly_);
}

void TextBox::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    hasFocus_ = false;
    setBlinking(false);
}

bool TextBox::focusNextPrevChild(bool next)
{
    if (!tabChangesFocus_ && !readOnly_)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

// Keys that move the caret, and with Shift select.
bool TextBox::moveKey(QKeyEvent* event)
{
    using Key = QKeySequence::StandardKey;
    using Op = QTextCursor::MoveOperation;
    struct Binding
    {
        Key key;
        Op operation;
        bool select;
    };
    static const Binding bindings[] = {
        {QKeySequence::MoveToNextChar, QTextCursor::Right, false},
        {QKeySequence::MoveToPreviousChar, QTextCursor::Left, false},
        {QKeySequence::SelectNextChar, QTextCursor::Right, true},
        {QKeySequence::SelectPreviousChar, QTextCursor::Left, true},
        {QKeySequence::SelectNextWord, QTextCursor::WordRight, true},
        {QKeySequence::SelectPreviousWord, QTextCursor::WordLeft, true},
        {QKeySequence::SelectStartOfLine, QTextCursor::StartOfLine, true},
        {QKeySequence::SelectEndOfLine, QTextCursor::EndOfLine, true},
        {QKeySequence::SelectStartOfBlock, QTextCursor::StartOfBlock, true},
        {QKeySequence::SelectEndOfBlock, QTextCursor::EndOfBlock, true},
        {QKeySequence::SelectStartOfDocument, QTextCursor::Start, true},
        {QKeySequence::SelectEndOfDocument, QTextCursor::End, true},
        {QKeySequence::SelectPreviousLine, QTextCursor::Up, true},
        {QKeySequence::SelectNextLine, QTextCursor::Down, true},
        {QKeySequence::MoveToNextWord, QTextCursor::WordRight, false},
        {QKeySequence::MoveToPreviousWord, QTextCursor::WordLeft, false},
        {QKeySequence::MoveToEndOfBlock, QTextCursor::EndOfBlock, false},
        {QKeySequence::MoveToStartOfBlock, QTextCursor::StartOfBlock, false},
        {QKeySequence::MoveToNextLine, QTextCursor::Down, false},
        {QKeySequence::MoveToPreviousLine, QTextCursor::Up, false},
        {QKeySequence::MoveToStartOfLine, QTextCursor::StartOfLine, false},
        {QKeySequence::MoveToEndOfLine, QTextCursor::EndOfLine, false},
        {QKeySequence::MoveToStartOfDocument, QTextCursor::Start, false},
        {QKeySequence::MoveToEndOfDocument, QTextCursor::End, false},
    };
    const Binding* found = nullptr;
    for (const Binding& binding : bindings) {
        if (event->matches(binding.key)) {
            found = &binding;
            break;
        }
    }
    if (!found)
        return false;
    Op operation = found->operation;
    const auto mode = found->select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    // Shift+Up on the first line selects to the start, Shift+Down on the last
    // to the end.
    if (found->select && (operation == QTextCursor::Up || operation == QTextCursor::Down)) {
        QTextBlock block = cursor_.block();
        const int line = layout_->lineOf(block, cursor_.position() - block.position());
        if (operation == QTextCursor::Up && !block.previous().isValid() && line == 0)
            operation = QTextCursor::Start;
        if (operation == QTextCursor::Down && !block.next().isValid() &&
            line == layout_->lineCount(block) - 1)
            operation = QTextCursor::End;
    }
    const QTextCursor old = cursor_;
    keepVerticalX_ = operation == QTextCursor::Up || operation == QTextCursor::Down;
    if (keepVerticalX_) {
        moveVertically(cursor_, operation, mode);
    } else if (!moveInLongBlock(cursor_, operation, mode)) {
        const bool visual = cursor_.visualNavigation();
        cursor_.setVisualNavigation(true);
        cursor_.movePosition(operation, mode);
        cursor_.setVisualNavigation(visual);
    }
    ensureCursorVisible();
    if (old.position() != cursor_.position())
        caretMoved();
    keepVerticalX_ = false;
    announceSelection(mode == QTextCursor::KeepAnchor);
    viewport()->update();
    return true;
}

// Makes a typed or deleted unit at the caret of a long paragraph inside an
// edit, since a cursor that Qt sets outside an edit measures its x in the
// whole paragraph, which Qt then analyses anew. Qt merges the units typed one
// after another into one undo step, and the units deleted one after another
// with the same key: so the edit joins the one before it where that was the
// same kind of edit, ending where the caret stands, and nothing came between.
void TextBox::editAtCaret(CaretEdit kind, const std::function<void()>& edit)
{
    if (!TextBoxLayout::isLong(cursor_.block())) {
        lastCaretEdit_.reset();
        edit();
        return;
    }
    const bool joins = !cursor_.hasSelection() && lastCaretEdit_ && lastCaretEdit_->kind == kind &&
                       lastCaretEdit_->revision == document_->revision() &&
                       lastCaretEdit_->position == cursor_.position();
    if (joins)
        cursor_.joinPreviousEditBlock();
    else
        cursor_.beginEditBlock();
    edit();
    cursor_.endEditBlock();
    lastCaretEdit_ = CaretEditMark{kind, document_->revision(), cursor_.position()};
}

// Makes an edit that is one undo step of its own inside an edit of the text
// box, when the caret is in a long paragraph, so that the cursor's x is not
// measured in the whole of it afterwards.
void TextBox::withinEdit(const std::function<void()>& edit)
{
    lastCaretEdit_.reset();
    if (!TextBoxLayout::isLong(cursor_.block())) {
        edit();
        return;
    }
    QTextCursor outer(document_);
    outer.beginEditBlock();
    edit();
    outer.endEditBlock();
}

// Moves `cursor` a line up or down. Qt's cursor does it within and between
// short paragraphs; into, out of and within a long one the caret keeps its x
// on the shaped lines, as long as Up and Down follow each other.
bool TextBox::moveVertically(QTextCursor& cursor, QTextCursor::MoveOperation operation,
                             QTextCursor::MoveMode mode)
{
    const bool down = operation == QTextCursor::Down;
    const QTextBlock block = cursor.block();
    const int inBlock = cursor.position() - block.position();
    const int line = layout_->lineOf(block, inBlock);
    QTextBlock target = block;
    int targetLine = line + (down ? 1 : -1);
    if (targetLine < 0) {
        target = block.previous();
        if (!target.isValid())
            return false;
        targetLine = layout_->lineCount(target) - 1;
    } else if (targetLine >= layout_->lineCount(block)) {
        target = block.next();
        if (!target.isValid())
            return false;
        targetLine = 0;
    }
    if (!TextBoxLayout::isLong(block) && !TextBoxLayout::isLong(target))
        return cursor.movePosition(operation, mode);
    if (!verticalX_) {
        const VisualLine from = layout_->visualLine(block, line);
        verticalX_ = from.line.cursorToX(inBlock - from.offset);
    }
    const VisualLine to = layout_->visualLine(target, targetLine);
    int position = to.offset + to.line.xToCursor(*verticalX_);
    // The end of a wrapped line is the start of the next one.
    if (targetLine < layout_->lineCount(target) - 1 && position >= to.end())
        position = std::max(to.start(), to.end() - 1);
    cursor.setPosition(target.position() + position, mode);
    return true;
}

// Moves `cursor` by a character, a word or to an end of its line within a
// long paragraph, from boundaries found in a window of units around it, and
// returns true; returns false for other moves and short paragraphs, which
// Qt's cursor makes.
bool TextBox::moveInLongBlock(QTextCursor& cursor, QTextCursor::MoveOperation operation,
                              QTextCursor::MoveMode mode)
{
    const QTextBlock block = cursor.block();
    if (!TextBoxLayout::isLong(block))
        return false;
    const int position = cursor.position();
    const int blockStart = block.position();
    const int blockEnd = blockStart + block.length() - 1;
    const int last = document_->characterCount() - 1;
    int target = position;
    switch (operation) {
    case QTextCursor::Right:
    case QTextCursor::NextCharacter:
        target = position == blockEnd
                     ? std::min(position + 1, last)
                     : boundaryNear(block, position, QTextBoundaryFinder::Grapheme, true, false);
        break;
    case QTextCursor::Left:
    case QTextCursor::PreviousCharacter:
        target = position == blockStart
                     ? std::max(position - 1, 0)
                     : boundaryNear(block, position, QTextBoundaryFinder::Grapheme, false, false);
        break;
    case QTextCursor::WordRight:
    case QTextCursor::NextWord:
        target = position == blockEnd
                     ? std::min(position + 1, last)
                     : boundaryNear(block, position, QTextBoundaryFinder::Word, true, true);
        break;
    case QTextCursor::WordLeft:
    case QTextCursor::PreviousWord:
        target = position == blockStart
                     ? std::max(position - 1, 0)
                     : boundaryNear(block, position, QTextBoundaryFinder::Word, false, true);
        break;
    case QTextCursor::StartOfLine: {
        const VisualLine line =
            layout_->visualLine(block, layout_->lineOf(block, position - blockStart));
        target = blockStart + line.start();
        break;
    }
    case QTextCursor::EndOfLine: {
        const int index = layout_->lineOf(block, position - blockStart);
        const VisualLine line = layout_->visualLine(block, index);
        target = blockStart + line.end();
        // A wrapped line ends before the white space where it broke.
        if (index < layout_->lineCount(block) - 1 && target > blockStart + line.start() &&
            document_->characterAt(target - 1).isSpace())
            --target;
        target = std::min(target, blockEnd);
        break;
    }
    default:
        return false;
    }
    cursor.setPosition(target, mode);
    return true;
}

// Returns the boundary of `type` next to `position` in `block`, forward or
// back, looked for in a window of units; with `starts`, only the start of a
// word counts. The window's end stands for a boundary beyond it.
int TextBox::boundaryNear(const QTextBlock& block, int position,
                          QTextBoundaryFinder::BoundaryType type, bool forward, bool starts) const
{
    constexpr int window = 1024;
    const int blockStart = block.position();
    const int blockEnd = blockStart + block.length() - 1;
    const int from = forward ? position : std::max(blockStart, position - window);
    const int to = forward ? std::min(blockEnd, position + window) : position;
    const QString units = kelvane::fewUnitsBetween(document_, from, to);
    QTextBoundaryFinder finder(type, units);
    finder.setPosition(forward ? 0 : units.size());
    for (;;) {
        const qsizetype next = forward ? finder.toNextBoundary() : finder.toPreviousBoundary();
        if (next < 0)
            return forward ? to : from;
        if (!starts || (finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem))
            return from + int(next);
    }
}

// Returns the start and the end of the word at `position`, or of the white
// space there, looked for in a window of units around it.
std::pair<int, int> TextBox::wordAt(int position) const
{
    constexpr int window = 1024;
    const QTextBlock block = document_->findBlock(position);
    const int blockStart = block.position();
    const int blockEnd = blockStart + block.length() - 1;
    const int from = std::max(blockStart, position - window);
    const int to = std::min(blockEnd, position + window);
    const QString units = kelvane::fewUnitsBetween(document_, from, to);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, units);
    finder.setPosition(position - from);
    int start = position - from;
    if (!finder.isAtBoundary() || position == to)
        start = std::max<int>(0, int(finder.toPreviousBoundary()));
    finder.setPosition(start);
    const qsizetype end = finder.toNextBoundary();
    return {from + start, end < 0 ? to : from + int(end)};
}

// Handles a key as a plain-text editor does: moves, selections, clipboard,
// history and edits; a key that types text inserts it.
void TextBox::handleKey(QKeyEvent* event)
{
    if (!readOnly_) {
        if (event->matches(QKeySequence::SelectPreviousPage)) {
            event->accept();
            pageUpDown(QTextCursor::Up, QTextCursor::KeepAnchor, true);
            return;
        }
        if (event->matches(QKeySequence::SelectNextPage)) {
            event->accept();
            pageUpDown(QTextCursor::Down, QTextCursor::KeepAnchor, true);
            return;
        }
        if (event->matches(QKeySequence::MoveToPreviousPage)) {
            event->accept();
            pageUpDown(QTextCursor::Up, QTextCursor::MoveAnchor, true);
            return;
        }
        if (event->matches(QKeySequence::MoveToNextPage)) {
            event->accept();
            pageUpDown(QTextCursor::Down, QTextCursor::MoveAnchor, true);
            return;
        }
    }
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) && tabChangesFocus_) {
        event->ignore();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        event->accept();
        selectAll();
        setClipboardSelection();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        event->accept();
        copy();
        return;
    }
    if (readOnly_) {
        event->ignore();
        return;
    }
    if (!moveKey(event) && !editKey(event)) {
        event->ignore();
        return;
    }
    setClipboardSelection();
    event->accept();
    cursorOn_ = hasFocus_;
    ensureCursorVisible();
    viewport()->update();
}

// Returns false when `event` neither edits nor types.
bool TextBox::editKey(QKeyEvent* event)
{
    const QTextCursor old = cursor_;
    const auto backspace = [this] {
        QTextCursor local = cursor_;
        local.deletePreviousChar();
    };
    if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)) {
        editAtCaret(CaretEdit::backspace, backspace);
    } else if (event->matches(QKeySequence::InsertParagraphSeparator)) {
        withinEdit([this] { cursor_.insertBlock(); });
    } else if (event->matches(QKeySequence::InsertLineSeparator)) {
        editAtCaret(CaretEdit::insert,
                    [this] { cursor_.insertText(QString(QChar::LineSeparator)); });
    } else if (event->matches(QKeySequence::Undo)) {
        undo();
    } else if (event->matches(QKeySequence::Redo)) {
        redo();
    } else if (event->matches(QKeySequence::Cut)) {
        withinEdit([this] { cut(); });
    } else if (event->matches(QKeySequence::Paste)) {
        const bool selection = QGuiApplication::clipboard()->supportsSelection() &&
                               event->modifiers() == (Qt::CTRL | Qt::SHIFT) &&
                               event->key() == Qt::Key_Insert;
        pasteFrom(selection ? QClipboard::Selection : QClipboard::Clipboard);
    } else if (event->matches(QKeySequence::Delete)) {
        editAtCaret(CaretEdit::deletion, [this] {
            QTextCursor local = cursor_;
            if (!local.hasSelection() &&
                moveInLongBlock(local, QTextCursor::NextCharacter, QTextCursor::KeepAnchor))
                local.removeSelectedText();
            else
                local.deleteChar();
        });
    } else if (event->matches(QKeySequence::Backspace)) {
        editAtCaret(CaretEdit::backspace, backspace);
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        if (!cursor_.hasSelection() &&
            !moveInLongBlock(cursor_, QTextCursor::NextWord, QTextCursor::KeepAnchor))
            cursor_.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        withinEdit([this] { cursor_.removeSelectedText(); });
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        if (!cursor_.hasSelection() &&
            !moveInLongBlock(cursor_, QTextCursor::PreviousWord, QTextCursor::KeepAnchor))
            cursor_.movePosition(QTextCursor::PreviousWord, QTextCursor::KeepAnchor);
        withinEdit([this] { cursor_.removeSelectedText(); });
    } else if (event->matches(QKeySequence::DeleteEndOfLine)) {
        const QTextBlock block = cursor_.block();
        if (cursor_.position() == block.position() + block.length() - 2)
            cursor_.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor);
        else
            cursor_.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor_.removeSelectedText();
    } else if (isAcceptableInput(event)) {
        if (overwriteMode_ && !cursor_.hasSelection() && !cursor_.atBlockEnd())
            cursor_.deleteChar();
        editAtCaret(CaretEdit::insert, [this, event] { cursor_.insertText(event->text()); });
    } else {
        return false;
    }
    cursorChanged(old);
    return true;
}

void TextBox::mousePressEvent(QMouseEvent* event)
{
    const QPointF point = event->position() - contentOffset();
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QTextCursor old = cursor_;
    mousePressed_ = true;
    mightStartDrag_ = false;
    mousePressPoint_ = point.toPoint();
    if (tripleClickTimer_.isActive() && (point.toPoint() - tripleClickPoint_).manhattanLength() <
                                            QApplication::startDragDistance()) {
        cursor_.movePosition(QTextCursor::StartOfBlock);
        cursor_.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor_.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        tripleClickTimer_.stop();
    } else {
        const int position = hitTest(point);
        if (position < 0) {
            event->ignore();
            return;
        }
        if (event->modifiers() == Qt::ShiftModifier) {
            if (wordOnDoubleClick_.hasSelection())
                extendWordwise(position);
            else
                cursor_.setPosition(position, QTextCursor::KeepAnchor);
        } else {
            if (!readOnly_ && cursor_.hasSelection() && position >= cursor_.selectionStart() &&
                position <= cursor_.selectionEnd()) {
                mightStartDrag_ = true;
                return;
            }
            cursor_.setPosition(position);
            wordOnDoubleClick_ = QTextCursor();
        }
    }
    if (!readOnly_)
        ensureCursorVisible();
    cursorChanged(old);
}

void TextBox::mouseMoveEvent(QMouseEvent* event)
{
    inDrag_ = false;
    const QPointF point = event->position() - contentOffset();
    if (!(event->buttons() & Qt::LeftButton))
        return;
    if (mightStartDrag_) {
        if ((point.toPoint() - mousePressPoint_).manhattanLength() >
            QApplication::startDragDistance())
            startDrag();
        return;
    }
    if (!mousePressed_ && !wordOnDoubleClick_.hasSelection())
        return;
    const QTextCursor old = cursor_;
    const int position = hitTest(point);
    if (position < 0)
        return;
    if (wordOnDoubleClick_.hasSelection())
        extendWordwise(position);
    else if (mousePressed_)
        cursor_.setPosition(position, QTextCursor::KeepAnchor);
    if (old.position() != cursor_.position())
        caretMoved();
    announceSelection(true);
    viewport()->update();
    if (event->source() == Qt::MouseEventNotSynthesized) {
        if (viewport()->rect().contains(event->position().toPoint()))
            autoScrollTimer_.stop();
        else if (!autoScrollTimer_.isActive())
            autoScrollTimer_.start(100, this);
    }
}

void TextBox::mouseReleaseEvent(QMouseEvent* event)
{
    const QTextCursor old = cursor_;
    const QPointF point = event->position() - contentOffset();
    if (mightStartDrag_ && event->button() == Qt::LeftButton) {
        mousePressed_ = false;
        const int position = hitTest(point);
        if (position >= 0)
            cursor_.setPosition(position);
    }
    mightStartDrag_ = false;
    if (mousePressed_) {
        mousePressed_ = false;
        setClipboardSelection();
        announceSelection(true);
    } else if (event->button() == Qt::MiddleButton && !readOnly_ &&
               QGuiApplication::clipboard()->supportsSelection()) {
        const int position = hitTest(point);
        if (position >= 0)
            cursor_.setPosition(position);
        if (const QMimeData* source = QGuiApplication::clipboard()->mimeData(QClipboard::Selection))
            insertFromMimeData(source);
    }
    if (autoScrollTimer_.isActive()) {
        autoScrollTimer_.stop();
        ensureCursorVisible();
    }
    cursorChanged(old);
}

void TextBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPointF point = event->position() - contentOffset();
    const QTextCursor old = cursor_;
    const int position = hitTest(point);
    if (position < 0)
        return;
    cursor_.setPosition(position);
    if (TextBoxLayout::isLong(cursor_.block())) {
        const auto [start, end] = wordAt(position);
        cursor_.setPosition(start);
        cursor_.setPosition(end, QTextCursor::KeepAnchor);
    } else if (cursor_.block().length() > 1) {
        cursor_.select(QTextCursor::WordUnderCursor);
    }
    wordOnDoubleClick_ = cursor_;
    tripleClickPoint_ = point.toPoint();
    tripleClickTimer_.start(QApplication::doubleClickInterval(), this);
    mousePressed_ = false;
    cursorChanged(old);
    setClipboardSelection();
}

// Extends the selection made by a double click word by word to `position`.
void TextBox::extendWordwise(int position)
{
    if (position >= wordOnDoubleClick_.selectionStart() &&
        position <= wordOnDoubleClick_.selectionEnd()) {
        cursor_ = wordOnDoubleClick_;
        return;
    }
    const bool forward = position > wordOnDoubleClick_.selectionEnd();
    int end = position;
    if (TextBoxLayout::isLong(document_->findBlock(position))) {
        const auto [wordStart, wordEnd] = wordAt(position);
        end = forward ? wordEnd : wordStart;
    } else {
        QTextCursor word(document_);
        word.setPosition(position);
        word.movePosition(forward ? QTextCursor::EndOfWord : QTextCursor::StartOfWord);
        end = word.position();
    }
    cursor_.setPosition(forward ? wordOnDoubleClick_.selectionStart()
                                : wordOnDoubleClick_.selectionEnd());
    cursor_.setPosition(end, QTextCursor::KeepAnchor);
}

// Drags the selection out: a move into another program takes it out of the
// text box, a move within the text box is made by the drop.
void TextBox::startDrag()
{
    mousePressed_ = false;
    mightStartDrag_ = false;
    auto* drag = new QDrag(viewport());
    drag->setMimeData(createMimeDataFromSelection());
    const Qt::DropAction action = readOnly_
                                      ? drag->exec(Qt::CopyAction, Qt::CopyAction)
                                      : drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    if (action == Qt::MoveAction && drag->target() != viewport())
        cursor_.removeSelectedText();
}

QMenu* TextBox::createStandardContextMenu(const QPoint& /*position*/)
{
    auto* menu = new QMenu(this);
    const auto add = [this, menu](const char* text, QKeySequence::StandardKey key, auto slot,
                                  bool enabled, const char* name) {
        QString caption = QCoreApplication::translate("QWidgetTextControl", text);
        if (key != QKeySequence::UnknownKey &&
            !QCoreApplication::testAttribute(Qt::AA_DontShowShortcutsInContextMenus) &&
            QGuiApplication::styleHints()->showShortcutsInContextMenus())
            caption += u'\t' + QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu->addAction(caption, this, slot);
        action->setEnabled(enabled);
        action->setObjectName(QString::fromLatin1(name));
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull())
            action->setIcon(icon);
        return action;
    };
    const bool selection = cursor_.hasSelection();
    if (!readOnly_) {
        add("&Undo", QKeySequence::Undo, &TextBox::undo, document_->isUndoAvailable(), "edit-undo");
        add("&Redo", QKeySequence::Redo, &TextBox::redo, document_->isRedoAvailable(), "edit-redo");
        menu->addSeparator();
        add("Cu&t", QKeySequence::Cut, &TextBox::cut, selection, "edit-cut");
    }
    add("&Copy", QKeySequence::Copy, &TextBox::copy, selection, "edit-copy");
    if (!readOnly_) {
        const QMimeData* source = QGuiApplication::clipboard()->mimeData();
        add("&Paste", QKeySequence::Paste, &TextBox::paste, source && canInsertFromMimeData(source),
            "edit-paste");
        add("Delete", QKeySequence::UnknownKey, &TextBox::deleteSelection, selection,
            "edit-delete");
    }
    menu->addSeparator();
    add("Select All", QKeySequence::SelectAll, &TextBox::selectAll, !document_->isEmpty(),
        "select-all");
    return menu;
}

void TextBox::deleteSelection()
{
    cursor_.removeSelectedText();
}

// The text being composed is drawn in the paragraph's layout, where the
// caret is; committed text replaces the selection or units around it.
void TextBox::composeInput(QInputMethodEvent* event)
{
    QTextBlock block = cursor_.block();
    const QString composed =
        TextBoxLayout::isLong(block) ? composing_.text : block.layout()->preeditAreaText();
    const bool gettingInput = !event->commitString().isEmpty() ||
                              event->preeditString() != composed || event->replacementLength() > 0;
    if (!gettingInput && event->attributes().isEmpty()) {
        event->ignore();
        return;
    }
    const QTextCursor old = cursor_;
    bool forceSelection = false;
    cursor_.beginEditBlock();
    if (gettingInput)
        cursor_.removeSelectedText();
    QTextBlock preeditBlock;
    if (!event->commitString().isEmpty() || event->replacementLength()) {
        if (event->commitString().endsWith(QChar::LineFeed))
            preeditBlock = cursor_.block();
        QTextCursor replaced = cursor_;
        replaced.setPosition(replaced.position() + event->replacementStart());
        replaced.setPosition(replaced.position() + event->replacementLength(),
                             QTextCursor::KeepAnchor);
        replaced.insertText(event->commitString());
    }
    for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Selection) {
            const int start = attribute.start + cursor_.block().position();
            cursor_.setPosition(start);
            cursor_.setPosition(start + attribute.length, QTextCursor::KeepAnchor);
            forceSelection = true;
        }
    }
    if (!preeditBlock.isValid())
        preeditBlock = cursor_.block();
    // A long paragraph's layout is not shaped; the text being composed there
    // is kept here and drawn into the caret's line.
    const bool longBlock = TextBoxLayout::isLong(preeditBlock);
    QTextLayout* layout = preeditBlock.layout();
    if (gettingInput) {
        if (longBlock) {
            composing_.text = event->preeditString();
            composing_.position = cursor_.position();
        } else {
            composing_ = {};
            layout->setPreeditArea(cursor_.position() - preeditBlock.position(),
                                   event->preeditString());
        }
    }
    QList<QTextLayout::FormatRange> overrides;
    preeditCursor_ = int(event->preeditString().size());
    hideCursor_ = false;
    for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            preeditCursor_ = attribute.start;
            hideCursor_ = !attribute.length;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = attribute.value.value<QTextFormat>().toCharFormat();
            if (format.isValid()) {
                QTextLayout::FormatRange range;
                range.start = attribute.start + (longBlock ? 0 : layout->preeditAreaPosition());
                range.length = attribute.length;
                range.format = format;
                overrides.append(range);
            }
        }
    }
    if (longBlock)
        composing_.formats = overrides;
    else
        layout->setFormats(overrides);
    cursor_.endEditBlock();
    if (old.position() != cursor_.position())
        caretMoved();
    announceSelection(forceSelection);
    const bool empty = event->preeditString().isEmpty() && event->commitString().isEmpty() &&
                       event->attributes().isEmpty();
    if (!empty)
        ensureCursorVisible();
    viewport()->update();
}

// Answers an input method about the text around the caret: a few hundred
// units of its paragraph, never the whole of a long one.
QVariant TextBox::inputMethodQuery(Qt::InputMethodQuery query) const
{
    constexpr int around = 256;
    switch (query) {
    case Qt::ImEnabled:
        return isEnabled() && !readOnly_;
    case Qt::ImHints:
    case Qt::ImInputItemClipRectangle:
        return QAbstractScrollArea::inputMethodQuery(query);
    case Qt::ImReadOnly:
        return readOnly_;
    case Qt::ImCursorRectangle:
        return QRectF(cursorRect()).translated(viewport()->pos());
    case Qt::ImAnchorRectangle: {
        QTextCursor anchor(document_);
        anchor.setPosition(cursor_.anchor());
        return QRectF(cursorRect(anchor)).translated(viewport()->pos());
    }
    case Qt::ImFont:
        return document_->defaultFont();
    case Qt::ImMaximumTextLength:
        return QVariant();
    default:
        break;
    }
    const QTextBlock block = cursor_.block();
    const int start = std::max(block.position(), cursor_.position() - around);
    const int end = std::min(block.position() + block.length() - 1, cursor_.position() + around);
    switch (query) {
    case Qt::ImCursorPosition:
        return cursor_.position() - start;
    case Qt::ImAnchorPosition:
        return std::clamp(cursor_.anchor(), start, end) - start;
    case Qt::ImSurroundingText:
        return kelvane::fewUnitsBetween(document_, start, end);
    case Qt::ImCurrentSelection:
        return cursor_.selectionEnd() - cursor_.selectionStart() <= 4 * around
                   ? kelvane::fewUnitsBetween(document_, cursor_.selectionStart(),
                                              cursor_.selectionEnd())
                   : QString();
    case Qt::ImAbsolutePosition:
        return cursor_.position();
    case Qt::ImTextBeforeCursor:
        return kelvane::fewUnitsBetween(document_, start, cursor_.position());
    case Qt::ImTextAfterCursor:
        return kelvane::fewUnitsBetween(document_, cursor_.position(), end);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void TextBox::dragEnterEvent(QDragEnterEvent* event)
{
    draggedText_.reset();
    inDrag_ = true;
    if (!readOnly_ && canInsertFromMimeData(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TextBox::dragLeaveEvent(QDragLeaveEvent* /*event*/)
{
    draggedText_.reset();
    inDrag_ = false;
    autoScrollTimer_.stop();
    dropCursor_ = QTextCursor();
    viewport()->update();
}

// Shows where the text would go, and scrolls near the edges.
bool TextBox::acceptDragMove(QDragMoveEvent* event)
{
    autoScrollDragPoint_ = event->position().toPoint();
    if (!autoScrollTimer_.isActive())
        autoScrollTimer_.start(100, this);
    if (readOnly_ || !canInsertFromMimeData(event->mimeData())) {
        event->ignore();
        return false;
    }
    const int position = hitTest(event->position() - contentOffset());
    if (position >= 0) {
        dropCursor_ = QTextCursor(document_);
        dropCursor_.setPosition(position);
        viewport()->update();
    }
    event->acceptProposedAction();
    return true;
}

// Takes the dropped text in at the drop point, in one edit with removing the
// selection when the text moves within the text box.
bool TextBox::dropText(QDropEvent* event)
{
    inDrag_ = false;
    autoScrollTimer_.stop();
    dropCursor_ = QTextCursor();
    viewport()->update();
    if (readOnly_ || !canInsertFromMimeData(event->mimeData()))
        return false;
    const int position = hitTest(event->position() - contentOffset());
    QTextCursor insertion(document_);
    if (position >= 0)
        insertion.setPosition(position);
    const QTextCursor old = cursor_;
    insertion.beginEditBlock();
    if (event->dropAction() == Qt::MoveAction && event->source() == viewport())
        cursor_.removeSelectedText();
    cursor_ = insertion;
    insertFromMimeData(event->mimeData());
    insertion.endEditBlock();
    ensureCursorVisible();
    cursorChanged(old);
    event->acceptProposedAction();
    return true;
}

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
    return source->hasFormat(unitsMimeType) || (source->hasText() && !source->text().isEmpty());
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
    if (!dropText(event))
        event->ignore();
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
    if (!acceptDragMove(event) || isReadOnly() || movesWithin(event) ||
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
    handleKey(event);
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
    composeInput(event);
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
    QString text =
        kelvane::fewUnitsBetween(document(), from, dropped ? selectionStart + context : to);
    if (dropped)
        text += kelvane::fewUnitsBetween(document(), selectionEnd - context, to);
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

    TextBox scratch;
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
