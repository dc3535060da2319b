// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Tests of what the window offers beyond what a sighted mouse user sees: the
// names, roles and relations that screen readers read, the keyboard, the busy
// pointer during long work, and sharp artwork on dense screens. CTest runs
// this file at QT_SCALE_FACTOR=2.

#include "frmkelvane.h"
#include "textbox.h"
#include "windowcontrols.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QtGui/private/qguiapplication_p.h>
#include <algorithm>
#include <functional>
#include <kelvane/codebook.h>
#include <kelvane/substitution.h>
#include <memory>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <set>
#include <stdexcept>

namespace {

const QString creditLine =
    QStringLiteral("Kelvane Software www.kelvane.example.org  E-mail:support@kelvane.example.org");

// The window with a look at the pointer while the pass runs.
class WatchedWindow : public frmKelvane
{
public:
    std::function<void()> duringPass;

protected:
    std::u16string transformText(kelvane::Direction direction, std::u16string_view text,
                                 const kelvane::Codebook& codebook) const override
    {
        if (duringPass)
            duringPass();
        return frmKelvane::transformText(direction, text, codebook);
    }
};

// Returns the pointer shape that the program forces, or -1 for none.
int overrideShape()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? int(cursor->shape()) : -1;
}

// Returns `text` encrypted with key `key`.
QString encrypted(const QString& text, const char16_t* key)
{
    const std::u16string result =
        kelvane::transform({reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())},
                           *kelvane::findCodebook(key), kelvane::Direction::encrypt);
    return QString::fromUtf16(result.data(), qsizetype(result.size()));
}

// Accessibility events of the program, as a platform bridge would get them.
std::vector<std::pair<QObject*, QAccessible::Event>> events;

void recordEvent(QAccessibleEvent* event)
{
    events.emplace_back(event->object(), event->type());
}

// Switches the platform's accessibility on and records its events while it
// lives, as a running screen reader does.
class EventRecorder
{
public:
    EventRecorder()
        : platform_(QGuiApplicationPrivate::platformIntegration()->accessibility()),
          previous_(QAccessible::installUpdateHandler(recordEvent))
    {
        if (platform_)
            platform_->setActive(true);
        events.clear();
    }
    ~EventRecorder()
    {
        if (platform_)
            platform_->setActive(false);
        QAccessible::installUpdateHandler(previous_);
    }
    bool active() const { return QAccessible::isActive(); }
    qsizetype count(QObject* object, QAccessible::Event type) const
    {
        return std::count(events.begin(), events.end(), std::pair(object, type));
    }

private:
    QPlatformAccessibility* platform_;
    QAccessible::UpdateHandler previous_;
};

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void namesAndRoles_data();
    void namesAndRoles();
    void keyCaptionLabelsKeyList();
    void bannerNameStaysWhileScrolling();

    void keysPressFocusedButton_data();
    void keysPressFocusedButton();
    void busyPointer_data();
    void busyPointer();

    void artIsDrawnForTheScreen();
    void windowIconSizes();

private:
    template <typename T>
    T* control(const char* name) const
    {
        return kelvane::testing::control<T>(window_.get(), name);
    }
    TextBox* text() const { return control<TextBox>("txtEncrypt"); }

    std::unique_ptr<WatchedWindow> window_;
};

void TestAccessibility::init()
{
    window_ = std::make_unique<WatchedWindow>();
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void TestAccessibility::cleanup()
{
    window_.reset();
}

void TestAccessibility::namesAndRoles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ofKeyField"); // the key list's text field, not the list
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<bool>("described");

    QTest::newRow("text box") << "txtEncrypt" << false << int(QAccessible::EditableText) << "Text"
                              << true;
    QTest::newRow("key list") << "cboKey" << false << int(QAccessible::ComboBox) << "Key" << true;
    QTest::newRow("key list's text field")
        << "cboKey" << true << int(QAccessible::EditableText) << "Key" << true;
    QTest::newRow("Encrypt") << "cmdEncrypt" << false << int(QAccessible::Button) << "Encrypt"
                             << true;
    QTest::newRow("Decrypt") << "cmdDecrypt" << false << int(QAccessible::Button) << "Decrypt"
                             << true;
    QTest::newRow("Clear") << "cmdClear" << false << int(QAccessible::Button) << "Clear" << true;
    QTest::newRow("Exit") << "cmdExit" << false << int(QAccessible::Button) << "Exit" << true;
    QTest::newRow("key caption") << "LabelKey" << false << int(QAccessible::StaticText) << "Key"
                                 << false;
    QTest::newRow("banner") << "Label1" << false << int(QAccessible::StaticText) << creditLine
                            << true;
    QTest::newRow("window") << "frmKelvane" << false << int(QAccessible::Client)
                            << "Kelvane Encryptor" << false;
}

void TestAccessibility::namesAndRoles()
{
    QFETCH(QString, name);
    QFETCH(bool, ofKeyField);
    QFETCH(int, role);
    QFETCH(QString, accessibleName);
    QFETCH(bool, described);

    QWidget* widget =
        name == window_->objectName() ? window_.get() : window_->findChild<QWidget*>(name);
    QVERIFY(widget);
    if (ofKeyField)
        widget = qobject_cast<QComboBox*>(widget)->lineEdit();
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(face && face->isValid());
    QCOMPARE(int(face->role()), role);
    QCOMPARE(face->text(QAccessible::Name), accessibleName);
    QCOMPARE(!face->text(QAccessible::Description).isEmpty(), described);
}

void TestAccessibility::keyCaptionLabelsKeyList()
{
    auto* caption = control<QLabel>("LabelKey");
    auto* keys = control<QComboBox>("cboKey");
    QCOMPARE(caption->buddy(), keys);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(keys);
    const auto labels = list->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.front().first->object(), caption);
    // Still no access key: Alt+K does not move the focus to the list.
    QTest::keyClick(text(), Qt::Key_K, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), text());
}

void TestAccessibility::bannerNameStaysWhileScrolling()
{
    auto* banner = control<QLabel>("Label1");
    window_->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    const EventRecorder recorder;
    QVERIFY(recorder.active());

    // A label without a fixed name announces each new text: the recorder hears it.
    QLabel plain(window_.get());
    plain.setText(QStringLiteral("first"));
    plain.setText(QStringLiteral("second"));
    QCOMPARE(recorder.count(&plain, QAccessible::NameChanged), 2);

    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(banner);
    const QString start = banner->text();
    for (int i = 0; i < 5; ++i)
        QVERIFY(QMetaObject::invokeMethod(window_.get(), "rotateBanner"));
    QCOMPARE(banner->text(), start.sliced(5) + start.first(5));
    for (const auto& [object, type] : events)
        QVERIFY2(object != banner, qPrintable(QString("event %1").arg(int(type), 0, 16)));
    QCOMPARE(face->text(QAccessible::Name), creditLine);
}

void TestAccessibility::keysPressFocusedButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");

    const QString plain = QStringLiteral("Keyboard only");
    const QString cipher = encrypted(plain, u"3");
    const int none = Qt::NoModifier;
    const int keypad = Qt::KeypadModifier;
    QTest::newRow("Return on Encrypt")
        << "cmdEncrypt" << int(Qt::Key_Return) << none << plain << cipher;
    QTest::newRow("keypad Enter on Encrypt")
        << "cmdEncrypt" << int(Qt::Key_Enter) << keypad << plain << cipher;
    QTest::newRow("Space on Encrypt")
        << "cmdEncrypt" << int(Qt::Key_Space) << none << plain << cipher;
    QTest::newRow("Return on Decrypt")
        << "cmdDecrypt" << int(Qt::Key_Return) << none << cipher << plain;
    QTest::newRow("keypad Enter on Clear")
        << "cmdClear" << int(Qt::Key_Enter) << keypad << plain << "";
    QTest::newRow("Ctrl+Return on Encrypt does nothing")
        << "cmdEncrypt" << int(Qt::Key_Return) << int(Qt::ControlModifier) << plain << plain;
}

void TestAccessibility::keysPressFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, before);
    QFETCH(QString, after);

    text()->setPlainText(before);
    control<QComboBox>("cboKey")->setCurrentIndex(2);
    auto* target = control<QPushButton>(qPrintable(button));
    target->setFocus();
    QSignalSpy clicked(target, &QPushButton::clicked);
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(clicked.size(), before == after ? 0 : 1);
    QCOMPARE(text()->toPlainText(), after);
}

void TestAccessibility::busyPointer_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<int>("duringPass");
    QTest::addColumn<int>("overMessage");

    const int none = -1;
    const int busy = Qt::WaitCursor;
    const int arrow = Qt::ArrowCursor;
    QTest::newRow("short text: no busy pointer") << 1000 << "4" << false << none << none;
    QTest::newRow("large text: busy pointer") << 200'000 << "4" << false << busy << none;
    QTest::newRow("large text, pass fails: pointer back after")
        << 200'000 << "4" << true << busy << arrow;
    QTest::newRow("large text, no key: message shows the arrow")
        << 200'000 << "" << false << none << arrow;
}

void TestAccessibility::busyPointer()
{
    QFETCH(int, length);
    QFETCH(QString, key);
    QFETCH(bool, fails);
    QFETCH(int, duringPass);
    QFETCH(int, overMessage);

    text()->setPlainText(QString(length, 'a'));
    control<QComboBox>("cboKey")->setEditText(key);
    int seenDuringPass = -1;
    window_->duringPass = [&] {
        seenDuringPass = overrideShape();
        if (fails)
            throw std::runtime_error("no result");
    };
    int seenOverMessage = -1;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seenOverMessage = overrideShape();
            box->reject();
        }
    });
    answerer.start(5);
    control<QPushButton>("cmdEncrypt")->click();

    QCOMPARE(seenDuringPass, duringPass);
    QCOMPARE(seenOverMessage, overMessage);
    QCOMPARE(overrideShape(), -1);
}

void TestAccessibility::artIsDrawnForTheScreen()
{
    QCOMPARE(window_->devicePixelRatioF(), 2.0);
    QImage shot = window_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shot.setDevicePixelRatio(1);
    QCOMPARE(shot.size(), QSize(514, 652));

    // The right margin, from top to bottom, shows only the background: the
    // 2x drawing pixel for pixel, where the 1x one enlarged would differ.
    const QImage art2x(QStringLiteral(":/kelvane/background@2x.png"));
    const QImage art1x(QStringLiteral(":/kelvane/background.png"));
    int unlikeEnlarged = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 498; x < shot.width(); ++x) {
            QCOMPARE(QColor(shot.pixel(x, y)), QColor(art2x.pixel(x, y)));
            if (shot.pixel(x, y) != art1x.pixel(x / 2, y / 2))
                ++unlikeEnlarged;
        }
    }
    QVERIFY2(unlikeEnlarged > 100, qPrintable(QString::number(unlikeEnlarged)));

    // The key list's arrow: an enlarged 4-row bitmap has at most 4 different
    // row widths; the arrow drawn at 2x narrows row by row.
    const QRect keyList(64, 0, 66, 42);
    std::set<int> rowWidths;
    for (int y = keyList.top(); y <= keyList.bottom(); ++y) {
        int dark = 0;
        for (int x = keyList.left(); x <= keyList.right(); ++x)
            dark += qGray(shot.pixel(x, y)) < 80;
        if (dark > 0)
            rowWidths.insert(dark);
    }
    QVERIFY2(rowWidths.size() >= 6, qPrintable(QString::number(rowWidths.size())));
}

void TestAccessibility::windowIconSizes()
{
    const QList<QSize> sizes = window_->windowIcon().availableSizes();
    for (const int size : {16, 32, 48, 64, 128, 256})
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
