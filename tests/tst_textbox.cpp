// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Tests of the text box's layout of long paragraphs, which it wraps from the
// advances of their units rather than by shaping them whole: where the lines
// break, that an edit finds the same breaks as laying the paragraph out anew,
// and how the caret moves over the lines.

#include "textbox.h"
#include "textboxlayout.h"

#include <QFontMetricsF>
#include <QImage>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <initializer_list>
#include <vector>

namespace {

// Returns the starts of all lines of the text box's first paragraph.
std::vector<int> lineStarts(const TextBox& box)
{
    const auto* layout = qobject_cast<const TextBoxLayout*>(box.document()->documentLayout());
    const QTextBlock block = box.document()->firstBlock();
    std::vector<int> starts;
    for (int i = 0; i < layout->lineCount(block); ++i)
        starts.push_back(layout->lineStart(block, i));
    return starts;
}

TextBoxLayout* layoutOf(const TextBox& box)
{
    return qobject_cast<TextBoxLayout*>(box.document()->documentLayout());
}

// Returns the advance of `unit` as the text box lays it out.
qreal advanceOf(const TextBox& box, char16_t unit)
{
    return QFontMetricsF(box.document()->defaultFont(), box.viewport()).horizontalAdvance(unit);
}

} // namespace

class TestTextBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrapPoints_data();
    void wrapPoints();
    void editsWrapAsAFreshLayout_data();
    void editsWrapAsAFreshLayout();
    void aNewFontWrapsByItsAdvances();
    void caretMovesOverLines_data();
    void caretMovesOverLines();
    void undoStepsMergeAsInShortLines_data();
    void undoStepsMergeAsInShortLines();
    void scrollsAsQPlainTextEdit_data();
    void scrollsAsQPlainTextEdit();
    void composedTextShowsAndCommits_data();
    void composedTextShowsAndCommits();
};

void TestTextBox::wrapPoints_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("wrap");
    QTest::addColumn<int>("digits");        // the width: this many advances of '7'
    QTest::addColumn<int>("spaces");        // and this many of ' '
    QTest::addColumn<bool>("narrower");     // by 1/64 pixel
    QTest::addColumn<QList<int>>("starts"); // of the first lines

    const int wordsOrAnywhere = QTextOption::WrapAtWordBoundaryOrAnywhere;
    const int anywhere = QTextOption::WrapAnywhere;
    const QString digits(6000, u'7');
    const QString words = QStringLiteral("77777 ").repeated(1000);
    const QString separated = QString(100, u'7') + QChar::LineSeparator + QString(6000, u'7');
    QTest::newRow("a run fills a line exactly")
        << digits << wordsOrAnywhere << 40 << 0 << false << QList<int>{0, 40, 80};
    QTest::newRow("a run, one unit too long for the line")
        << digits << wordsOrAnywhere << 40 << 0 << true << QList<int>{0, 39, 78};
    QTest::newRow("two words fill a line, the space after them hangs")
        << words << wordsOrAnywhere << 10 << 1 << false << QList<int>{0, 12, 24};
    QTest::newRow("the second word one unit too long goes to the next line")
        << words << wordsOrAnywhere << 10 << 1 << true << QList<int>{0, 6, 12};
    QTest::newRow("wrapping anywhere breaks inside the word")
        << words << anywhere << 10 << 1 << true << QList<int>{0, 10, 21};
    QTest::newRow("a line separator ends a line")
        << separated << wordsOrAnywhere << 40 << 0 << false << QList<int>{0, 40, 80, 101, 141};
}

// The text box's width is set to hold an exact number of advances, so that a
// line that fits exactly and one unit more tell the limit apart.
void TestTextBox::wrapPoints()
{
    QFETCH(QString, text);
    QFETCH(int, wrap);
    QFETCH(int, digits);
    QFETCH(int, spaces);
    QFETCH(bool, narrower);
    QFETCH(QList<int>, starts);

    TextBox box;
    box.setWordWrapMode(QTextOption::WrapMode(wrap));
    box.setPlainText(text);
    QVERIFY(TextBoxLayout::isLong(box.document()->firstBlock()));
    const qreal margins = 2 * box.document()->documentMargin();
    layoutOf(box)->setTextWidth(digits * advanceOf(box, u'7') + spaces * advanceOf(box, u' ') +
                                margins - (narrower ? 1.0 / 64 : 0));
    const std::vector<int> found = lineStarts(box);
    QVERIFY(found.size() > static_cast<std::size_t>(starts.size()));
    QCOMPARE(QList<int>(found.begin(), found.begin() + starts.size()), starts);
}

void TestTextBox::editsWrapAsAFreshLayout_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("inserted");

    const QString words = QStringLiteral("7777 777 77777 7 ").repeated(400);
    const QString digits(6000, u'7');
    QTest::newRow("digits typed at a line's start, a line more") << digits << 46 << 0 << "77777";
    QTest::newRow("digits deleted in the middle, a line less") << digits << 3001 << 20 << "";
    QTest::newRow("a space deleted joins two words") << words << 4 << 1 << "";
    // 19 digits and a space leave no room for 5 more digits, but for 3.
    QTest::newRow("a word shortened at a line's start moves up a line")
        << QString(19, u'7') + QStringLiteral(" 77777").repeated(1000) << 20 << 2 << "";
    QTest::newRow("a long word typed in the first line") << words << 2 << 0 << "777777777777";
    QTest::newRow("a space typed splits a word at a line's end") << words << 27 << 0 << " ";
    QTest::newRow("lines removed across many lines") << words << 100 << 900 << "7 7";
    QTest::newRow("a line separator typed") << words << 50 << 0 << QString(QChar::LineSeparator);
}

// After an edit the wrap points are found again only from the edited line up
// to where they meet the old ones; the result is what a layout of the whole
// paragraph finds.
void TestTextBox::editsWrapAsAFreshLayout()
{
    QFETCH(QString, text);
    QFETCH(int, at);
    QFETCH(int, removed);
    QFETCH(QString, inserted);

    TextBox box;
    box.setPlainText(text);
    const qreal width = 23 * advanceOf(box, u'7') + 2 * box.document()->documentMargin();
    layoutOf(box)->setTextWidth(width);
    const std::vector<int> before = lineStarts(box);
    QTextCursor cursor(box.document());
    cursor.setPosition(at);
    cursor.setPosition(at + removed, QTextCursor::KeepAnchor);
    cursor.insertText(inserted);
    const std::vector<int> edited = lineStarts(box);
    layoutOf(box)->setTextWidth(width);
    const std::vector<int> fresh = lineStarts(box);
    QVERIFY(edited != before);
    QCOMPARE(edited, fresh);
}

// A long paragraph laid out in one font and then shown in a larger one breaks
// where a text box that had the larger font from the start breaks it.
void TestTextBox::aNewFontWrapsByItsAdvances()
{
    const QString text = QStringLiteral("7777 777 77777 7 ").repeated(400);
    QFont larger;
    larger.setPointSizeF(larger.pointSizeF() * 1.5);
    TextBox changed;
    changed.setPlainText(text);
    const qreal width = 300;
    layoutOf(changed)->setTextWidth(width);
    const std::vector<int> before = lineStarts(changed);
    changed.setFont(larger);
    layoutOf(changed)->setTextWidth(width);
    TextBox fresh;
    fresh.setFont(larger);
    fresh.setPlainText(text);
    layoutOf(fresh)->setTextWidth(width);
    QVERIFY(lineStarts(changed) != before);
    QCOMPARE(lineStarts(changed), lineStarts(fresh));
}

void TestTextBox::caretMovesOverLines_data()
{
    QTest::addColumn<int>("fromLine"); // of the long paragraph; -1: the short one after it
    QTest::addColumn<int>("fromColumn");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("toLine");
    QTest::addColumn<int>("toColumn");

    QTest::newRow("Down keeps the column") << 0 << 3 << int(Qt::Key_Down) << 1 << 3;
    QTest::newRow("Up keeps the column") << 2 << 5 << int(Qt::Key_Up) << 1 << 5;
    QTest::newRow("Home goes to the line's start") << 1 << 3 << int(Qt::Key_Home) << 1 << 0;
    QTest::newRow("End goes to the line's end, the next one's start")
        << 1 << 3 << int(Qt::Key_End) << 2 << 0;
    QTest::newRow("Right at a line's end crosses to the next line")
        << 1 << -1 << int(Qt::Key_Right) << 2 << 0;
    QTest::newRow("Left at a line's start crosses to the line before")
        << 2 << 0 << int(Qt::Key_Left) << 1 << -1;
    QTest::newRow("Down from the last line to the short paragraph")
        << -2 << 4 << int(Qt::Key_Down) << -1 << 4;
    QTest::newRow("Up from the short paragraph to the last line")
        << -1 << 2 << int(Qt::Key_Up) << -2 << 2;
}

// Lines are named by their index in the long paragraph, -2 for its last line,
// -1 for the short paragraph after it; a column of -1 is the last unit of the
// line before a line start.
void TestTextBox::caretMovesOverLines()
{
    QFETCH(int, fromLine);
    QFETCH(int, fromColumn);
    QFETCH(int, key);
    QFETCH(int, toLine);
    QFETCH(int, toColumn);

    TextBox box;
    box.resize(300, 200);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setPlainText(QString(6000, u'7') + QStringLiteral("\n77777"));
    const QTextBlock block = box.document()->firstBlock();
    const TextBoxLayout* layout = layoutOf(box);
    const int lines = layout->lineCount(block);
    const auto position = [&](int line, int column) {
        if (line == -1)
            return block.next().position() + column;
        return layout->lineStart(block, line == -2 ? lines - 1 : line) + column;
    };
    QVERIFY(TextBoxLayout::isLong(block));
    QVERIFY(lines > 3);
    QVERIFY(block.length() - 1 - layout->lineStart(block, lines - 1) > 4);
    QTextCursor cursor(box.document());
    cursor.setPosition(fromColumn < 0 ? layout->lineStart(block, fromLine + 1) - 1
                                      : position(fromLine, fromColumn));
    box.setTextCursor(cursor);
    QTest::keyClick(&box, Qt::Key(key));
    const int expected =
        toColumn < 0 ? layout->lineStart(block, toLine + 1) - 1 : position(toLine, toColumn);
    QCOMPARE(box.textCursor().position(), expected);
}

void TestTextBox::undoStepsMergeAsInShortLines_data()
{
    QTest::addColumn<QString>("keys"); // comma-separated
    QTest::newRow("letters typed") << "A,B,C";
    QTest::newRow("Backspace thrice") << "Backspace,Backspace,Backspace";
    QTest::newRow("Delete thrice") << "Delete,Delete,Delete";
    QTest::newRow("letters typed, then Backspace") << "A,B,Backspace,C";
    QTest::newRow("a letter typed, the caret away and back, a letter typed") << "A,Left,Right,B";
    QTest::newRow("a letter typed, the caret moved on, a letter typed") << "A,Right,B";
    QTest::newRow("Shift+Return among letters") << "A,Shift+Return,B";
}

// Keys typed in a long paragraph are made inside edits of the text box's own,
// which must give the undo steps that Qt's own merging gives in a short one:
// as many, each taking back the same units.
void TestTextBox::undoStepsMergeAsInShortLines()
{
    QFETCH(QString, keys);

    QStringList undone[2];
    for (const int length : {100, 6000}) {
        TextBox box;
        box.setPlainText(QString(length, u'7'));
        QTextCursor cursor(box.document());
        cursor.setPosition(50);
        box.setTextCursor(cursor);
        for (const QString& key : keys.split(u','))
            QTest::keySequence(&box, QKeySequence(key));
        QStringList& steps = undone[length > 100];
        while (box.document()->isUndoAvailable()) {
            steps.append(box.document()->toRawText().left(60).sliced(40));
            box.undo();
        }
        steps.append(box.document()->toRawText().left(60).sliced(40));
    }
    QVERIFY(undone[0].size() > 1);
    QCOMPARE(undone[1], undone[0]);
}

void TestTextBox::scrollsAsQPlainTextEdit_data()
{
    QTest::addColumn<QString>("keys"); // comma-separated

    QTest::newRow("Down past the bottom") << QStringLiteral("Down,").repeated(22).chopped(1);
    QTest::newRow("Down past the bottom, Ctrl+Home")
        << QStringLiteral("Down,").repeated(22) + QStringLiteral("Ctrl+Home");
    QTest::newRow("Page Down") << "PgDown";
    QTest::newRow("Page Down twice, Page Up") << "PgDown,PgDown,PgUp";
    QTest::newRow("Shift+Page Down selects a page") << "Right,Shift+PgDown";
    QTest::newRow("Ctrl+End, Up") << "Ctrl+End,Up";
    QTest::newRow("Ctrl+End, Page Up, Ctrl+Home") << "Ctrl+End,PgUp,Ctrl+Home";
}

// The text box replaces QPlainTextEdit: on a long paragraph of words, the same
// keys leave the same line at the top, scrolled by the same whole pixels, the
// same caret and the same selection.
void TestTextBox::scrollsAsQPlainTextEdit()
{
    QFETCH(QString, keys);

    const QString text = QStringLiteral("0123456789 word").repeated(1024);
    TextBox box;
    QPlainTextEdit reference;
    for (QAbstractScrollArea* area :
         std::initializer_list<QAbstractScrollArea*>{&box, &reference}) {
        area->setFixedSize(241, 265);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->show();
        QVERIFY(QTest::qWaitForWindowExposed(area));
    }
    box.setPlainText(text);
    reference.setPlainText(text);
    QVERIFY(TextBoxLayout::isLong(box.document()->firstBlock()));
    for (const QString& key : keys.split(u',')) {
        QTest::keySequence(&box, QKeySequence(key));
        QTest::keySequence(&reference, QKeySequence(key));
    }
    QVERIFY(reference.verticalScrollBar()->value() > 0 || keys.endsWith("Home"));
    QCOMPARE(box.verticalScrollBar()->value(), reference.verticalScrollBar()->value());
    QCOMPARE(box.verticalScrollBar()->maximum(), reference.verticalScrollBar()->maximum());
    QCOMPARE(box.textCursor().position(), reference.textCursor().position());
    QCOMPARE(box.textCursor().anchor(), reference.textCursor().anchor());
    QCOMPARE(box.cursorRect(), reference.cursorRect());
}

void TestTextBox::composedTextShowsAndCommits_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("short paragraph") << 100;
    QTest::newRow("long paragraph") << 6000;
}

// An input method's text being composed shows at the caret without entering
// the text; committed, it enters the text once.
void TestTextBox::composedTextShowsAndCommits()
{
    QFETCH(int, length);

    TextBox box;
    box.resize(300, 200);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QString text(length, u'7');
    box.setPlainText(text);
    QTextCursor cursor(box.document());
    cursor.setPosition(5);
    box.setTextCursor(cursor);
    const QImage before = box.viewport()->grab().toImage();
    QInputMethodEvent compose(QStringLiteral("WWW"), {});
    QCoreApplication::sendEvent(&box, &compose);
    QCOMPARE(box.document()->toRawText(), text);
    QVERIFY(box.viewport()->grab().toImage() != before);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("WWW"));
    QCoreApplication::sendEvent(&box, &commit);
    QCOMPARE(box.document()->toRawText(), QString(text).insert(5, QStringLiteral("WWW")));
    QCOMPARE(box.textCursor().position(), 8);
}

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
