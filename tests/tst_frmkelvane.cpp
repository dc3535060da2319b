// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Tests of the main window, driven through its controls as a user would:
// layout, fonts, colours, artwork, Clear, Escape, undo, the banner, and how
// the program ends (in a child process, since ending it ends the test).

#include "frmkelvane.h"
#include "textbox.h"
#include "windowcontrols.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

constexpr const char* childFlag = "--run-window-until";

// Runs the program's window in a child process until it is told to end:
// "exit" clicks Exit, "close" closes the window. Exits with 3 if the window
// is still running two seconds later.
int runChild(int argc, char* argv[])
{
    const QByteArray how = argv[2];
    QApplication app(argc, argv);
    frmKelvane window;
    window.show();
    auto* text = window.findChild<TextBox*>(QStringLiteral("txtEncrypt"));
    text->setFocus();
    QTimer::singleShot(200, &window, [&] {
        QTest::keyClicks(text, QStringLiteral("unsaved text"));
        if (how == "exit")
            window.findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
        else
            window.close();
        QTimer::singleShot(2000, [] { QCoreApplication::exit(3); });
    });
    return app.exec();
}

} // namespace

class TestFrmKelvane : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void windowIsFixed();
    void tabOrder();
    void captionsHaveNoAccessKeys();
    void keyList();
    void keyFieldShowsTenWhole();
    void focusAtStart();
    void colours();
    void backgroundDrawnUnscaledAtTopLeft_data();
    void backgroundDrawnUnscaledAtTopLeft();

    void clear_data();
    void clear();
    void enterInsertsLineBreak();
    void wrapMode_data();
    void wrapMode();

    void bannerText();
    void bannerRotation_data();
    void bannerRotation();
    void bannerScrolls();

    void programEnds_data();
    void programEnds();

private:
    template <typename T>
    T* control(const char* name) const
    {
        return kelvane::testing::control<T>(window_.get(), name);
    }
    TextBox* text() const { return control<TextBox>("txtEncrypt"); }
    void tick() { QVERIFY(QMetaObject::invokeMethod(window_.get(), "rotateBanner")); }

    std::unique_ptr<frmKelvane> window_;
};

void TestFrmKelvane::init()
{
    window_ = std::make_unique<frmKelvane>();
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void TestFrmKelvane::cleanup()
{
    window_.reset();
}

void TestFrmKelvane::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<qreal>("pointSize");
    QTest::addColumn<QString>("caption");

    // Twips at 15 to the pixel.
    QTest::newRow("text box") << "txtEncrypt"
                              << "TextBox" << QRect(8, 32, 241, 265) << 9.0 << "";
    QTest::newRow("Encrypt button") << "cmdEncrypt"
                                    << "QPushButton" << QRect(8, 304, 49, 17) << 8.25 << "Encrypt";
    QTest::newRow("Decrypt button") << "cmdDecrypt"
                                    << "QPushButton" << QRect(80, 304, 49, 17) << 8.25 << "Decrypt";
    QTest::newRow("Clear button") << "cmdClear"
                                  << "QPushButton" << QRect(160, 304, 41, 17) << 8.25 << "Clear";
    QTest::newRow("Exit button") << "cmdExit"
                                 << "QPushButton" << QRect(208, 304, 41, 17) << 8.25 << "Exit";
    QTest::newRow("key list") << "cboKey"
                              << "QComboBox" << QRect(32, 0, 33, 21) << 8.25 << "";
    QTest::newRow("key caption") << "LabelKey"
                                 << "QLabel" << QRect(8, 0, 25, 17) << 9.0 << "Key";
    QTest::newRow("banner") << "Label1"
                            << "QLabel" << QRect(72, 8, 129, 16) << 8.25 << "";
}

void TestFrmKelvane::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(qreal, pointSize);
    QFETCH(QString, caption);

    auto* widget = window_->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), window_.get());
    QVERIFY(widget->inherits(className.toLatin1()));
    QCOMPARE(widget->geometry(), geometry);
    QVERIFY(widget->isVisible());

    const QFont font = widget->font();
    QCOMPARE(font.family(), QStringLiteral("Times New Roman"));
    QCOMPARE(font.weight(), QFont::Bold);
    QCOMPARE(font.pointSizeF(), pointSize);
    QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
    // Without the original face, a metric-compatible one must stand in.
    const QString face = QFontInfo(font).family();
    QVERIFY2(face == "Times New Roman" || face == "Liberation Serif", qPrintable(face));

    if (auto* button = qobject_cast<QPushButton*>(widget))
        QCOMPARE(button->text(), caption);
    if (auto* label = qobject_cast<QLabel*>(widget); label && !caption.isEmpty())
        QCOMPARE(label->text(), caption);
}

void TestFrmKelvane::windowIsFixed()
{
    QCOMPARE(window_->objectName(), QStringLiteral("frmKelvane"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Kelvane Encryptor"));
    QCOMPARE(window_->size(), QSize(257, 326));
    QCOMPARE(window_->minimumSize(), QSize(257, 326));
    QCOMPARE(window_->maximumSize(), QSize(257, 326));
    // The icon offers its large, medium and small images to the desktop.
    const QList<QSize> iconSizes = window_->windowIcon().availableSizes();
    for (const int side : {16, 32, 48})
        QVERIFY2(iconSizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
    const QRect before = text()->geometry();
    window_->resize(400, 500);
    QCOMPARE(window_->size(), QSize(257, 326));
    QCOMPARE(text()->geometry(), before);
}

void TestFrmKelvane::tabOrder()
{
    const QStringList order = {"txtEncrypt", "cmdEncrypt", "cmdDecrypt", "cmdClear",
                               "cmdExit",    "cboKey",     "txtEncrypt"};
    QCOMPARE(QApplication::focusWidget(), text());
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        // The key list's text field takes the focus on its behalf.
        if (qobject_cast<QLineEdit*>(focus) && focus->parentWidget()->objectName() == "cboKey")
            focus = focus->parentWidget();
        QCOMPARE(focus->objectName(), order[i]);
    }
    QCOMPARE(text()->toPlainText(), QString()); // Tab moved on, typed nothing
    QCOMPARE(control<QLabel>("LabelKey")->focusPolicy(), Qt::NoFocus);
    QCOMPARE(control<QLabel>("Label1")->focusPolicy(), Qt::NoFocus);
}

void TestFrmKelvane::captionsHaveNoAccessKeys()
{
    const auto buttons = window_->findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 4);
    for (QPushButton* button : buttons) {
        QVERIFY2(!button->text().contains('&'), qPrintable(button->text()));
        QVERIFY(QKeySequence::mnemonic(button->text()).isEmpty());
        QVERIFY2(!button->autoDefault() && !button->isDefault(), qPrintable(button->text()));
    }
    QVERIFY(!control<QLabel>("LabelKey")->text().contains('&'));
    // The caption is the key list's buddy for screen readers only: no access key.
    QCOMPARE(control<QLabel>("LabelKey")->buddy(), control<QComboBox>("cboKey"));
}

void TestFrmKelvane::keyList()
{
    auto* keys = control<QComboBox>("cboKey");
    QVERIFY(keys->isEditable());
    QCOMPARE(keys->count(), 10);
    for (int i = 0; i < keys->count(); ++i)
        QCOMPARE(keys->itemText(i), QString::number(i + 1));
    QCOMPARE(keys->currentText(), QString());
    QCOMPARE(keys->currentIndex(), -1);

    // A typed key that is no key number stays as typed and joins no list.
    keys->setFocus();
    QTest::keyClicks(keys, QStringLiteral(" 3"));
    QTest::keyClick(keys, Qt::Key_Return);
    QCOMPARE(keys->currentText(), QStringLiteral(" 3"));
    QCOMPARE(keys->count(), 10);
}

void TestFrmKelvane::keyFieldShowsTenWhole()
{
    auto* keys = control<QComboBox>("cboKey");
    keys->setCurrentIndex(9);
    QCOMPARE(keys->currentText(), QStringLiteral("10"));
    QLineEdit* field = keys->lineEdit();
    field->setCursorPosition(0);
    const int start = field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    field->end(false);
    const int end = field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    const int textWidth = QFontMetrics(field->font()).horizontalAdvance(QStringLiteral("10"));
    // Both ends of "10" lie inside the field, with the whole text between them.
    QVERIFY2(start >= 0 && end < field->width(),
             qPrintable(QString("%1..%2 of %3").arg(start).arg(end).arg(field->width())));
    QCOMPARE(end - start, textWidth);
}

void TestFrmKelvane::focusAtStart()
{
    QCOMPARE(QApplication::focusWidget(), text());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed"));
    QCOMPARE(text()->toPlainText(), QStringLiteral("typed"));
}

// What is drawn: the text box's inside and the key field's background, also
// while the window is not the active one.
void TestFrmKelvane::colours()
{
    const QColor activeTitleBar(153, 180, 209);
    QImage shot = window_->grab().toImage();
    QCOMPARE(QColor(shot.pixel(120, 150)), activeTitleBar);
    QCOMPARE(QColor(shot.pixel(36, 10)), QColor(191, 205, 219));

    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    shot = window_->grab().toImage();
    QCOMPARE(QColor(shot.pixel(120, 150)), activeTitleBar);
}

void TestFrmKelvane::backgroundDrawnUnscaledAtTopLeft_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::newRow("top left corner") << QPoint(0, 0);
    QTest::newRow("gap above the text box") << QPoint(230, 20);
    QTest::newRow("left margin") << QPoint(3, 200);
    QTest::newRow("gradient, bottom right") << QPoint(255, 323);
    QTest::newRow("gradient, between buttons") << QPoint(140, 310);
}

void TestFrmKelvane::backgroundDrawnUnscaledAtTopLeft()
{
    QFETCH(QPoint, at);
    const QImage picture(QStringLiteral(":/kelvane/background.png"));
    QImage shot = window_->grab().toImage();
    shot.setDevicePixelRatio(1);
    QCOMPARE(QColor(shot.pixel(at)), QColor(picture.pixel(at)));
}

void TestFrmKelvane::clear_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("focusOn");
    QTest::addColumn<bool>("byEscape");

    QTest::newRow("Clear on an empty box") << ""
                                           << "cmdClear" << false;
    QTest::newRow("Clear on one line") << "a secret"
                                       << "cmdClear" << false;
    QTest::newRow("Clear on several lines") << "one\ntwo\n\nfour"
                                            << "cmdClear" << false;
    QTest::newRow("Escape in the text box") << "typed here"
                                            << "txtEncrypt" << true;
    QTest::newRow("Escape on a button") << "typed here"
                                        << "cmdEncrypt" << true;
    QTest::newRow("Escape in the key list") << "typed here"
                                            << "cboKey" << true;
}

void TestFrmKelvane::clear()
{
    QFETCH(QString, typed);
    QFETCH(QString, focusOn);
    QFETCH(bool, byEscape);

    const QStringList lines = typed.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(text(), Qt::Key_Return);
        QTest::keyClicks(text(), lines[i]);
    }
    QCOMPARE(text()->toPlainText(), typed);
    auto* keys = control<QComboBox>("cboKey");
    keys->setCurrentIndex(2);
    auto* banner = control<QLabel>("Label1");
    const QString bannerBefore = banner->text();

    auto* target = window_->findChild<QWidget*>(focusOn);
    target->setFocus();
    QSignalSpy clicked(control<QPushButton>("cmdClear"), &QPushButton::clicked);
    if (byEscape)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else
        QTest::mouseClick(target, Qt::LeftButton);

    QCOMPARE(clicked.size(), 1);
    QCOMPARE(text()->toPlainText(), QString());
    QCOMPARE(QApplication::focusWidget(), text());
    QCOMPARE(keys->currentText(), QStringLiteral("3"));
    QCOMPARE(banner->text(), bannerBefore);

    // The cleared text comes back with one undo, and goes again with redo.
    QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(text()->toPlainText(), typed);
    if (!typed.isEmpty()) {
        QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(text()->toPlainText(), QString());
    }
}

void TestFrmKelvane::enterInsertsLineBreak()
{
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (QPushButton* button : window_->findChildren<QPushButton*>())
        spies.push_back(std::make_unique<QSignalSpy>(button, &QPushButton::clicked));
    QTest::keyClicks(text(), QStringLiteral("first"));
    QTest::keyClick(text(), Qt::Key_Return);
    QTest::keyClick(text(), Qt::Key_Enter);
    QTest::keyClicks(text(), QStringLiteral("third"));
    QCOMPARE(text()->toPlainText(), QStringLiteral("first\n\nthird"));
    for (const auto& spy : spies)
        QCOMPARE(spy->size(), 0);
}

void TestFrmKelvane::wrapMode_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("cursorAt"); // -1: select all
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("anywhere");

    const QString longRun(3000, '5');
    const QString prose = QStringLiteral("Words of ordinary prose. ").repeated(200);
    QTest::newRow("prose wraps at words") << prose << 0 << "" << false;
    QTest::newRow("long digit line wraps anywhere") << longRun << 0 << "" << true;
    QTest::newRow("long run after prose") << prose + "\n" + longRun << 0 << "" << true;
    QTest::newRow("run split in two by a typed space") << longRun << 1500 << " " << false;
    QTest::newRow("run typed over") << longRun << -1 << "x" << false;
    QTest::newRow("run of 2000 at the limit wraps at words")
        << QString(2000, '5') << 0 << "" << false;
    QTest::newRow("run grown past the limit") << QString(2000, '5') << 2000 << "5" << true;
    QTest::newRow("run of 2001 put in at once") << QString(2001, '5') << 0 << "" << true;
    const QString twoRuns = longRun + "\n" + longRun;
    QTest::newRow("first of two runs split") << twoRuns << 1500 << " " << true;
    QTest::newRow("second of two runs split") << twoRuns << 4501 << " " << true;
    QTest::newRow("both of two runs typed over") << twoRuns << -1 << "x" << false;
    QTest::newRow("line typed below a run") << longRun + "\n" << 3001 << "short" << true;
}

void TestFrmKelvane::wrapMode()
{
    QFETCH(QString, pasted);
    QFETCH(int, cursorAt);
    QFETCH(QString, typed);
    QFETCH(bool, anywhere);

    text()->insertPlainText(pasted);
    QTextCursor cursor = text()->textCursor();
    if (cursorAt < 0)
        cursor.select(QTextCursor::Document);
    else
        cursor.setPosition(cursorAt);
    text()->setTextCursor(cursor);
    QTest::keyClicks(text(), typed);
    QCOMPARE(text()->wordWrapMode() == QTextOption::WrapAnywhere, anywhere);
}

void TestFrmKelvane::bannerText()
{
    const QString banner = control<QLabel>("Label1")->text();
    static const QRegularExpression form(
        QStringLiteral("^(\\S+ \\S+) (\\S+\\.\\S+)  E-mail:(\\S+@\\S+\\.\\S+)  $"));
    const auto match = form.match(banner);
    QVERIFY2(match.hasMatch(), qPrintable(banner));
    QVERIFY(match.captured(2).endsWith(".example.org"));
    QVERIFY(match.captured(3).endsWith(".example.org"));
    QCOMPARE(QFontMetrics(control<QLabel>("Label1")->font()).horizontalAdvance(banner) >
                 control<QLabel>("Label1")->width(),
             true);

    auto* timer = window_->findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QVERIFY(!timer->isSingleShot());
}

void TestFrmKelvane::bannerRotation_data()
{
    QTest::addColumn<QString>("start"); // empty: the program's own banner
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("expected"); // empty: the start text again

    QTest::newRow("one tick moves the first character to the end") << "abcd" << 1 << "bcda";
    QTest::newRow("two ticks") << "abcd" << 2 << "cdab";
    QTest::newRow("one character stays") << "x" << 5 << "x";
    QTest::newRow("full cycle of a short text") << "ab c" << 4 << "";
    QTest::newRow("full cycle of the banner") << "" << -1 << "";
}

void TestFrmKelvane::bannerRotation()
{
    QFETCH(QString, start);
    QFETCH(int, ticks);
    QFETCH(QString, expected);

    auto* banner = control<QLabel>("Label1");
    window_->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    if (start.isEmpty())
        start = banner->text();
    else
        banner->setText(start);
    if (ticks < 0)
        ticks = int(start.size());
    const QSize size = banner->size();

    QStringList seen;
    for (int i = 0; i < ticks; ++i) {
        tick();
        seen << banner->text();
        QCOMPARE(banner->text().size(), start.size());
    }
    QCOMPARE(banner->text(), expected.isEmpty() ? start : expected);
    QCOMPARE(banner->size(), size);
    // Along a full cycle of the banner every text is new until the last.
    if (ticks == start.size() && ticks > 2)
        QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), ticks);
    // The end of the credit line meets its beginning after exactly two spaces.
    if (start.endsWith("  ")) {
        for (int i = 0; i < 2; ++i)
            tick();
        QVERIFY(banner->text().endsWith(QStringLiteral("  ") + start.front() + start[1]));
    }
}

void TestFrmKelvane::bannerScrolls()
{
    auto* banner = control<QLabel>("Label1");
    const QString start = banner->text();
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(banner->text() == start.sliced(10) + start.first(10), 5000);
    // Ten ticks at 65 ms, the first of which may have been nearly due: at
    // least nine intervals, less the 5% that coarse timers may fire early.
    QVERIFY2(clock.elapsed() >= 9 * 65 * 95 / 100, qPrintable(QString::number(clock.elapsed())));
}

void TestFrmKelvane::programEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Exit button with text typed") << "exit";
    QTest::newRow("window closed with text typed") << "close";
}

void TestFrmKelvane::programEnds()
{
    QFETCH(QString, how);
    window_.reset();
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(childFlag), how});
    QVERIFY(child.waitForFinished(15000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0); // 3: still running two seconds after
    qInfo() << how << "ended the program after" << clock.elapsed() << "ms";
}

int main(int argc, char* argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], childFlag) == 0)
        return runChild(argc, argv);
    QApplication app(argc, argv);
    TestFrmKelvane test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_frmkelvane.moc"
