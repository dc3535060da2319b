// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPlainTextEdit>
#include <limits>
#include <optional>

// The window's text box: a plain-text editor that hands out and takes in
// copied, cut, dragged and selected text unit for unit, as plain text, and
// refuses text that would make a line longer than it can show.
class TextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    // Qt lays a paragraph out in one piece and shows nothing at all once its
    // glyph arrays outgrow an int: with the text box's font, 64 Mi units of
    // one paragraph lay out and show, 68.5 M do not (README, "Limits of the
    // window").
    static constexpr qsizetype defaultMaxLineLength = qsizetype{64} * 1024 * 1024;

    // The text box counts positions in ints, and its undo history keeps the
    // text that a command replaces beside the result: both together must fit.
    static constexpr qsizetype defaultMaxUnits = std::numeric_limits<int>::max() - 1;

    // The MIME type of the exact UTF-16 units, in the machine's byte order,
    // that the text box offers beside text/plain and prefers to take in:
    // a lone surrogate does not survive UTF-8.
    static const QString unitsMimeType;

    explicit TextBox(QWidget* parent = nullptr);

    // Returns the most units that the text and the text a command replaces
    // may hold together.
    qsizetype maxUnits() const { return maxUnits_; }
    // Sets that number; tests lower it to try the limit on small texts.
    void setMaxUnits(qsizetype units) { maxUnits_ = units; }

    // Returns the length of the longest line that the text box takes in.
    qsizetype maxLineLength() const { return maxLineLength_; }
    // Sets the length of the longest line that the text box takes in; tests
    // lower it to try the limit on small texts.
    void setMaxLineLength(qsizetype length) { maxLineLength_ = length; }

Q_SIGNALS:
    // Emitted, after the event, when a paste, a drop or a key was refused
    // because it would have made a line longer than maxLineLength().
    void lineTooLong();
    // Emitted, after the event, when a paste or a drop failed, for want of
    // memory, and was taken back.
    void insertFailed();

protected:
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Returns true when `event` drops text dragged from this text box itself
    // and moves it. Tests override it, since only a real drag has a source.
    virtual bool movesWithin(const QDropEvent* event) const;

private:
    bool makesLongLine(qsizetype start, qsizetype end, QStringView text) const;
    bool editMakesLongLine(const QEvent* event, qsizetype inserted) const;
    bool moveMakesLongLine(int at, const QString& text) const;
    bool refuseIfLong(bool tooLong);
    bool pasteMakesLongLine();
    void ignoreDrop(QDropEvent* event);
    static QString textOf(const QMimeData* source);

    qsizetype maxLineLength_ = defaultMaxLineLength;
    qsizetype maxUnits_ = defaultMaxUnits;
    // Set while a drop is handed on, cleared when its text was taken in.
    bool dropRefused_ = false;
    // The text of the drag over the text box, once asked for.
    std::optional<QString> draggedText_;
};
