// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Times the main window offscreen on large texts: how long it takes from
// putting a text into the text box, or pressing a button, until the window
// has been repainted, and how soon a result too large for the text box is
// refused. Run with QT_QPA_PLATFORM=offscreen (make bench does).
//
// With --longest-line it instead lays out one line of 64 Mi digits and one of
// 68.5 M in the text box and tells whether each shows (about a minute, 3 GB).

#include "frmkelvane.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>
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

// Returns the milliseconds from clicking `button` until a message box shows,
// and closes the box; prints its text and the processor time taken, which
// other work on the machine does not lengthen.
double timeUntilMessage(QPushButton* button)
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
    button->click();
    return ms;
}

// Puts `plain` into `text` as one edit, which lays out only what the text box shows.
void putText(QPlainTextEdit* text, const QString& plain)
{
    text->clear();
    QTextCursor cursor(text->document());
    cursor.beginEditBlock();
    cursor.insertText(plain);
    cursor.endEditBlock();
}

// Puts a single line of `units` digits into the text box and prints how long
// that took, with laying it out and showing it, and whether the line shows.
void layOutLine(frmKelvane& window, QPlainTextEdit* text, qsizetype units)
{
    const QString digits(units, QLatin1Char('7'));
    text->clear();
    QElapsedTimer timer;
    timer.start();
    putText(text, digits);
    const QTextBlock block = text->document()->firstBlock();
    text->document()->documentLayout()->blockBoundingRect(block);
    window.repaint();
    const QTextLayout* layout = block.layout();
    const bool shown = layout->lineCount() > 0 && layout->lineAt(0).naturalTextWidth() > 0;
    std::printf("line of %lld digits: %d lines laid out in %.1f s, %s\n",
                static_cast<long long>(units), layout->lineCount(),
                static_cast<double>(timer.elapsed()) / 1e3, shown ? "shown" : "SHOWN EMPTY");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    frmKelvane window;
    window.show();
    auto* text = window.findChild<QPlainTextEdit*>(QStringLiteral("txtEncrypt"));
    if (argc > 1 && qstrcmp(argv[1], "--longest-line") == 0) {
        layOutLine(window, text, qsizetype{64} * 1024 * 1024);
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
    auto* decrypt = window.findChild<QPushButton*>(QStringLiteral("cmdDecrypt"));
    struct Case
    {
        const char* name;
        QString plain;
        const char* key;
    };
    const Case cases[] = {
        {"1 MiB text, paragraphs of ~300 characters, key 4", prose(512 * 1024, 300), "4"},
        {"1 MiB text, paragraphs of ~300 characters, key 10", prose(512 * 1024, 300), "10"},
        {"60K-character paragraph, no line break, key 4", prose(60 * 1024, 0), "4"},
        {"60K-character paragraph, no line break, key 10", prose(60 * 1024, 0), "10"},
    };
    for (const Case& c : cases) {
        std::printf("\n%s\n", c.name);
        text->setPlainText(c.plain);
        key->setEditText(QString::fromLatin1(c.key));
        report("  Encrypt", timeRepainted(window, [&] { encrypt->click(); }));
        const qsizetype cipherSize = text->document()->characterCount();
        report("  Decrypt", timeRepainted(window, [&] { decrypt->click(); }));
        const bool restored = text->toPlainText() == c.plain;
        report("  Undo of Decrypt (Ctrl+Z)", timeRepainted(window, [&] { text->undo(); }));
        report("  Undo of Encrypt (Ctrl+Z)", timeRepainted(window, [&] { text->undo(); }));
        std::printf("  %lld characters, cipher text %lld characters, %s\n",
                    static_cast<long long>(c.plain.size()), static_cast<long long>(cipherSize),
                    restored && text->toPlainText() == c.plain ? "restored exactly"
                                                               : "NOT RESTORED");
    }

    // Results that cannot fit are refused from the text's size, unbuilt.
    std::printf("\n250M-character text in paragraphs of ~300, Encrypt with key 4\n");
    const QString large =
        prose(300 * 1024, 300).repeated(250'000'000 / (300 * 1024) + 1).first(250'000'000);
    report("  put into the text box", timeRepainted(window, [&] { putText(text, large); }));
    key->setEditText(QStringLiteral("4"));
    report("  until refused", timeUntilMessage(encrypt));
    std::printf("\n7M-letter line below 30 short lines, Encrypt with key 4 (70M-digit line)\n");
    putText(text,
            QStringLiteral("short line\n").repeated(30) + QString(7'000'000, QLatin1Char('x')));
    report("  until refused", timeUntilMessage(encrypt));
    return 0;
}
