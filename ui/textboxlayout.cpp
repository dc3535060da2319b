// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "textboxlayout.h"

#include <QFontMetrics>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <climits>
#include <cmath>

TextBoxLayout::TextBoxLayout(QTextDocument* document) : QAbstractTextDocumentLayout(document) {}

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
    ensureBlockLayout(block);
    const QTextLayout* layout = block.layout();
    QRectF rect(QPointF(0, 0), layout->boundingRect().bottomRight());
    if (layout->lineCount() == 1)
        rect.setWidth(std::max(rect.width(), layout->lineAt(0).naturalTextWidth()));
    const qreal margin = document()->documentMargin();
    rect.adjust(0, 0, margin, 0);
    if (!block.next().isValid())
        rect.adjust(0, 0, 0, margin);
    return rect;
}

void TextBoxLayout::ensureBlockLayout(const QTextBlock& block) const
{
    if (block.isValid() && block.layout()->lineCount() == 0)
        const_cast<TextBoxLayout*>(this)->layOutBlock(block);
}

void TextBoxLayout::setTextWidth(qreal width)
{
    width_ = width;
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
    const int newBlockCount = doc->blockCount();
    const QTextBlock startBlock = doc->findBlock(from);
    const QTextBlock endBlock = doc->findBlock(std::max(0, from + charsRemoved + charsAdded - 1));

    if (startBlock == endBlock && newBlockCount == blockCount_) {
        if (startBlock.isValid() && startBlock.length()) {
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
