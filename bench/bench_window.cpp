// Times the main window offscreen on large texts: how long it takes from
// putting a text into the text box, or pressing a button, until the window
// has been repainted. Run with QT_QPA_PLATFORM=offscreen (make bench does).

#include "frmkelvane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <cstdio>

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
    return 0;
}
