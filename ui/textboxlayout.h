// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>
#include <memory>
#include <unordered_map>
#include <vector>

// One line of a paragraph as the text box shows it: a QTextLine of a layout
// whose units start `offset` units into the paragraph.
struct VisualLine
{
    // The layout that holds the line; shared with the cache for a line of a
    // long paragraph, the paragraph's own for a short one.
    std::shared_ptr<QTextLayout> owner;
    QTextLayout* layout = nullptr;
    QTextLine line;
    int offset = 0;

    // Returns the line's first unit, counted from the paragraph's start.
    int start() const { return offset + line.textStart(); }
    // Returns the end of the line's units, with its trailing spaces.
    int end() const { return offset + line.textStart() + line.textLength(); }
};

// The document layout of the text box. It lays a paragraph out only when the
// text box or a cursor asks for it, one line under another at the text box's
// width, and keeps each paragraph's number of lines in the document, which
// finds a block by its line number in logarithmic time. It draws nothing
// itself: the text box draws the paragraphs that it shows.
//
// A short paragraph is laid out whole in its own QTextLayout, as Qt's plain
// text layout does it. A long one is never shaped as a whole: its wrap points
// come from the advances of its units, kept per unit value, and only the lines
// that are shown are shaped, each in a small layout of its own. After an edit
// the wrap points are found again from the edited line on, up to where they
// meet the old ones again.
class TextBoxLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT

public:
    // The longest paragraph that is laid out whole. Qt shapes a paragraph of
    // this size in about a millisecond; the window's short texts stay far
    // below it and so look exactly as Qt's own layout draws them.
    static constexpr int longParagraph = 4096;

    explicit TextBoxLayout(QTextDocument* document);
    ~TextBoxLayout() override;

    void draw(QPainter* painter, const PaintContext& context) override;
    int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override;
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame* frame) const override;
    // Returns the rectangle of `block` relative to its own top, laying it out
    // first when it has no lines yet.
    QRectF blockBoundingRect(const QTextBlock& block) const override;

    // Lays `block` out when it has no lines yet.
    void ensureBlockLayout(const QTextBlock& block) const;

    // Returns the width that the lines fill, with the margins on both sides.
    qreal textWidth() const { return width_; }
    // Sets that width and lays every paragraph out anew when it is next asked.
    void setTextWidth(qreal width);

    // Returns true when `block` is laid out a line at a time.
    static bool isLong(const QTextBlock& block) { return block.length() - 1 > longParagraph; }
    // Returns the number of lines of `block`, laying it out if need be.
    int lineCount(const QTextBlock& block) const;
    // Returns the index of the line of `block` that holds unit `offset`.
    int lineOf(const QTextBlock& block, int offset) const;
    // Returns the first unit of line `index` of `block`, counted from the
    // block's start, without shaping the line.
    int lineStart(const QTextBlock& block, int index) const;
    // Returns line `index` of `block`, laid out.
    VisualLine visualLine(const QTextBlock& block, int index) const;
    // Returns the top and the height of line `index` of `block`, relative to
    // the block's top.
    QRectF lineRect(const QTextBlock& block, int index) const;
    // Returns the index of the line of `block` that holds height `y`, relative
    // to the block's top: -1 above the first line, lineCount() below the last.
    int lineAtY(const QTextBlock& block, qreal y) const;
    // Returns the index of the first line of `block` whose top is at `y` or
    // below it; lineCount() when there is none.
    int firstLineFrom(const QTextBlock& block, qreal y) const;
    // Returns the index of the first line of `block` whose bottom is below
    // `y`; lineCount() when there is none.
    int firstLineBelow(const QTextBlock& block, qreal y) const;
    // Forgets the advances and shaped lines of the former font.
    void resetMetrics();

    // Returns true while size changes are not announced.
    bool sizeSignalBlocked() const { return sizeSignalBlocked_; }
    // Stops or resumes announcing size changes.
    void blockSizeSignal(bool blocked) { sizeSignalBlocked_ = blocked; }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    struct LongLines
    {
        std::vector<int> starts;
        int length = -1;
    };

    void layOutBlock(const QTextBlock& block);
    const LongLines& longLines(const QTextBlock& block) const;
    void wrap(const QTextBlock& block, LongLines& lines, int fromLine, const LongLines* old,
              int resyncAfter, int delta) const;
    void countLines(const QTextBlock& block, const LongLines& lines) const;
    void rewrap(const QTextBlock& block, int offset, int removed, int added);
    float advance(char16_t unit) const;
    float pairAdvance(char32_t codePoint) const;
    qreal longLineHeight() const;
    qreal availableWidth() const;
    void forgetLines();

    // Wrap points of the long paragraphs, by their blocks' layouts, which
    // stay with a block as long as it lives.
    mutable std::unordered_map<const QTextLayout*, LongLines> longLines_;
    mutable std::vector<float> advances_;
    mutable std::unordered_map<char32_t, float> pairAdvances_;
    // The step from one line of a long paragraph to the next, the height of
    // a line's text and of its box; known once the step is.
    mutable qreal lineHeight_ = -1;
    mutable qreal lineRectHeight_ = 0;
    mutable qreal lineBoxHeight_ = 0;
    // Lines of long paragraphs shaped lately, for repaints of the caret.
    struct ShapedLine
    {
        const QTextLayout* block;
        int start;
        int length;
        std::shared_ptr<QTextLayout> layout;
    };
    mutable std::vector<ShapedLine> shaped_;
    qreal width_ = 0;
    int blockCount_ = 1;
    bool sizeSignalBlocked_ = false;
};
