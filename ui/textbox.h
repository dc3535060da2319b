// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QClipboard>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextOption>
#include <functional>
#include <limits>
#include <optional>

QT_BEGIN_NAMESPACE
class QMenu;
class QMimeData;
class QTextDocument;
QT_END_NAMESPACE

class TextBoxLayout;

// The window's text box: a plain multi-line text view over a QTextDocument,
// which keeps the text and its undo history. It lays out, draws and asks
// about only the paragraphs that it shows, so that the cost of an edit or a
// repaint follows the screen rather than the line. It hands out and takes in
// copied, cut, dragged and selected text unit for unit, and refuses text that
// would make a line longer than it can show.
class TextBox : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // The longest line that the window's messages promise to show: Qt's own
    // plain-text layout showed nothing past 64 Mi to 68.5 M units of one
    // paragraph with the text box's font (docs/design.md).
    static constexpr qsizetype defaultMaxLineLength = qsizetype{64} * 1024 * 1024;

    // The text box counts positions in ints, and its undo history keeps the
    // text that a command replaces beside the result: both together must fit.
    static constexpr qsizetype defaultMaxUnits = std::numeric_limits<int>::max() - 1;

    // The MIME type of the exact UTF-16 units, in the machine's byte order,
    // that the text box offers beside text/plain and prefers to take in:
    // a lone surrogate does not survive UTF-8.
    static const QString unitsMimeType;

    explicit TextBox(QWidget* parent = nullptr);
    ~TextBox() override;

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

    // Returns the document that holds the text and its undo history.
    QTextDocument* document() const { return document_; }

    QTextCursor textCursor() const { return cursor_; }
    void setTextCursor(const QTextCursor& cursor);
    // Moves the cursor as `operation` does, and shows it.
    void moveCursor(QTextCursor::MoveOperation operation,
                    QTextCursor::MoveMode mode = QTextCursor::MoveAnchor);
    // Returns a cursor at the text position under `point`, in viewport
    // coordinates.
    QTextCursor cursorForPosition(const QPoint& point) const;
    // Returns the rectangle of the caret at `cursor`, in viewport coordinates.
    QRect cursorRect(const QTextCursor& cursor) const;
    QRect cursorRect() const { return cursorRect(cursor_); }

    // Replaces the whole text and forgets the undo history.
    void setPlainText(const QString& text);
    // Returns the text as Qt's plain-text export gives it.
    QString toPlainText() const;
    // Puts `text` in place of the selection, as a user's edit.
    void insertPlainText(const QString& text);

    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    bool tabChangesFocus() const { return tabChangesFocus_; }
    void setTabChangesFocus(bool changes) { tabChangesFocus_ = changes; }
    bool overwriteMode() const { return overwriteMode_; }
    void setOverwriteMode(bool overwrite) { overwriteMode_ = overwrite; }
    QTextOption::WrapMode wordWrapMode() const { return wrapMode_; }
    void setWordWrapMode(QTextOption::WrapMode mode);

    // Returns the first paragraph that the text box shows.
    QTextBlock firstVisibleBlock() const;

    // Returns the standard menu of the text box: undo, redo, cut, copy,
    // paste, delete and select all, each enabled where it can act.
    QMenu* createStandardContextMenu(const QPoint& position = {});

public Q_SLOTS:
    void undo();
    void redo();
    void copy();
    void cut();
    void paste();
    void selectAll();
    void clear();
    // Scrolls the least that shows the caret.
    void ensureCursorVisible();

Q_SIGNALS:
    // Emitted, after the event, when a paste, a drop or a key was refused
    // because it would have made a line longer than maxLineLength().
    void lineTooLong();
    // Emitted, after the event, when a paste or a drop failed, for want of
    // memory, and was taken back.
    void insertFailed();
    void textChanged();
    void cursorPositionChanged();
    void selectionChanged();
    void copyAvailable(bool available);
    void undoAvailable(bool available);
    void redoAvailable(bool available);

protected:
    virtual QMimeData* createMimeDataFromSelection() const;
    virtual bool canInsertFromMimeData(const QMimeData* source) const;
    virtual void insertFromMimeData(const QMimeData* source);
    // Returns true when `event` drops text dragged from this text box itself
    // and moves it. Tests override it, since only a real drag has a source.
    virtual bool movesWithin(const QDropEvent* event) const;

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class TextBoxAccessible;

    // Geometry
    qreal verticalOffset(int topBlock, int topLine) const;
    qreal verticalOffset() const { return verticalOffset(topBlock_, topLine_) + fracture_; }
    QPointF contentOffset() const { return {0, -verticalOffset()}; }
    QRectF blockRect(const QTextBlock& block) const;
    int hitTest(const QPointF& point) const;
    QRectF rectForPosition(int position) const;
    int cursorWidth() const;
    void adjustScrollBars();
    void setTopLine(int visualTopLine);
    void setTopBlock(int blockNumber, int lineNumber);
    void ensureVisible(int position);
    void pageUpDown(QTextCursor::MoveOperation operation, QTextCursor::MoveMode mode,
                    bool moveCursor);
    void scrollBarAction(int action);
    void relayout();
    void autoScroll();
    void drawBlock(QPainter& painter, QTextLayout* layout, const QPointF& offset,
                   const QRect& exposed, const QList<QTextLayout::FormatRange>& selections,
                   bool drawCursor, int cursorPosition, int blockPosition) const;
    void drawLines(QPainter& painter, const QTextBlock& block, const QPointF& offset,
                   const QRect& exposed, const QList<QTextLayout::FormatRange>& selections,
                   int caret, bool caretShown) const;

    // Editing and the caret
    void handleKey(QKeyEvent* event);
    enum class CaretEdit
    {
        insert,
        backspace,
        deletion
    };
    void editAtCaret(CaretEdit kind, const std::function<void()>& edit);
    void withinEdit(const std::function<void()>& edit);
    bool moveKey(QKeyEvent* event);
    bool moveVertically(QTextCursor& cursor, QTextCursor::MoveOperation operation,
                        QTextCursor::MoveMode mode);
    bool moveInLongBlock(QTextCursor& cursor, QTextCursor::MoveOperation operation,
                         QTextCursor::MoveMode mode);
    std::pair<int, int> wordAt(int position) const;
    int boundaryNear(const QTextBlock& block, int position, QTextBoundaryFinder::BoundaryType type,
                     bool forward, bool starts) const;
    bool editKey(QKeyEvent* event);
    void composeInput(QInputMethodEvent* event);
    void pasteFrom(QClipboard::Mode mode);
    void deleteSelection();
    void cursorChanged(const QTextCursor& old);
    void caretMoved();
    void documentMovedCursor(const QTextCursor& cursor);
    void announceSelection(bool force);
    void setClipboardSelection();
    void setBlinking(bool blinking);
    void contentsChanged(int from, int charsRemoved, int charsAdded);
    void extendWordwise(int position);
    void startDrag();
    bool acceptDragMove(QDragMoveEvent* event);
    bool dropText(QDropEvent* event);

    // Limits of the line length
    bool makesLongLine(qsizetype start, qsizetype end, QStringView text) const;
    bool editMakesLongLine(const QEvent* event, qsizetype inserted) const;
    bool moveMakesLongLine(int at, const QString& text) const;
    bool refuseIfLong(bool tooLong);
    bool pasteMakesLongLine();
    void ignoreDrop(QDropEvent* event);
    static QString textOf(const QMimeData* source);

    QTextDocument* document_;
    TextBoxLayout* layout_;
    QTextCursor cursor_;
    int topBlock_ = 0;
    int topLine_ = 0;
    // The part of a pixel that the text lies off the top line's top.
    qreal fracture_ = 0;
    bool readOnly_ = false;
    bool tabChangesFocus_ = false;
    bool overwriteMode_ = false;
    QTextOption::WrapMode wrapMode_ = QTextOption::WrapAtWordBoundaryOrAnywhere;

    bool cursorOn_ = false;
    bool hasFocus_ = false;
    QBasicTimer blinkTimer_;
    int lastSelectionPosition_ = 0;
    int lastSelectionAnchor_ = 0;

    bool mousePressed_ = false;
    bool mightStartDrag_ = false;
    QPoint mousePressPoint_;
    QTextCursor wordOnDoubleClick_;
    QBasicTimer tripleClickTimer_;
    QPoint tripleClickPoint_;
    QBasicTimer autoScrollTimer_;
    bool inDrag_ = false;
    QPoint autoScrollDragPoint_;
    QTextCursor dropCursor_;

    // The input method's text being composed in a long paragraph, where it
    // goes in and how it looks.
    struct Composing
    {
        QString text;
        int position = 0;
        QList<QTextLayout::FormatRange> formats;
    };
    Composing composing_;
    // The input method's text being composed, and its caret in it.
    int preeditCursor_ = 0;
    bool hideCursor_ = false;

    // The caret's x that Up and Down keep in a long paragraph, while they
    // move it.
    std::optional<qreal> verticalX_;
    bool keepVerticalX_ = false;

    // The last unit typed or deleted at the caret of a long paragraph: its
    // kind, the document's revision after it and where it left the caret.
    struct CaretEditMark
    {
        CaretEdit kind;
        int revision;
        int position;
    };
    std::optional<CaretEditMark> lastCaretEdit_;

    // The caret's top when Page Up or Page Down last moved it.
    std::optional<qreal> pageCursorY_;

    qsizetype maxLineLength_ = defaultMaxLineLength;
    qsizetype maxUnits_ = defaultMaxUnits;
    // Set while a drop is handed on, cleared when its text was taken in.
    bool dropRefused_ = false;
    // The text of the drag over the text box, once asked for.
    std::optional<QString> draggedText_;
};
