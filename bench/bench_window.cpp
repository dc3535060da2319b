// Times the main window offscreen on large texts: how long it takes from
// putting a text into the text box, or pressing a button, until the window
// has been repainted. Run with QT_QPA_PLATFORM=offscreen (make bench does).

#include "frmkelvane.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <cstdio>
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

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    frmKelvane window;
    window.show();
    auto* text = window.findChild<QPlainTextEdit*>(QStringLiteral("txtEncrypt"));

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
    return 0;
}
