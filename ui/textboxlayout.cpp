// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "textboxlayout.h"

#include "units.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// The most lines of long paragraphs kept shaped: a few screens.
constexpr std::size_t shapedLines = 256;

// Where the extra line of a shaped line of a long paragraph lies, far below
// anything drawn.
constexpr qreal outOfSight = 1e7;

// Returns true for a unit that a line may not start with: the second half of
// a surrogate pair or a combining mark, which belong to the unit before.
bool joinsPrevious(char16_t unit, char16_t previous)
{
    if (QChar::isLowSurrogate(unit))
        return QChar::isHighSurrogate(previous);
    if (unit < 0x300)
        return false;
    const QChar::Category category = QChar::category(char32_t{unit});
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing || previous == 0x200d;
}

// Returns true for white space after which a line may break; a no-break
// space joins the units on either side.
bool breaksAfter(char16_t unit)
{
    if (unit == u' ' || unit == u'\t')
        return true;
    if (unit < 0x80 || unit == 0xa0 || unit == 0x2007 || unit == 0x202f)
        return false;
    return QChar::isSpace(char32_t{unit});
}

} // namespace

TextBoxLayout::TextBoxLayout(QTextDocument* document) : QAbstractTextDocumentLayout(document) {}

TextBoxLayout::~TextBoxLayout() = default;

void TextBoxLayout::draw(QPainter* /*painter*/, const PaintContext& /*context*/) {}

// Positions depend on the text box's scrolling, which the layout does not know.
int TextBoxLayout::hitTest(const QPointF& /*point*/, Qt::HitTestAccuracy /*accuracy*/) const
{
    return -1;
}

int TextBoxLayout::pageCount() const
{
    return 1;
}

// The height counts lines, not pixels.
QSizeF TextBoxLayout::documentSize() const
{
    return {width_, static_cast<qreal>(document()->lineCount())};
}

QRectF TextBoxLayout::frameBoundingRect(QTextFrame* /*frame*/) const
{
    return {0, 0, width_, static_cast<qreal>(INT_MAX)};
}

// The last paragraph carries the bottom margin, and every paragraph the right
// one, as the lines start after the left margin.
QRectF TextBoxLayout::blockBoundingRect(const QTextBlock& block) const
{
    if (!block.isValid())
        return {};
    const qreal margin = document()->documentMargin();
    if (isLong(block)) {
        const auto lines = static_cast<qreal>(longLines(block).starts.size());
        // As Qt's layouts: the last line's box below the others' steps.
        const qreal step = longLineHeight();
        QRectF rect(0, 0, availableWidth() + 2 * margin, (lines - 1) * step + lineBoxHeight_);
        if (!block.next().isValid())
            rect.adjust(0, 0, 0, margin);
        return rect;
    }
    ensureBlockLayout(block);
    const QTextLayout* layout = block.layout();
    QRectF rect(QPointF(0, 0), layout->boundingRect().bottomRight());
    if (layout->lineCount() == 1)
        rect.setWidth(std::max(rect.width(), layout->lineAt(0).naturalTextWidth()));
    rect.adjust(0, 0, margin, 0);
    if (!block.next().isValid())
        rect.adjust(0, 0, 0, margin);
    return rect;
}

void TextBoxLayout::ensureBlockLayout(const QTextBlock& block) const
{
    if (block.isValid() && !isLong(block) && block.layout()->lineCount() == 0)
        const_cast<TextBoxLayout*>(this)->layOutBlock(block);
}

void TextBoxLayout::setTextWidth(qreal width)
{
    width_ = width;
    forgetLines();
    for (QTextBlock block = document()->firstBlock(); block.isValid(); block = block.next()) {
        block.layout()->clearLayout();
        block.setLineCount(1);
    }
    Q_EMIT update();
}

// A change within one paragraph lays it out again at once; a change across
// paragraphs leaves them to be laid out when they are shown, counting one
// line for each until then.
void TextBoxLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    QTextDocument* doc = document();
    shaped_.clear();
    const int newBlockCount = doc->blockCount();
    const QTextBlock startBlock = doc->findBlock(from);
    const QTextBlock endBlock = doc->findBlock(std::max(0, from + charsRemoved + charsAdded - 1));

    if (startBlock == endBlock && newBlockCount == blockCount_) {
        if (startBlock.isValid() && isLong(startBlock)) {
            const int before = startBlock.lineCount();
            rewrap(startBlock, from - startBlock.position(), charsRemoved, charsAdded);
            if (startBlock.lineCount() == before) {
                Q_EMIT updateBlock(startBlock);
                return;
            }
        } else if (startBlock.isValid() && startBlock.length()) {
            longLines_.erase(startBlock.layout());
            const qreal oldHeight = blockBoundingRect(startBlock).height();
            layOutBlock(startBlock);
            if (blockBoundingRect(startBlock).height() == oldHeight) {
                Q_EMIT updateBlock(startBlock);
                return;
            }
        }
    } else {
        for (QTextBlock block = startBlock; block.isValid(); block = block.next()) {
            block.clearLayout();
            longLines_.erase(block.layout());
            if (block.lineCount() == 0)
                block.setLineCount(1);
            if (block == endBlock)
                break;
        }
    }
    if (newBlockCount != blockCount_) {
        blockCount_ = newBlockCount;
        if (!sizeSignalBlocked_)
            Q_EMIT documentSizeChanged(documentSize());
    }
    Q_EMIT update(QRectF(0., -doc->documentMargin(), 1e9, 1e9));
}

// Lines one under another at the text box's width less the margins, the
// leading included in each line's height.
void TextBoxLayout::layOutBlock(const QTextBlock& block)
{
    QTextDocument* doc = document();
    const qreal margin = doc->documentMargin();
    QTextLayout* layout = block.layout();
    const QTextOption option = doc->defaultTextOption();
    layout->setTextOption(option);
    int extraMargin = 0;
    if (option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
        extraMargin += QFontMetrics(block.charFormat().font()).horizontalAdvance(QChar(0x21B5));
    qreal available = width_ <= 0 ? qreal(INT_MAX) : width_;
    available -= 2 * margin + extraMargin;
    qreal height = 0;
    layout->beginLayout();
    for (;;) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        line.setLineWidth(available);
        line.setPosition(QPointF(margin, height));
        height += line.height();
        if (line.leading() < 0)
            height += std::ceil(line.leading());
    }
    layout->endLayout();
    const int before = doc->lineCount();
    const_cast<QTextBlock&>(block).setLineCount(layout->lineCount());
    if (doc->lineCount() != before && !sizeSignalBlocked_)
        Q_EMIT documentSizeChanged(documentSize());
}

int TextBoxLayout::lineCount(const QTextBlock& block) const
{
    if (isLong(block))
        return static_cast<int>(longLines(block).starts.size());
    ensureBlockLayout(block);
    return block.layout()->lineCount();
}

int TextBoxLayout::lineOf(const QTextBlock& block, int offset) const
{
    if (isLong(block)) {
        const std::vector<int>& starts = longLines(block).starts;
        return static_cast<int>(std::upper_bound(starts.begin(), starts.end(), offset) -
                                starts.begin()) -
               1;
    }
    ensureBlockLayout(block);
    const QTextLine line = block.layout()->lineForTextPosition(offset);
    return line.isValid() ? line.lineNumber() : std::max(0, block.layout()->lineCount() - 1);
}

int TextBoxLayout::lineStart(const QTextBlock& block, int index) const
{
    if (isLong(block))
        return longLines(block).starts.at(static_cast<std::size_t>(index));
    ensureBlockLayout(block);
    return block.layout()->lineAt(index).textStart();
}

QRectF TextBoxLayout::lineRect(const QTextBlock& block, int index) const
{
    if (isLong(block)) {
        const qreal step = longLineHeight();
        return {document()->documentMargin(), index * step, availableWidth(), lineRectHeight_};
    }
    ensureBlockLayout(block);
    return block.layout()->lineAt(index).naturalTextRect();
}

int TextBoxLayout::lineAtY(const QTextBlock& block, qreal y) const
{
    const int count = lineCount(block);
    if (isLong(block))
        return y < 0 ? -1 : firstLineBelow(block, y);
    const QTextLayout* layout = block.layout();
    for (int i = 0; i < count; ++i) {
        const QRectF rect = layout->lineAt(i).naturalTextRect();
        if (rect.top() > y)
            return i == 0 ? -1 : i;
        if (rect.bottom() > y)
            return i;
    }
    return count;
}

int TextBoxLayout::firstLineFrom(const QTextBlock& block, qreal y) const
{
    const int count = lineCount(block);
    if (isLong(block))
        return static_cast<int>(
            std::clamp<qreal>(std::ceil(y / longLineHeight()), 0, static_cast<qreal>(count)));
    int line = 0;
    while (line < count && block.layout()->lineAt(line).naturalTextRect().top() < y)
        ++line;
    return line;
}

int TextBoxLayout::firstLineBelow(const QTextBlock& block, qreal y) const
{
    const int count = lineCount(block);
    if (isLong(block)) {
        const qreal step = longLineHeight();
        return static_cast<int>(std::clamp<qreal>(std::floor((y - lineRectHeight_) / step) + 1, 0,
                                                  static_cast<qreal>(count)));
    }
    int line = 0;
    while (line < count && block.layout()->lineAt(line).naturalTextRect().bottom() <= y)
        ++line;
    return line;
}

// A line of a long paragraph is shaped on its own, at its place in the
// paragraph, without wrapping: its units were chosen to fit.
VisualLine TextBoxLayout::visualLine(const QTextBlock& block, int index) const
{
    VisualLine visual;
    if (!isLong(block)) {
        ensureBlockLayout(block);
        visual.layout = block.layout();
        visual.line = visual.layout->lineAt(std::clamp(index, 0, visual.layout->lineCount() - 1));
        return visual;
    }
    const LongLines& lines = longLines(block);
    const int count = static_cast<int>(lines.starts.size());
    index = std::clamp(index, 0, count - 1);
    const int start = lines.starts[static_cast<std::size_t>(index)];
    const int end =
        index + 1 < count ? lines.starts[static_cast<std::size_t>(index) + 1] : lines.length;
    const QTextLayout* key = block.layout();
    auto found = std::find_if(shaped_.begin(), shaped_.end(), [&](const ShapedLine& shaped) {
        return shaped.block == key && shaped.start == start && shaped.length == end - start;
    });
    if (found == shaped_.end()) {
        // Read unit by unit: a cursor set in the paragraph would analyse the
        // whole of it first. A line before the last is shaped with the first
        // unit of the next one after it, in a second line out of sight, so
        // that Qt draws it as a line that wraps: its white space hanging and
        // a selection that goes on past it ending with its text.
        const int shown = end - start;
        const int with = std::min(end + 1, lines.length);
        const QString text =
            kelvane::fewUnitsBetween(document(), block.position() + start, block.position() + with);
        auto layout = std::make_shared<QTextLayout>(text, document()->defaultFont(), paintDevice());
        layout->setTextOption(document()->defaultTextOption());
        layout->beginLayout();
        QTextLine line = layout->createLine();
        line.setLeadingIncluded(true);
        line.setNumColumns(shown, availableWidth());
        line.setPosition(QPointF(document()->documentMargin(), index * longLineHeight()));
        if (with > end) {
            QTextLine next = layout->createLine();
            next.setNumColumns(with - end);
            next.setPosition(QPointF(0, outOfSight));
        }
        layout->endLayout();
        if (shaped_.size() >= shapedLines)
            shaped_.erase(shaped_.begin());
        shaped_.push_back({key, start, end - start, std::move(layout)});
        found = shaped_.end() - 1;
    }
    visual.owner = found->layout;
    visual.layout = found->layout.get();
    visual.line = visual.layout->lineAt(0);
    visual.offset = start;
    // The cache may hold the same units at another index after an edit moved
    // them; the line sits where this index puts it.
    visual.line.setPosition(QPointF(document()->documentMargin(), index * longLineHeight()));
    return visual;
}

void TextBoxLayout::resetMetrics()
{
    advances_.clear();
    pairAdvances_.clear();
    lineHeight_ = -1;
    forgetLines();
}

void TextBoxLayout::forgetLines()
{
    longLines_.clear();
    shaped_.clear();
}

qreal TextBoxLayout::availableWidth() const
{
    const QTextOption option = document()->defaultTextOption();
    qreal available = width_ <= 0 ? qreal(INT_MAX) : width_;
    if (option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
        available -= QFontMetrics(document()->defaultFont()).horizontalAdvance(QChar(0x21B5));
    return available - 2 * document()->documentMargin();
}

// Returns the distance from one line of a long paragraph to the next. Every
// line is as high as a line of digits, and placed as Qt places lines: a
// negative leading brings the next line up, into the box of the one before.
qreal TextBoxLayout::longLineHeight() const
{
    if (lineHeight_ < 0) {
        QTextLayout layout(QStringLiteral("0"), document()->defaultFont(), paintDevice());
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLeadingIncluded(true);
        layout.endLayout();
        lineBoxHeight_ = line.height();
        lineRectHeight_ = line.naturalTextRect().height();
        lineHeight_ = line.height();
        if (line.leading() < 0)
            lineHeight_ += std::ceil(line.leading());
    }
    return lineHeight_;
}

float TextBoxLayout::advance(char16_t unit) const
{
    if (advances_.empty())
        advances_.assign(0x10000, -1.f);
    float& known = advances_[unit];
    if (known < 0)
        known = static_cast<float>(
            QFontMetricsF(document()->defaultFont(), paintDevice()).horizontalAdvance(QChar(unit)));
    return known;
}

float TextBoxLayout::pairAdvance(char32_t codePoint) const
{
    auto [found, added] = pairAdvances_.try_emplace(codePoint, 0.f);
    if (added) {
        const char32_t units[] = {codePoint};
        found->second = static_cast<float>(QFontMetricsF(document()->defaultFont(), paintDevice())
                                               .horizontalAdvance(QString::fromUcs4(units, 1)));
    }
    return found->second;
}

const TextBoxLayout::LongLines& TextBoxLayout::longLines(const QTextBlock& block) const
{
    LongLines& lines = longLines_[block.layout()];
    if (lines.length != block.length() - 1) {
        lines.starts.clear();
        wrap(block, lines, 0, nullptr, 0, 0);
        countLines(block, lines);
    }
    return lines;
}

// Keeps the number of lines of `block` in the document, which scrolling by
// lines reads.
void TextBoxLayout::countLines(const QTextBlock& block, const LongLines& lines) const
{
    const int count = static_cast<int>(lines.starts.size());
    if (block.lineCount() == count)
        return;
    QTextBlock counted = block;
    counted.setLineCount(count);
    if (!sizeSignalBlocked_)
        Q_EMIT const_cast<TextBoxLayout*>(this)->documentSizeChanged(documentSize());
}

// Finds the wrap points again after an edit at `offset` of `block` that
// removed and added units: from the line before the edited one, since a
// word there may now fit, up to where a line starts at an old line start.
void TextBoxLayout::rewrap(const QTextBlock& block, int offset, int removed, int added)
{
    const auto found = longLines_.find(block.layout());
    if (found == longLines_.end() || found->second.length != block.length() - 1 - added + removed) {
        longLines_.erase(block.layout());
        longLines(block);
        return;
    }
    const LongLines old = std::move(found->second);
    LongLines& lines = found->second;
    const auto edited = std::upper_bound(old.starts.begin(), old.starts.end(), offset);
    const auto first = std::max<std::ptrdiff_t>(0, edited - old.starts.begin() - 2);
    lines.starts.assign(old.starts.begin(), old.starts.begin() + first);
    lines.length = -1;
    wrap(block, lines, static_cast<int>(first), &old, offset + added, added - removed);
    countLines(block, lines);
}

// Breaks the units of `block` into lines that fit the width, from line
// `fromLine` on, as Qt's line breaking does it for the wrap mode: after white
// space, which hangs past the end of a line, or anywhere in a run too long for
// a line, never inside a surrogate pair or before a combining mark. Given the
// `old` lines of the block before an edit that ended at `resyncAfter` and
// changed its length by `delta`, stops at the first line start past the edit
// that the old lines share, and takes the rest from them.
void TextBoxLayout::wrap(const QTextBlock& block, LongLines& lines, int fromLine,
                         const LongLines* old, int resyncAfter, int delta) const
{
    const int length = block.length() - 1;
    std::vector<int>& starts = lines.starts;
    const int from = fromLine == 0 ? 0 : old->starts[static_cast<std::size_t>(fromLine)];
    lines.length = length;
    const QTextOption option = document()->defaultTextOption();
    const QTextOption::WrapMode mode = option.wrapMode();
    const bool words =
        mode == QTextOption::WordWrap || mode == QTextOption::WrapAtWordBoundaryOrAnywhere;
    const bool anywhere =
        mode == QTextOption::WrapAnywhere || mode == QTextOption::WrapAtWordBoundaryOrAnywhere;
    const qreal available = availableWidth();
    const qreal tab = option.tabStopDistance() > 0 ? option.tabStopDistance() : 80;

    // Returns true when the rest was taken from the old lines.
    const auto startLine = [&](int start) {
        starts.push_back(start);
        if (!old || start < resyncAfter)
            return false;
        const int was = start - delta;
        auto same = std::lower_bound(old->starts.begin(), old->starts.end(), was);
        if (same == old->starts.end() || *same != was)
            return false;
        for (++same; same != old->starts.end(); ++same)
            starts.push_back(*same + delta);
        return true;
    };
    if (startLine(from))
        return;

    if (advances_.empty())
        advances_.assign(0x10000, -1.f);
    const float* table = advances_.data();
    int lineStart = from;
    qreal x = 0;
    int breakAt = -1;
    qreal xAtBreak = 0;
    char16_t previous = 0;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int fragmentStart = fragment.position() - block.position();
        const int fragmentLength = fragment.length();
        if (fragmentStart + fragmentLength <= from)
            continue;
        const QString text = fragment.text();
        const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
        for (int k = std::max(0, from - fragmentStart); k < fragmentLength; ++k) {
            const int position = fragmentStart + k;
            const char16_t unit = units[k];
            const char16_t before = previous;
            previous = unit;
            if (unit == QChar::LineSeparator) {
                lineStart = position + 1;
                x = 0;
                breakAt = -1;
                if (startLine(lineStart))
                    return;
                continue;
            }
            if (breaksAfter(unit)) {
                x += unit == u'\t' ? tab - std::fmod(x, tab) : qreal(advance(unit));
                breakAt = position + 1;
                xAtBreak = x;
                continue;
            }
            qreal width = table[unit];
            if (width < 0 || QChar::isSurrogate(unit)) {
                if (QChar::isHighSurrogate(unit) && k + 1 < fragmentLength &&
                    QChar::isLowSurrogate(units[k + 1]))
                    width = pairAdvance(QChar::surrogateToUcs4(unit, units[k + 1]));
                else if (QChar::isLowSurrogate(unit) && QChar::isHighSurrogate(before))
                    width = 0;
                else
                    width = advance(unit);
            }
            if (x + width > available && position > lineStart && !joinsPrevious(unit, before)) {
                int next = -1;
                if (words && breakAt > lineStart) {
                    next = breakAt;
                    x -= xAtBreak;
                } else if (anywhere) {
                    next = position;
                    x = 0;
                }
                if (next >= 0) {
                    lineStart = next;
                    breakAt = -1;
                    if (startLine(next))
                        return;
                }
            }
            x += width;
        }
    }
}
