// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractTextDocumentLayout>

// The document layout of the text box. It lays a paragraph out only when the
// text box or a cursor asks for it, one line under another at the text box's
// width, and keeps each paragraph's number of lines in the document, which
// finds a block by its line number in logarithmic time. It draws nothing
// itself: the text box draws the paragraphs that it shows.
class TextBoxLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT

public:
    explicit TextBoxLayout(QTextDocument* document);

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

    // Returns true while size changes are not announced.
    bool sizeSignalBlocked() const { return sizeSignalBlocked_; }
    // Stops or resumes announcing size changes.
    void blockSizeSignal(bool blocked) { sizeSignalBlocked_ = blocked; }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    void layOutBlock(const QTextBlock& block);

    qreal width_ = 0;
    int blockCount_ = 1;
    bool sizeSignalBlocked_ = false;
};
