// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Times the main window offscreen on large texts: how long it takes from
// putting a text into the text box, or pressing a button, until the window
// has been repainted, and how soon a result too large for the text box is
// refused. Run with QT_QPA_PLATFORM=offscreen (make bench does).
//
// It ends with a line of 64 Mi digits, the longest that the text box takes
// in (about a minute, 3 GB). With --table it prints only the table of the two
// shapes of a 1 MiB text, for a profiler; with --longest-line it instead lays
// out a line of 68.5 M digits and tells whether it shows.

#include "frmkelvane.h"
#include "textbox.h"
#include "textboxlayout.h"
#include "textreplacer.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>
#include <array>
#include <cstdio>
#include <ctime>
#include <random>

namespace {

// Returns the milliseconds that `work` and the repaint after it take.
template <typename Work>
double timeRepainted(QWidget& window, Work&& work)
{
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    work();
    window.repaint();
    QApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void report(const char* what, double ms)
{
    std::printf("%-58s %9.1f ms\n", what, ms);
    std::fflush(stdout);
}

// Returns about `units` characters of prose without digits: words of 2 to 9
// letters with punctuation, in paragraphs of `paragraph` characters or so
// separated by line breaks (none when `paragraph` is 0).
QString prose(qsizetype units, qsizetype paragraph)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> letter(0, 25), length(2, 9), mark(0, 11);
    QString text;
    text.reserve(units + 16);
    qsizetype paragraphStart = 0;
    while (text.size() < units) {
        const int n = length(rng);
        for (int i = 0; i < n; ++i)
            text += QChar(u'a' + letter(rng));
        const int m = mark(rng);
        text += m == 0 ? QStringLiteral(". ") : m == 1 ? QStringLiteral(", ") : QStringLiteral(" ");
        if (paragraph > 0 && text.size() - paragraphStart >= paragraph) {
            text.back() = u'\n';
            paragraphStart = text.size();
        }
    }
    text.truncate(units);
    return text;
}

// Returns the milliseconds from starting `work` until a message box shows,
// and closes the box; prints its text and the processor time taken, which
// other work on the machine does not lengthen.
template <typename Work>
double timeUntilMessage(Work&& work)
{
    QElapsedTimer timer;
    double ms = -1;
    QTimer watch;
    watch.setInterval(1);
    const std::clock_t cpu = std::clock();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            std::printf("  \"%s\"\n  processor time %.1f ms\n", qPrintable(box->text()),
                        1e3 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
            box->accept();
        }
    });
    watch.start();
    timer.start();
    work();
    // A message that comes after the event shows from the event loop.
    while (ms < 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return ms;
}

// Puts `plain` into `text` as one edit, which lays out only what the text box shows.
void putText(TextBox* text, const QString& plain)
{
    text->clear();
    QTextCursor cursor(text->document());
    cursor.beginEditBlock();
    cursor.insertText(plain);
    cursor.endEditBlock();
}

// Puts a single line of `units` digits into the text box and prints how long
// that took, with laying it out and showing it, and whether the line shows:
// the text box's pixels hold the digits' ink.
void layOutLine(frmKelvane& window, TextBox* text, qsizetype units)
{
    const QString digits(units, QLatin1Char('7'));
    text->clear();
    QElapsedTimer timer;
    timer.start();
    putText(text, digits);
    window.repaint();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const auto* layout = qobject_cast<const TextBoxLayout*>(text->document()->documentLayout());
    const int lines = layout->lineCount(text->document()->firstBlock());
    const QImage shown = text->viewport()->grab().toImage();
    int ink = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x)
            ink += qGray(shown.pixel(x, y)) < 96;
    }
    std::printf("line of %lld digits: %d lines, shown in %.1f ms, %s\n",
                static_cast<long long>(units), lines, ms, ink > 0 ? "shown" : "SHOWN EMPTY");
    std::fflush(stdout);
}

// The actions of the side-by-side table, in the order timeActions() takes them.
constexpr std::array<const char*, 8> actionNames = {
    "paste",   "Encrypt",           "type one digit at the end", "Ctrl+Z of that digit",
    "Decrypt", "Ctrl+Z of Decrypt", "Ctrl+Z of Encrypt",         "Ctrl+Y"};

struct ShapeTimes
{
    std::array<double, actionNames.size()> ms{};
    qsizetype cipherSize = 0;
    bool restored = false;
};

// Times, until the window is repainted, each action of actionNames on `plain`:
// pasted into the emptied text box, encrypted, a digit typed at the end and
// taken back, decrypted, both commands undone and Encrypt redone. The keys
// go through the window's shortcuts first, as a user's would.
ShapeTimes timeActions(frmKelvane& window, TextBox* text, QPushButton* clear, QPushButton* encrypt,
                       QPushButton* decrypt, const QString& plain)
{
    ShapeTimes times;
    clear->click();
    text->document()->clearUndoRedoStacks();
    text->setFocus();
    QApplication::clipboard()->setText(plain);
    std::size_t row = 0;
    const auto time = [&](auto&& work) { times.ms[row++] = timeRepainted(window, work); };
    time([&] { QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier); });
    time([&] { encrypt->click(); });
    times.cipherSize = text->document()->characterCount() - 1;
    QTextCursor end = text->textCursor();
    end.setPosition(text->document()->characterCount() - 1);
    text->setTextCursor(end);
    QApplication::processEvents();
    time([&] { QTest::keyClick(text, Qt::Key_7); });
    time([&] { QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier); });
    time([&] { decrypt->click(); });
    times.restored = TextReplacer::textOf(text->document()) == plain;
    time([&] { QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier); });
    time([&] { QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier); });
    times.restored = times.restored && TextReplacer::textOf(text->document()) == plain;
    time([&] { QTest::keyClick(text, Qt::Key_Y, Qt::ControlModifier); });
    return times;
}

// Prints, side by side, the times of the actions of actionNames on a 1 MiB
// text in paragraphs of ~300 characters and as one paragraph, whose cipher
// text is one line of ~4.7M digits, and the ratio of the two.
void printShapes(frmKelvane& window, TextBox* text)
{
    auto* key = window.findChild<QComboBox*>(QStringLiteral("cboKey"));
    auto* encrypt = window.findChild<QPushButton*>(QStringLiteral("cmdEncrypt"));
    auto* decrypt = window.findChild<QPushButton*>(QStringLiteral("cmdDecrypt"));
    auto* clear = window.findChild<QPushButton*>(QStringLiteral("cmdClear"));
    key->setEditText(QStringLiteral("4"));
    std::printf("\n1 MiB text (524,288 characters), key 4: in paragraphs of ~300 against one "
                "paragraph\n");
    const ShapeTimes paragraphs =
        timeActions(window, text, clear, encrypt, decrypt, prose(512 * 1024, 300));
    const ShapeTimes oneParagraph =
        timeActions(window, text, clear, encrypt, decrypt, prose(512 * 1024, 0));
    std::printf("%-42s %12s %14s %7s\n", "action", "paragraphs", "one paragraph", "ratio");
    for (std::size_t i = 0; i < actionNames.size(); ++i)
        std::printf("%-42s %9.1f ms %11.1f ms %6.1fx\n", actionNames[i], paragraphs.ms[i],
                    oneParagraph.ms[i], oneParagraph.ms[i] / paragraphs.ms[i]);
    std::printf("restored exactly: paragraphs %s, one paragraph %s\n",
                paragraphs.restored ? "yes" : "NO", oneParagraph.restored ? "yes" : "NO");
    std::printf("cipher text: paragraphs %lld characters, one paragraph a line of %lld digits\n",
                static_cast<long long>(paragraphs.cipherSize),
                static_cast<long long>(oneParagraph.cipherSize));
    // The text box holds the line again, Ctrl+Y having brought Encrypt back.
    QTextCursor middle(text->document());
    middle.setPosition(text->document()->characterCount() / 2);
    text->setTextCursor(middle);
    QApplication::processEvents();
    std::printf("a digit typed in the middle of that line, until repainted: %.1f ms\n",
                timeRepainted(window, [&] { QTest::keyClick(text, Qt::Key_7); }));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    frmKelvane window;
    window.show();
    auto* text = window.findChild<TextBox*>(QStringLiteral("txtEncrypt"));
    if (argc > 1 && qstrcmp(argv[1], "--table") == 0) {
        printShapes(window, text);
        return 0;
    }
    if (argc > 1 && qstrcmp(argv[1], "--longest-line") == 0) {
        layOutLine(window, text, 68'500'000);
        return 0;
    }

    const QString digits = QString(512 * 1024, QLatin1Char('7'));
    report("512K-digit line, set as the whole text",
           timeRepainted(window, [&] { text->setPlainText(digits); }));
    report("512K-digit line, scrolled to its end", timeRepainted(window, [&] {
               text->moveCursor(QTextCursor::End);
               text->ensureCursorVisible();
           }));
    text->clear();
    report("512K-digit line, pasted into the empty text box",
           timeRepainted(window, [&] { text->insertPlainText(digits); }));
    report("512K-digit line, undone", timeRepainted(window, [&] { text->undo(); }));
    report("512K-digit line, redone", timeRepainted(window, [&] { text->redo(); }));

    auto* key = window.findChild<QComboBox*>(QStringLiteral("cboKey"));
    auto* encrypt = window.findChild<QPushButton*>(QStringLiteral("cmdEncrypt"));
    printShapes(window, text);

    // Every edit checks how the text box must wrap; a long run elsewhere in
    // the text must not make a key cost the whole text.
    std::printf("\n1,000,000 short lines above a 3,000-digit run\n");
    putText(text,
            QStringLiteral("short line\n").repeated(1'000'000) + QString(3000, QLatin1Char('5')));
    text->setTextCursor(QTextCursor(text->document()));
    QApplication::processEvents();
    constexpr int keys = 20;
    double typed = 0;
    for (int i = 0; i < keys; ++i)
        typed += timeRepainted(window, [&] { QTest::keyClick(text, Qt::Key_A); });
    report("  a letter typed at the top, mean of 20", typed / keys);

    // Results that cannot fit are refused from the text's size, unbuilt.
    std::printf("\n250M-character text in paragraphs of ~300, Encrypt with key 4\n");
    const QString large =
        prose(300 * 1024, 300).repeated(250'000'000 / (300 * 1024) + 1).first(250'000'000);
    report("  put into the text box", timeRepainted(window, [&] { putText(text, large); }));
    key->setEditText(QStringLiteral("4"));
    report("  until refused", timeUntilMessage([&] { encrypt->click(); }));
    std::printf("\n7M-letter line below 30 short lines, Encrypt with key 4 (70M-digit line)\n");
    putText(text,
            QStringLiteral("short line\n").repeated(30) + QString(7'000'000, QLatin1Char('x')));
    report("  until refused", timeUntilMessage([&] { encrypt->click(); }));

    std::printf("\nthe longest line the text box takes in\n");
    layOutLine(window, text, qsizetype{64} * 1024 * 1024);
    QTextCursor end(text->document());
    end.setPosition(text->document()->characterCount() - 1);
    text->setTextCursor(end);
    QApplication::processEvents();
    report("  a digit typed at its end, until refused",
           timeUntilMessage([&] { QTest::keyClick(text, Qt::Key_7); }));
    report("  Shift+Return at its end, until refused",
           timeUntilMessage([&] { QTest::keyClick(text, Qt::Key_Return, Qt::ShiftModifier); }));
    QApplication::clipboard()->setText(QStringLiteral("7"));
    report("  a digit pasted at its end (Ctrl+V), until refused",
           timeUntilMessage([&] { QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier); }));
    return 0;
}
