// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Tests of the Encrypt and Decrypt commands through the real window: the
// messages they show (caught and answered as they come up), what they write
// into the text box, and that every change can be undone and nothing is lost.

#include "frmkelvane.h"
#include "textbox.h"
#include "windowcontrols.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <functional>
#include <kelvane/codebook.h>
#include <kelvane/frontend.h>
#include <kelvane/substitution.h>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

namespace {

std::u16string_view unitsOf(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

QString fromUnits(const std::u16string& units)
{
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

// Returns the text box's units as the commands read them: paragraph breaks as
// line feeds, every other unit as it is.
QString unitsIn(const TextBox* box)
{
    return box->document()->toRawText().replace(QChar::ParagraphSeparator, '\n');
}

// Returns `text` encrypted with `key` by the cipher core.
QString encrypted(const QString& text, const QString& key)
{
    return fromUnits(kelvane::encryptText(unitsOf(text), *kelvane::findCodebook(unitsOf(key))));
}

QString decrypted(const QString& text, const QString& key)
{
    return fromUnits(kelvane::decryptText(unitsOf(text), *kelvane::findCodebook(unitsOf(key))));
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What the window told or asked, as "title | text", and the text box's text
// at that moment.
struct SeenBox
{
    QString titleAndText;
    QString textBoxContents;
};

// How much of the result is written into the text box before writing fails.
enum class Written
{
    nothing,
    half,
    all
};

// The window with its messages recorded and its questions answered, in place
// of message boxes, and with ways to make building a result, or writing it
// into the text box, fail; it counts the results it builds.
class TestWindow : public frmKelvane
{
public:
    using frmKelvane::encryptedSize;
    std::function<void()> failure;
    std::optional<Written> writeFailsAfter;
    mutable int built = 0;
    mutable bool busyWhileBuilding = false; // the busy pointer showed as the last result was built
    QList<SeenBox> seen;
    QList<bool> answers; // Yes for true; No once they run out

    QStringList titlesAndTexts() const
    {
        QStringList list;
        for (const SeenBox& box : seen)
            list << box.titleAndText;
        return list;
    }

protected:
    void tell(kelvane::Message message) override { record(message); }

    bool ask(kelvane::Message message) override
    {
        record(message);
        return !answers.isEmpty() && answers.takeFirst();
    }

    std::u16string transformText(kelvane::Direction direction, std::u16string_view text,
                                 const kelvane::Codebook& codebook) const override
    {
        ++built;
        const QCursor* pointer = QApplication::overrideCursor();
        busyWhileBuilding = pointer && pointer->shape() == Qt::WaitCursor;
        if (failure)
            failure();
        return frmKelvane::transformText(direction, text, codebook);
    }

    void writeText(QTextCursor& cursor, const QString& text) override
    {
        if (!writeFailsAfter) {
            frmKelvane::writeText(cursor, text);
            return;
        }
        if (*writeFailsAfter == Written::half)
            cursor.insertText(text.first(text.size() / 2));
        else if (*writeFailsAfter == Written::all)
            frmKelvane::writeText(cursor, text);
        throw std::bad_alloc();
    }

private:
    void record(kelvane::Message message)
    {
        const auto* box = findChild<TextBox*>(QStringLiteral("txtEncrypt"));
        seen << SeenBox{fromUtf8(kelvane::messageTitle(message)) + " | " +
                            fromUtf8(kelvane::messageText(
                                message, static_cast<std::size_t>(box->maxLineLength()))),
                        box->toPlainText()};
    }
};

// Selects the units from `start` to `end` of `box`'s text.
void select(TextBox* box, int start, int end)
{
    QTextCursor cursor(box->document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
}

const QString keyMessage = "Key Selection | Please select an encryption key!";
const QString encryptTextMessage = "Text Entry | Please enter the text to be encrypted!";
const QString decryptTextMessage = "Text Entry | Please enter the text to be decrypted!";
const QString digitsMessage = "Digits in Text | Some digits in this text will not come back "
                              "unchanged after decryption. Encrypt anyway?";
const QString tooLargeMessage =
    "Kelvane Encryptor | The text is too large to process. It has been left unchanged.";
const QString notShownMessage = "Kelvane Encryptor | The result could not be shown in the text "
                                "box. The text has been left unchanged.";

} // namespace

Q_DECLARE_METATYPE(std::function<void()>)
Q_DECLARE_METATYPE(std::function<void(TextBox*)>)
Q_DECLARE_METATYPE(std::optional<Written>)

class TestCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void missingOrUnknownInputs_data();
    void missingOrUnknownInputs();
    void results_data();
    void results();
    void roundTripEveryKey_data();
    void roundTripEveryKey();
    void exactUnits_data();
    void exactUnits();
    void lineTooLongIsRefusedUnbuilt();
    void pasteOrDrop_data();
    void pasteOrDrop();
    void dragMoveKeepsTheLineLimit();
    void movedTextKeepsItsUnits_data();
    void movedTextKeepsItsUnits();
    void longLinesKeepTheLimit_data();
    void longLinesKeepTheLimit();
    void undoAndRedoFromAnywhere_data();
    void undoAndRedoFromAnywhere();
    void escapeOnTheOpenKeyList();
    void menuCutKeepsTheLineLimit_data();
    void menuCutKeepsTheLineLimit();
    void commandsKeepTheLineLimit_data();
    void commandsKeepTheLineLimit();
    void digitsQuestion_data();
    void digitsQuestion();
    void realMessageBoxes_data();
    void realMessageBoxes();
    void undoAndRedo_data();
    void undoAndRedo();
    void editsInTheMiddleOfAMillionUnitLine();
    void failureLeavesTextIntact_data();
    void failureLeavesTextIntact();
    void wrongKeyThenUndo();
    void sizingFollowsEdits_data();
    void sizingFollowsEdits();
    void busyPointerFromTheThreshold_data();
    void busyPointerFromTheThreshold();

private:
    template <typename T>
    T* control(const char* name) const
    {
        return kelvane::testing::control<T>(window_.get(), name);
    }
    TextBox* text() const { return control<TextBox>("txtEncrypt"); }
    QComboBox* key() const { return control<QComboBox>("cboKey"); }
    // Presses Encrypt for 'E', Decrypt for 'D' and Clear for 'C'.
    void press(QChar command)
    {
        control<QPushButton>(command == 'E'   ? "cmdEncrypt"
                             : command == 'D' ? "cmdDecrypt"
                                              : "cmdClear")
            ->click();
    }
    void start();

    std::unique_ptr<TestWindow> window_;
    TestWindow* boxes_ = nullptr; // the window, as the recorder of its messages
};

void TestCommands::start()
{
    window_ = std::make_unique<TestWindow>();
    boxes_ = window_.get();
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void TestCommands::init()
{
    start();
}

void TestCommands::cleanup()
{
    boxes_ = nullptr;
    window_.reset();
}

void TestCommands::missingOrUnknownInputs_data()
{
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QChar>("command");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("Encrypt, no key and no text: both messages, key first")
        << ""
        << "" << QChar('E') << QStringList{keyMessage, encryptTextMessage};
    QTest::newRow("Decrypt, no key and no text: both messages, key first")
        << ""
        << "" << QChar('D') << QStringList{keyMessage, decryptTextMessage};
    QTest::newRow("Encrypt, no key: key message only")
        << ""
        << "some text" << QChar('E') << QStringList{keyMessage};
    QTest::newRow("Decrypt, no key: key message only")
        << ""
        << "9113" << QChar('D') << QStringList{keyMessage};
    QTest::newRow("Encrypt, key 3 and no text")
        << "3"
        << "" << QChar('E') << QStringList{encryptTextMessage};
    QTest::newRow("Decrypt, key 3 and no text")
        << "3"
        << "" << QChar('D') << QStringList{decryptTextMessage};
    QTest::newRow("unknown key and no text: text message only")
        << "11"
        << "" << QChar('E') << QStringList{encryptTextMessage};
    for (const char* unknown : {"11", " 3", "03", "3 ", "+3", "0", "1O", "ten"}) {
        QTest::addRow("Encrypt, unknown key \"%s\": silent", unknown)
            << unknown << "Hello, world." << QChar('E') << QStringList();
        QTest::addRow("Decrypt, unknown key \"%s\": silent", unknown)
            << unknown << "91139113" << QChar('D') << QStringList();
    }
    QTest::newRow("Encrypt, text of spaces is not missing")
        << ""
        << "   " << QChar('E') << QStringList{keyMessage};
}

void TestCommands::missingOrUnknownInputs()
{
    QFETCH(QString, keyText);
    QFETCH(QString, typed);
    QFETCH(QChar, command);
    QFETCH(QStringList, messages);

    QTest::keyClicks(text(), typed);
    key()->setFocus();
    QTest::keyClicks(key(), keyText);
    QCOMPARE(key()->currentText(), keyText);

    press(command);

    QCOMPARE(boxes_->titlesAndTexts(), messages);
    for (const SeenBox& box : boxes_->seen) {
        QCOMPARE(box.textBoxContents, typed); // shown before the text is touched
    }
    QCOMPARE(text()->toPlainText(), typed);
    QVERIFY(!text()->document()->isUndoAvailable() || !typed.isEmpty());
    QCOMPARE(key()->currentText(), keyText);
    // Only the text message moves the focus into the text box.
    const bool textMessage =
        messages.contains(encryptTextMessage) || messages.contains(decryptTextMessage);
    QCOMPARE(window_->focusWidget() == text(), textMessage);
    // Typing goes there once the window is active again.
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QCOMPARE(QApplication::focusWidget() == text(), textMessage);
}

void TestCommands::results_data()
{
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("commands"); // 'E' Encrypt, 'D' Decrypt, in turn
    QTest::addColumn<QString>("expected");

    QTest::newRow("key 10 is the tenth key, not key 1") << "10"
                                                        << "a"
                                                        << "E" << encrypted("a", "10");
    QTest::newRow("text of spaces becomes space codes") << "2"
                                                        << "   "
                                                        << "E" << encrypted(" ", "2").repeated(3);
    QTest::newRow("line breaks alone pass unchanged") << "5"
                                                      << "\n\n\n"
                                                      << "E"
                                                      << "\n\n\n";
    QTest::newRow("Encrypt twice encrypts once") << "7"
                                                 << "Twice?"
                                                 << "EE" << encrypted("Twice?", "7");
    QTest::newRow("Decrypt of plain text without digits changes nothing") << "4"
                                                                          << "Plain words."
                                                                          << "D"
                                                                          << "Plain words.";
    QTest::newRow("Decrypt of mixed plain words and cipher text")
        << "6"
        << "Dear " + encrypted("Sam", "6") + "!"
        << "D"
        << "Dear Sam!";
    QTest::newRow("Encrypt keeps pass-through characters in place")
        << "1"
        << "a-b:c;\u00e9"
        << "E"
        << encrypted("a", "1") + "-" + encrypted("b", "1") + ":" + encrypted("c", "1") + ";\u00e9";
    QTest::newRow("Decrypt with another key brings back the shared short codes")
        << "9" << encrypted("x. y", "8") << "D" << decrypted(encrypted("x. y", "8"), "9");
}

void TestCommands::results()
{
    QFETCH(QString, keyText);
    QFETCH(QString, plain);
    QFETCH(QString, commands);
    QFETCH(QString, expected);

    text()->setPlainText(plain);
    key()->setEditText(keyText);
    for (const QChar command : commands)
        press(command);
    QCOMPARE(boxes_->seen.size(), 0);
    QCOMPARE(text()->toPlainText(), expected);
    QCOMPARE(key()->currentText(), keyText);
    // A command that changes nothing adds no step of undo.
    QCOMPARE(text()->document()->isUndoAvailable(), expected != plain);
}

void TestCommands::roundTripEveryKey_data()
{
    QTest::addColumn<QString>("keyText");
    for (int key = 1; key <= 10; ++key)
        QTest::addRow("key %d", key) << QString::number(key);
}

void TestCommands::roundTripEveryKey()
{
    QFETCH(QString, keyText);
    const QString alphabet = fromUnits(std::u16string(kelvane::CipherAlphabet::characters()));
    const QString plain = "Every character:\n" + alphabet + "\n\n\tsaid \"Who?\" (twice) @ noon.\n";
    text()->setPlainText(plain);
    key()->setCurrentIndex(keyText.toInt() - 1);
    QCOMPARE(key()->currentText(), keyText);

    press('E');
    const QString cipher = text()->toPlainText();
    QCOMPARE(cipher, encrypted(plain, keyText));
    for (const QChar c : alphabet)
        QVERIFY2(!cipher.contains(c), qPrintable(QString(c)));
    QCOMPARE(cipher.count('\n'), plain.count('\n'));
    press('D');
    QCOMPARE(text()->toPlainText(), plain);
    QCOMPARE(boxes_->seen.size(), 0);
}

void TestCommands::exactUnits_data()
{
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<QString>("plain");

    // Units that a plain-text conversion would change or drop, between words.
    const QString units = QString::fromUtf16(
        u"No\u00a0break\u2028line\u00adsoft\u200bzero\ufeffbom\u202fnarrow\u2007figure"
        u"\u3000ideographic\ttab \U0001F642 emoji\nnext paragraph, lone \xd800 half.");
    for (const char* key : {"1", "4", "10"})
        QTest::addRow("key %s", key) << key << units;
}

// The window hands the cipher core exactly the units the text box holds and
// writes the result back unit for unit, in both directions and through undo.
void TestCommands::exactUnits()
{
    QFETCH(QString, keyText);
    QFETCH(QString, plain);

    text()->setPlainText(plain);
    QCOMPARE(unitsIn(text()), plain);
    key()->setEditText(keyText);
    press('E');
    const QString cipher = encrypted(plain, keyText);
    QCOMPARE(unitsIn(text()), cipher);
    press('D');
    QCOMPARE(unitsIn(text()), plain);
    QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(unitsIn(text()), cipher);
    QCOMPARE(text()->document()->blockCount(), 2);
    QCOMPARE(boxes_->seen.size(), 0);
}

// A cipher text with a line longer than the text box can show is refused
// before it is built.
void TestCommands::lineTooLongIsRefusedUnbuilt()
{
    TestWindow* window = window_.get();
    // Key 4 codes letters in 10 units: 6.8 M letters make a line of 68 M.
    // Hidden, and with short lines to fill the text box, the window does not
    // lay the long line out, which would take seconds.
    window_->hide();
    const QString plain = QString("short line\n").repeated(30) + QString(6'800'000, 'x');
    QTextCursor cursor(text()->document());
    cursor.beginEditBlock();
    cursor.insertText(plain);
    cursor.endEditBlock();
    key()->setEditText("4");
    press('E');
    QCOMPARE(boxes_->titlesAndTexts(),
             QStringList{"Kelvane Encryptor | The result would have a line of more than "
                         "67,108,864 characters, too long for the text box to show. The text has "
                         "been left unchanged."});
    QCOMPARE(window->built, 0);
    QVERIFY(unitsIn(text()) == plain);
}

void TestCommands::pasteOrDrop_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("start"); // the selection that the paste replaces
    QTest::addColumn<int>("end");
    // "paste", "Ctrl+V", "drop" at the end of the first line, "markdown" (a paste), or a key
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("after"); // the text before, when refused

    // The text box takes in lines of up to 10 units here.
    QTest::newRow("paste up to the limit") << "abcd" << 4 << 4 << "paste"
                                           << "efghij"
                                           << "abcdefghij";
    QTest::newRow("paste one unit over the limit is refused") << "abcd" << 4 << 4 << "paste"
                                                              << "efghijk"
                                                              << "abcd";
    QTest::newRow("paste in place of a selection, up to the limit")
        << "abcdXYZ" << 2 << 7 << "paste"
        << "cdefghij"
        << "abcdefghij";
    QTest::newRow("paste of lines, each up to the limit, CR LF one break")
        << "abcd" << 4 << 4 << "paste"
        << "efghij\r\n0123456789\rxy"
        << "abcdefghij\n0123456789\nxy";
    QTest::newRow("paste whose last line joins the text after it, up to the limit")
        << "abcd\nok" << 0 << 0 << "paste"
        << "0123456789\nxyz012"
        << "0123456789\nxyz012abcd\nok";
    QTest::newRow("paste whose last line joins the text after it, one past, is refused")
        << "abcd\nok" << 0 << 0 << "paste"
        << "0123456789\nxyz0123"
        << "abcd\nok";
    QTest::newRow("paste after a line break, up to the limit") << "abcd\nok" << 5 << 5 << "paste"
                                                               << "01234567"
                                                               << "abcd\n01234567ok";
    QTest::newRow("Ctrl+V up to the limit") << "abcd" << 4 << 4 << "Ctrl+V"
                                            << "efghij"
                                            << "abcdefghij";
    QTest::newRow("Ctrl+V one unit over the limit is refused") << "abcd" << 4 << 4 << "Ctrl+V"
                                                               << "efghijk"
                                                               << "abcd";
    QTest::newRow("drop up to the limit") << "abcd" << 0 << 0 << "drop"
                                          << "efghij"
                                          << "abcdefghij";
    QTest::newRow("drop one unit over the limit is refused") << "abcd" << 0 << 0 << "drop"
                                                             << "efghijk"
                                                             << "abcd";
    QTest::newRow("Backspace joining lines of 6 and 5 is refused")
        << "abcdef\nghijk" << 7 << 7 << "Backspace"
        << ""
        << "abcdef\nghijk";
    QTest::newRow("Delete joining lines of 5 and 5") << "abcde\nfghij" << 5 << 5 << "Delete"
                                                     << ""
                                                     << "abcdefghij";
    QTest::newRow("typing over a selection, joining lines of 5 and 4")
        << "abcdef\nghijk" << 5 << 8 << "x"
        << ""
        << "abcdexhijk";
    QTest::newRow("typing over a selection that joins lines of 6 and 5 is refused")
        << "abcdef\nghijk" << 6 << 7 << "x"
        << ""
        << "abcdef\nghijk";
    QTest::newRow("typing at the end of a full line is refused") << "abcdefghij" << 10 << 10 << "x"
                                                                 << ""
                                                                 << "abcdefghij";
    // Every way past the limit that a key can take, and one up to it.
    QTest::newRow("Shift+Return at the end of a full line is refused")
        << "abcdefghij" << 10 << 10 << "keys:Shift+Return"
        << ""
        << "abcdefghij";
    QTest::newRow("Shift+Return at the end of a line of 9")
        << "abcdefghi" << 9 << 9 << "keys:Shift+Return"
        << ""
        << "abcdefghi\u2028";
    QTest::newRow("Shift+Return over the break between lines of 8 is refused")
        << "abcdefgh\nijklmnop" << 8 << 9 << "keys:Shift+Return"
        << ""
        << "abcdefgh\nijklmnop";
    QTest::newRow("cut joining lines of 6 and 5 is refused")
        << "abcdef\nghijk" << 6 << 7 << "keys:Ctrl+X"
        << ""
        << "abcdef\nghijk";
    QTest::newRow("deleting to the line's end, selected backwards over a break, is refused")
        << "abcdefgh\nijklmnop" << 10 << 6 << "DeleteEndOfLine"
        << ""
        << "abcdefgh\nijklmnop";
    QTest::newRow("Ctrl+Alt+X typing x on a full line is refused")
        << "abcdefghij" << 10 << 10 << "keys:Ctrl+Alt+X"
        << ""
        << "abcdefghij";
    for (const char16_t* unit : {u"\u200d", u"\u00ad", u"\ue000"}) {
        const QString typed = QString::fromUtf16(unit);
        QTest::addRow("U+%04X typed on a full line is refused", typed.front().unicode())
            << "abcdefghij" << 10 << 10 << "typed" << typed << "abcdefghij";
    }
    QTest::newRow("a surrogate pair typed on a line of 9 is refused")
        << "abcdefghi" << 9 << 9 << "typed" << QString::fromUtf16(u"\U0001F642") << "abcdefghi";
    QTest::newRow("a surrogate pair typed on a line of 8")
        << "abcdefgh" << 8 << 8 << "typed" << QString::fromUtf16(u"\U0001F642")
        << QString::fromUtf16(u"abcdefgh\U0001F642");
    QTest::newRow("an input method's commit past the limit is refused")
        << "abcdefgh" << 8 << 8 << "committed"
        << "xyz"
        << "abcdefgh";
    QTest::newRow("an input method's commit up to the limit") << "abcdefgh" << 8 << 8 << "committed"
                                                              << "xy"
                                                              << "abcdefghxy";
    QTest::newRow("Markdown offered first is pasted as its plain text")
        << "" << 0 << 0 << "markdown"
        << "**a** _b_"
        << "**a** _b_";
}

// Pasted, dropped and typed text goes in unit for unit, and deleting joins
// lines, unless that would make a line longer than the text box shows: then
// the text and its undo history stay as they were, and a message says why.
void TestCommands::pasteOrDrop()
{
    QFETCH(QString, before);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, how);
    QFETCH(QString, inserted);
    QFETCH(QString, after);

    auto* box = control<TextBox>("txtEncrypt");
    box->setMaxLineLength(10);
    box->setPlainText(before);
    // One step to redo, which a refused edit must keep.
    QTextCursor(box->document()).insertText("redo ");
    box->undo();
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    const int undoSteps = box->document()->availableUndoSteps();
    std::optional<bool> dropTaken; // whether the source was told that the drop was taken
    std::optional<bool> moveTaken; // whether the drop point was offered to the source

    if (how == "Backspace" || how == "Delete" || how == "x") {
        QTest::keyClick(box, how == "Backspace" ? Qt::Key_Backspace
                             : how == "Delete"  ? Qt::Key_Delete
                                                : Qt::Key_X);
    } else if (how.startsWith("keys:")) {
        QTest::keySequence(box, QKeySequence(how.sliced(5)));
    } else if (how == "DeleteEndOfLine") {
        const auto keys = QKeySequence::keyBindings(QKeySequence::DeleteEndOfLine);
        if (keys.isEmpty())
            QSKIP("this platform binds no key to deleting to the end of the line");
        QTest::keySequence(box, keys.front());
    } else if (how == "typed") { // a key event that types `inserted`, as a layout would
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, inserted);
        QCoreApplication::sendEvent(box, &press);
    } else if (how == "committed") { // an input method's commit
        QInputMethodEvent commit;
        commit.setCommitString(inserted);
        QCoreApplication::sendEvent(box, &commit);
    } else if (how == "drop") {
        QMimeData data;
        data.setText(inserted);
        const QPoint endOfFirstLine(box->viewport()->width() - 4, 4);
        // Qt hands a drop only to the widget that a drag entered.
        // Another program's drag that offers to move its text.
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(endOfFirstLine, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box->viewport(), &enter);
        // Over X11 the source learns the outcome from the answer to a move.
        QDragMoveEvent move(endOfFirstLine, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box->viewport(), &move);
        moveTaken = move.isAccepted();
        QDropEvent drop(endOfFirstLine, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box->viewport(), &drop);
        dropTaken = drop.isAccepted() && drop.dropAction() != Qt::IgnoreAction;
    } else {
        auto* data = new QMimeData; // the clipboard takes it
        if (how == "markdown")
            data->setData("text/markdown", inserted.toUtf8());
        data->setText(inserted);
        QApplication::clipboard()->setMimeData(data);
        if (how == "Ctrl+V")
            QTest::keySequence(box, QKeySequence::Paste);
        else
            box->paste();
    }
    QCoreApplication::processEvents();

    QCOMPARE(unitsIn(box), after);
    const bool refused = after == before;
    // A source told that its text was taken would delete it.
    if (dropTaken) {
        QCOMPARE(*moveTaken, !refused);
        QCOMPARE(*dropTaken, !refused);
    }
    QCOMPARE(box->document()->availableUndoSteps() == undoSteps, refused);
    QCOMPARE(box->document()->isRedoAvailable(), refused);
    if (refused) {
        box->redo();
        QCOMPARE(unitsIn(box), "redo " + before);
        box->undo();
    }
    QCOMPARE(boxes_->titlesAndTexts(),
             refused ? QStringList{"Kelvane Encryptor | The text box cannot show a line of more "
                                   "than 10 characters, and this change would make one. The text "
                                   "has been left unchanged."}
                     : QStringList());
    // One Ctrl+Z takes a paste or a drop back whole.
    if (!refused) {
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(unitsIn(box), before);
    }
}

// A text box whose drops are moves of its own text, as a real drag makes them.
class MovingTextBox : public TextBox
{
protected:
    bool movesWithin(const QDropEvent* event) const override
    {
        return event->dropAction() == Qt::MoveAction;
    }
};

void TestCommands::longLinesKeepTheLimit_data()
{
    QTest::addColumn<int>("line"); // two lines of this many units
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("start"); // the selection
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("longest"); // the longest line after; `line` when refused

    // Lines longer than the text around the cursor that an edit is tried on.
    QTest::newRow("Shift+Return over the break makes 3001, past 3000")
        << 1500 << 3000 << 1500 << 1501 << "Shift+Return" << 1500;
    QTest::newRow("Shift+Return over the break makes 3001, up to 3001")
        << 1500 << 3001 << 1500 << 1501 << "Shift+Return" << 3001;
    QTest::newRow("Delete at the end of the first line makes 3000, up to 3000")
        << 1500 << 3000 << 1500 << 1500 << "Delete" << 3000;
    QTest::newRow("x typed over 2501 units across the break makes 3501, past 3500")
        << 3000 << 3500 << 2500 << 5001 << "X" << 3000;
    QTest::newRow("x typed over 2501 units across the break makes 3501, up to 3501")
        << 3000 << 3501 << 2500 << 5001 << "X" << 3501;
}

// Edits of lines far longer than the text copied around the cursor are judged
// by their whole lines.
void TestCommands::longLinesKeepTheLimit()
{
    QFETCH(int, line);
    QFETCH(int, limit);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, keys);
    QFETCH(int, longest);

    auto* box = control<TextBox>("txtEncrypt");
    box->setMaxLineLength(limit);
    box->setPlainText(QString(line, 'a') + "\n" + QString(line, 'b'));
    select(box, start, end);
    QTest::keySequence(box, QKeySequence(keys));
    QCoreApplication::processEvents();
    qsizetype found = 0;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next())
        found = std::max<qsizetype>(found, block.length() - 1);
    QCOMPARE(found, longest);
    QCOMPARE(boxes_->seen.size(), longest == line ? 1 : 0);
}

// A move is refused before anything changes: the text, the undo steps and the
// step to redo stay as they were.
void TestCommands::dragMoveKeepsTheLineLimit()
{
    MovingTextBox box;
    box.resize(300, 200);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QSignalSpy told(&box, &TextBox::lineTooLong);
    box.setMaxLineLength(10);
    const QString before = "abcdefgh\nxyz\nij";
    box.setPlainText(before);
    QTextCursor(box.document()).insertText("redo ");
    box.undo();
    QTextCursor cursor(box.document());
    cursor.setPosition(8);
    const QPoint endOfFirstLine = box.cursorRect(cursor).center();
    cursor.setPosition(9);
    cursor.setPosition(12, QTextCursor::KeepAnchor);
    box.setTextCursor(cursor);

    QMimeData data;
    data.setText("xyz");
    QDragEnterEvent enter(endOfFirstLine, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(box.viewport(), &enter);
    QDropEvent drop(endOfFirstLine, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(box.viewport(), &drop);
    QCoreApplication::processEvents();

    // Moving "xyz" to the end of the first line would make a line of 11.
    QCOMPARE(unitsIn(&box), before);
    QCOMPARE(box.document()->availableUndoSteps(), 0);
    QCOMPARE(told.size(), 1);
    box.redo();
    QCOMPARE(unitsIn(&box), "redo " + before);
}

// A text box whose selection can be dragged out by hand.
class DraggingTextBox : public TextBox
{
public:
    using TextBox::createMimeDataFromSelection;
};

void TestCommands::movedTextKeepsItsUnits_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("after"); // once the selected units are put at the end

    const QString moved = QString::fromUtf16(u"a\u2028b\u00a0c\xd800");
    const QString kept = QStringLiteral("x\ny");
    const QString copied = "x" + moved + "\ny" + moved;
    QTest::newRow("Ctrl+C, Ctrl+V") << "copy" << copied;
    QTest::newRow("Ctrl+X, Ctrl+V") << "cut" << kept + moved;
    QTest::newRow("dragged to the end as a copy") << "drag" << copied;
    QTest::newRow("X11 primary selection, middle click") << "primary" << copied;
}

// Text that leaves the text box and comes back keeps every unit: a line
// separator, a no-break space and a lone surrogate, which a plain-text
// export would change, and so change the cipher text.
void TestCommands::movedTextKeepsItsUnits()
{
    QFETCH(QString, how);
    QFETCH(QString, after);
    if (how == "primary" && !QApplication::clipboard()->supportsSelection())
        QSKIP("this platform has no primary selection");

    DraggingTextBox box;
    box.resize(300, 200);
    box.show();
    box.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    box.setPlainText(QString::fromUtf16(u"xa\u2028b\u00a0c\xd800\ny"));
    QTextCursor cursor(box.document());
    cursor.setPosition(1);
    box.setTextCursor(cursor);
    // Selected with the keyboard, which also sets the primary selection.
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(&box, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(box.textCursor().selectionEnd(), 7);
    const std::unique_ptr<QMimeData> dragged(box.createMimeDataFromSelection());
    if (how == "cut")
        QTest::keyClick(&box, Qt::Key_X, Qt::ControlModifier);
    else if (how == "copy")
        QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    cursor.setPosition(box.document()->characterCount() - 1);
    const QPoint end = box.cursorRect(cursor).center();
    if (how == "drag") {
        QDragEnterEvent enter(end, Qt::CopyAction, dragged.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box.viewport(), &enter);
        QDropEvent drop(end, Qt::CopyAction, dragged.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(box.viewport(), &drop);
    } else if (how == "primary") {
        QTest::mouseClick(box.viewport(), Qt::MiddleButton, Qt::NoModifier, end);
    } else {
        box.setTextCursor(cursor);
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    }
    QCOMPARE(unitsIn(&box), after);
}

void TestCommands::undoAndRedoFromAnywhere_data()
{
    QTest::addColumn<QString>("focusOn"); // "": no control
    QTest::addColumn<QKeySequence>("redoKey");

    for (const char* focus : {"txtEncrypt", "cmdEncrypt", ""}) {
        for (const char* redo : {"Ctrl+Y", "Ctrl+Shift+Z"})
            QTest::addRow("%s, Ctrl+Z and %s", *focus ? focus : "no focus", redo)
                << focus << QKeySequence(redo);
    }
}

// Ctrl+Z takes back a command and both redo keys bring it again, wherever the
// focus is, on every platform.
void TestCommands::undoAndRedoFromAnywhere()
{
    QFETCH(QString, focusOn);
    QFETCH(QKeySequence, redoKey);

    text()->setPlainText("Undo me.");
    key()->setEditText("3");
    press('E');
    const QString cipher = encrypted("Undo me.", "3");
    QCOMPARE(unitsIn(text()), cipher);
    if (focusOn.isEmpty())
        window_->setFocus(); // the window itself takes no keys
    else
        window_->findChild<QWidget*>(focusOn)->setFocus();
    QWidget* target = focusOn.isEmpty() ? window_.get() : QApplication::focusWidget();
    QTest::keySequence(target, QKeySequence("Ctrl+Z"));
    QCOMPARE(unitsIn(text()), "Undo me.");
    QTest::keySequence(target, redoKey);
    QCOMPARE(unitsIn(text()), cipher);
}

// Escape on the open key list closes it and does nothing else; Escape in the
// key field then presses Clear. Ctrl+Z and Ctrl+Y there act on its own typing.
void TestCommands::escapeOnTheOpenKeyList()
{
    text()->setPlainText("Hello world");
    key()->setEditText("3");
    press('E');
    const QString cipher = encrypted("Hello world", "3");
    // In the key field, undo and redo leave the text box alone.
    key()->setFocus();
    QTest::keyClicks(key(), "1");
    for (const char* keys : {"Ctrl+Z", "Ctrl+Y", "Ctrl+Shift+Z", "Ctrl+Z"})
        QTest::keySequence(key()->lineEdit(), QKeySequence(keys));
    QCOMPARE(unitsIn(text()), cipher);
    QVERIFY(!text()->document()->isRedoAvailable());

    key()->showPopup();
    QTRY_VERIFY(key()->view()->isVisible());
    QTest::keyClick(key()->view(), Qt::Key_Escape);
    QTRY_VERIFY(!key()->view()->isVisible());
    QCOMPARE(unitsIn(text()), cipher);
    QCOMPARE(QApplication::focusWidget(), key());

    QTest::keyClick(key()->lineEdit(), Qt::Key_Escape);
    QCOMPARE(unitsIn(text()), "");
}

void TestCommands::menuCutKeepsTheLineLimit_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("enabled");

    // "abcdef\nghijk", lines of up to 10.
    QTest::newRow("selection whose removal joins lines of 5 and 4") << 5 << 8 << true;
    QTest::newRow("selection whose removal joins lines of 6 and 5") << 6 << 7 << false;
}

// The context menu's Cut and Delete are disabled where they would join lines
// into one longer than the text box shows.
void TestCommands::menuCutKeepsTheLineLimit()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, enabled);

    auto* box = control<TextBox>("txtEncrypt");
    box->setMaxLineLength(10);
    box->setPlainText("abcdef\nghijk");
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4),
                            box->viewport()->mapToGlobal(QPoint(4, 4)));
    QCoreApplication::sendEvent(box->viewport(), &event);
    QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QStringList removing;
    for (const QAction* action : menu->actions()) {
        if (action->objectName() == "edit-cut" || action->objectName() == "edit-delete")
            removing << action->objectName() + (action->isEnabled() ? " on" : " off");
    }
    menu->close();
    const QString state = enabled ? " on" : " off";
    QCOMPARE(removing, (QStringList{"edit-cut" + state, "edit-delete" + state}));
}

void TestCommands::commandsKeepTheLineLimit_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QChar>("command");
    QTest::addColumn<int>("maxUnits"); // 0: as the window has it
    QTest::addColumn<QString>("refusal");

    const QString lineTooLong = "Kelvane Encryptor | The result would have a line of more than "
                                "40 characters, too long for the text box to show. The text has "
                                "been left unchanged.";
    const QString cipher = encrypted("abcd", "4");
    // Key 4 codes letters in 10 units and the space in 4; lines of up to 40 here.
    QTest::newRow("Encrypt to lines of 40") << "abcd\nefgh" << QChar('E') << 0 << "";
    QTest::newRow("Encrypt to a line of 54 is refused")
        << "abcd e" << QChar('E') << 0 << lineTooLong;
    QTest::newRow("Decrypt a line of 50 to one of 5")
        << encrypted("abcde", "4") << QChar('D') << 0 << "";
    // The undo history keeps the replaced text beside the result.
    QTest::newRow("Encrypt 4 units to 40, with 44 units held") << "abcd" << QChar('E') << 44 << "";
    QTest::newRow("Encrypt 4 units to 40, with 43 units held, is refused")
        << "abcd" << QChar('E') << 43 << tooLargeMessage;
    QTest::newRow("Decrypt 40 units to 4, with 44 units held") << cipher << QChar('D') << 44 << "";
    QTest::newRow("Decrypt 40 units to 4, with 43 units held, is refused")
        << cipher << QChar('D') << 43 << tooLargeMessage;
}

// Encrypt and Decrypt refuse a result with a line longer than the text box
// takes in, by the same limit as pasting, and a result that does not fit
// beside the text it replaces.
void TestCommands::commandsKeepTheLineLimit()
{
    QFETCH(QString, plain);
    QFETCH(QChar, command);
    QFETCH(int, maxUnits);
    QFETCH(QString, refusal);

    auto* box = control<TextBox>("txtEncrypt");
    box->setMaxLineLength(40);
    if (maxUnits > 0)
        box->setMaxUnits(maxUnits);
    text()->setPlainText(plain);
    key()->setEditText("4");
    press(command);
    QCOMPARE(unitsIn(text()), !refusal.isEmpty() ? plain
                              : command == 'E'   ? encrypted(plain, "4")
                                                 : decrypted(plain, "4"));
    QCOMPARE(boxes_->titlesAndTexts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
}

void TestCommands::digitsQuestion_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QChar>("command");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("encrypts");

    // Under key 3, the code of "q" typed as digits comes back as a "q".
    const QString codeOfQ = encrypted("q", "3");
    const QString changing = "Call " + codeOfQ + " now";
    QTest::newRow("digits that come back: no question")
        << "Room 101, floor 2." << QChar('E') << false << false << true;
    QTest::newRow("digits that would change, Yes encrypts")
        << changing << QChar('E') << true << true << true;
    QTest::newRow("digits that would change, No keeps the text")
        << changing << QChar('E') << true << false << false;
    QTest::newRow("Decrypt never asks") << changing << QChar('D') << false << true << false;
}

void TestCommands::digitsQuestion()
{
    QFETCH(QString, plain);
    QFETCH(QChar, command);
    QFETCH(bool, asked);
    QFETCH(bool, yes);
    QFETCH(bool, encrypts);

    const auto& codebook = *kelvane::findCodebook(u"3");
    QCOMPARE(kelvane::roundTrips(unitsOf(plain), codebook), !plain.startsWith("Call"));
    text()->setPlainText(plain);
    key()->setEditText("3");
    boxes_->answers = {yes};
    press(command);

    if (asked) {
        QCOMPARE(boxes_->titlesAndTexts(), QStringList{digitsMessage});
        QCOMPARE(boxes_->seen.front().textBoxContents, plain);
    } else {
        QCOMPARE(boxes_->seen.size(), 0);
    }
    const QString expected = command == 'D' ? decrypted(plain, "3")
                             : encrypts     ? encrypted(plain, "3")
                                            : plain;
    QCOMPARE(text()->toPlainText(), expected);
    QCOMPARE(text()->document()->isUndoAvailable(), expected != plain);
}

void TestCommands::realMessageBoxes_data()
{
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<bool>("pressYes"); // else Escape
    QTest::addColumn<QString>("seen");
    QTest::addColumn<bool>("encrypts");

    const QString changing = "Call " + encrypted("q", "3") + " now";
    QTest::newRow("a message: no icon, OK alone, Escape closes it")
        << ""
        << "x" << false
        << "Key Selection|Please select an encryption key!|icon 0|Ok|default Ok|escape Ok|modal"
        << false;
    QTest::newRow("the digits question, Escape answers No")
        << "3" << changing << false
        << "Digits in Text|" + digitsMessage.section(" | ", 1) +
               "|icon 2|Yes,No|default No|escape No|modal"
        << false;
    QTest::newRow("the digits question, Yes encrypts")
        << "3" << changing << true
        << "Digits in Text|" + digitsMessage.section(" | ", 1) +
               "|icon 2|Yes,No|default No|escape No|modal"
        << true;
}

// The real window shows its messages and its question in modal boxes; this
// looks at the one box that comes up and answers it as a user would.
void TestCommands::realMessageBoxes()
{
    QFETCH(QString, keyText);
    QFETCH(QString, plain);
    QFETCH(bool, pressYes);
    QFETCH(QString, seen);
    QFETCH(bool, encrypts);

    frmKelvane window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* box = kelvane::testing::control<TextBox>(&window, "txtEncrypt");
    box->setPlainText(plain);
    kelvane::testing::control<QComboBox>(&window, "cboKey")->setEditText(keyText);
    QString shown;
    // Runs once the box's own event loop has started.
    QTimer::singleShot(0, &window, [&] {
        auto* message = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!message)
            return;
        const auto name = [&](QAbstractButton* button) {
            const auto which = message->standardButton(button);
            return QString(which == QMessageBox::Ok    ? "Ok"
                           : which == QMessageBox::Yes ? "Yes"
                           : which == QMessageBox::No  ? "No"
                                                       : "other");
        };
        QStringList buttons;
        for (QAbstractButton* button : message->buttons())
            buttons << name(button);
        shown =
            QStringList{message->windowTitle(),
                        message->text(),
                        "icon " + QString::number(message->icon()),
                        buttons.join(','),
                        "default " + name(message->defaultButton()),
                        "escape " + name(qobject_cast<QAbstractButton*>(message->escapeButton())),
                        message->windowModality() == Qt::ApplicationModal ? "modal" : "modeless"}
                .join('|');
        if (pressYes)
            message->button(QMessageBox::Yes)->click();
        else
            QTest::keyClick(message, Qt::Key_Escape);
    });
    kelvane::testing::control<QPushButton>(&window, "cmdEncrypt")->click();
    QCOMPARE(shown, seen);
    QCOMPARE(unitsIn(box), encrypts ? encrypted(plain, keyText) : plain);
}

void TestCommands::undoAndRedo_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("commands");

    QTest::newRow("Encrypt") << "Undo me, please."
                             << "E";
    QTest::newRow("Decrypt") << encrypted("Back and forth.", "3") << "D";
    QTest::newRow("Encrypt then Decrypt") << "Two steps\nand a line."
                                          << "ED";
    QTest::newRow("Encrypt twice makes one step") << "Only once."
                                                  << "EE";
    QTest::newRow("Encrypt, Decrypt, Encrypt") << "Three (3) steps!"
                                               << "EDE";
}

void TestCommands::undoAndRedo()
{
    QFETCH(QString, plain);
    QFETCH(QString, commands);

    text()->setPlainText(plain);
    key()->setEditText("3");
    QStringList states{plain};
    for (const QChar command : commands) {
        press(command);
        if (text()->toPlainText() != states.constLast())
            states << text()->toPlainText();
    }
    QCOMPARE(boxes_->seen.size(), 0);
    QCOMPARE(states.size(), commands.size() + 1 - commands.count("EE"));

    // Every Ctrl+Z goes back exactly one command, down to the text set at first.
    for (qsizetype i = states.size() - 2; i >= 0; --i) {
        QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(text()->toPlainText(), states[i]);
    }
    QVERIFY(!text()->document()->isUndoAvailable());
    // Redo, by both of its keys in turn.
    for (qsizetype i = 1; i < states.size(); ++i) {
        if (i % 2)
            QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        else
            QTest::keyClick(text(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(text()->toPlainText(), states[i]);
    }
    QVERIFY(!text()->document()->isRedoAvailable());
}

// Typing, selecting with the keyboard, pasting over the selection, undoing and
// redoing in the middle of one line of over a million units change exactly
// the units they reach, and each step comes back whole.
void TestCommands::editsInTheMiddleOfAMillionUnitLine()
{
    auto* box = text();
    QString line;
    line.reserve(1'100'000);
    for (int i = 0; line.size() < 1'100'000; ++i)
        line += QString::number(i % 997) + (i % 7 == 0 ? QStringLiteral("\u00a0") : QString());
    box->setPlainText(line);
    const int middle = int(line.size() / 2);
    select(box, middle, middle);

    QTest::keyClicks(box, QStringLiteral("ab"));
    QString typed = line;
    typed.insert(middle, QStringLiteral("ab"));
    QCOMPARE(unitsIn(box), typed);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(box->textCursor().selectedText(), typed.mid(middle + 2, 5));
    QApplication::clipboard()->setText(QStringLiteral("X\u2028Y"));
    QTest::keySequence(box, QKeySequence::Paste);
    QString pasted = typed;
    pasted.replace(middle + 2, 5, QStringLiteral("X\u2028Y"));
    QCOMPARE(unitsIn(box), pasted);
    QCOMPARE(box->textCursor().position(), middle + 5);

    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(unitsIn(box), typed);
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(unitsIn(box), line);
    QVERIFY(!box->document()->isUndoAvailable());
    QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(unitsIn(box), typed);
    QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(unitsIn(box), pasted);
    QCOMPARE(box->document()->blockCount(), 1);
}

void TestCommands::failureLeavesTextIntact_data()
{
    QTest::addColumn<std::function<void()>>("failure");
    QTest::addColumn<std::optional<Written>>("writeFailsAfter");
    QTest::addColumn<QChar>("command");
    QTest::addColumn<QString>("message");

    const std::function<void()> outOfMemory = [] { throw std::bad_alloc(); };
    const std::function<void()> tooLong = [] { throw std::length_error("too long"); };
    const std::function<void()> other = [] { throw std::runtime_error("unexpected"); };
    const std::function<void()> none;
    const std::optional<Written> writes;
    QTest::newRow("Encrypt runs out of memory")
        << outOfMemory << writes << QChar('E') << tooLargeMessage;
    QTest::newRow("Decrypt runs out of memory")
        << outOfMemory << writes << QChar('D') << tooLargeMessage;
    QTest::newRow("Encrypt result too long") << tooLong << writes << QChar('E') << tooLargeMessage;
    QTest::newRow("Decrypt fails otherwise")
        << other << writes << QChar('D')
        << "Kelvane Encryptor | The text could not be processed. It has been left unchanged.";
    QTest::newRow("Encrypt fails to write before writing anything")
        << none << std::optional(Written::nothing) << QChar('E') << notShownMessage;
    QTest::newRow("Encrypt fails to write half way")
        << none << std::optional(Written::half) << QChar('E') << notShownMessage;
    QTest::newRow("Decrypt fails after writing all, while showing it")
        << none << std::optional(Written::all) << QChar('D') << notShownMessage;
    QTest::newRow("Clear fails after emptying the text box")
        << none << std::optional(Written::all) << QChar('C')
        << "Kelvane Encryptor | The text could not be cleared. It has been left unchanged.";
}

void TestCommands::failureLeavesTextIntact()
{
    QFETCH(std::function<void()>, failure);
    QFETCH(std::optional<Written>, writeFailsAfter);
    QFETCH(QChar, command);
    QFETCH(QString, message);

    TestWindow* window = window_.get();
    const QString plain = command == 'E' ? "Keep\u00a0me\nwhole" : encrypted("Keep me\nwhole", "2");
    text()->setPlainText(plain);
    text()->moveCursor(QTextCursor::End);
    QTest::keyClicks(text(), QStringLiteral("!"));
    key()->setEditText("2");
    QTextDocument* document = text()->document();
    const int undoSteps = document->availableUndoSteps();

    window->failure = failure;
    window->writeFailsAfter = writeFailsAfter;
    press(command);
    QCOMPARE(boxes_->titlesAndTexts(), QStringList{message});
    QCOMPARE(unitsIn(text()), plain + "!");
    // The undo history is as it was, with no edit left open and nothing to
    // redo: one undo takes back the typing, and the box shows it at once.
    QCOMPARE(document->availableUndoSteps(), undoSteps);
    QVERIFY(!document->isRedoAvailable());
    QSignalSpy changed(document, &QTextDocument::contentsChanged);
    QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(unitsIn(text()), plain);

    // The window goes on working once building and writing succeed again.
    window->failure = nullptr;
    window->writeFailsAfter.reset();
    press(command);
    QCOMPARE(unitsIn(text()), command == 'E'   ? encrypted(plain, "2")
                              : command == 'D' ? decrypted(plain, "2")
                                               : QString());
}

void TestCommands::wrongKeyThenUndo()
{
    const QString plain = "Meet me at the old mill at noon.\nCome alone!";
    text()->setPlainText(plain);
    key()->setEditText("3");
    press('E');
    const QString cipher = text()->toPlainText();
    key()->setEditText("5");
    press('D');
    QCOMPARE(boxes_->seen.size(), 0);
    QCOMPARE(text()->toPlainText(), decrypted(cipher, "5"));
    QVERIFY(text()->toPlainText() != plain);

    text()->setFocus();
    QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(text()->toPlainText(), cipher);
    QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(text()->toPlainText(), plain);
    key()->setEditText("3");
    press('D');
    QCOMPARE(text()->toPlainText(), plain);
}

void TestCommands::sizingFollowsEdits_data()
{
    using Edit = std::function<void(TextBox*)>;
    QTest::addColumn<Edit>("edit");

    const auto undo = [](TextBox* box) { QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier); };
    const auto redo = [](TextBox* box) { QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier); };
    // Joins the first two lines and splits the second, in one edit.
    const auto paste = [](TextBox* box) {
        select(box, 3, 17);
        QApplication::clipboard()->setText("(P) 4\nx, y");
        box->paste();
    };
    QTest::newRow("letters typed") << Edit([](TextBox* box) {
        select(box, 5, 5);
        QTest::keyClicks(box, "Ab, c");
    });
    QTest::newRow("a digit typed over a letter, same length") << Edit([](TextBox* box) {
        select(box, 1, 2);
        QTest::keyClicks(box, "7");
    });
    QTest::newRow("line break typed") << Edit([](TextBox* box) {
        select(box, 8, 8);
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::newRow("Backspace joins lines") << Edit([](TextBox* box) {
        select(box, 14, 14);
        QTest::keyClick(box, Qt::Key_Backspace);
    });
    QTest::newRow("paste over a selection joining lines") << Edit(paste);
    QTest::newRow("paste, undo") << Edit([=](TextBox* box) {
        paste(box);
        undo(box);
    });
    QTest::newRow("paste, undo, redo") << Edit([=](TextBox* box) {
        paste(box);
        undo(box);
        redo(box);
    });
    QTest::newRow("Encrypt, undo, redo") << Edit([=, this](TextBox* box) {
        press('E');
        undo(box);
        redo(box);
    });
    QTest::newRow("Clear, undo") << Edit([=, this](TextBox* box) {
        press('C');
        undo(box);
    });
}

// The window sizes a cipher text from counts it keeps for each line while the
// text is edited; after every kind of edit they equal counts of the text.
void TestCommands::sizingFollowsEdits()
{
    QFETCH(std::function<void(TextBox*)>, edit);

    TestWindow* window = window_.get();
    text()->setPlainText("Hi there, all.\nSecond (2nd) line?\n\u00a0\u2028Third!");
    key()->setEditText("4");
    text()->setFocus();
    edit(text());
    QCOMPARE(boxes_->seen.size(), 0);

    const QString units = unitsIn(text());
    for (const kelvane::Codebook& book : kelvane::codebookTable()) {
        std::size_t longestLine = 0;
        for (const QString& line : units.split('\n'))
            longestLine = std::max(longestLine, kelvane::encryptedSize(unitsOf(line), book));
        const auto size = window->encryptedSize(book);
        QCOMPARE(size.total, kelvane::encryptedSize(unitsOf(units), book));
        QCOMPARE(size.longestLine, longestLine);
    }
}

QTEST_MAIN(TestCommands)
void TestCommands::busyPointerFromTheThreshold_data()
{
    QTest::addColumn<int>("units");      // from the busy threshold
    QTest::addColumn<int>("breakEvery"); // a line break after this many units; 0: none
    QTest::addColumn<QChar>("command");
    QTest::addColumn<bool>("busy");

    QTest::newRow("Decrypt, one unit short") << -1 << 0 << QChar('D') << false;
    QTest::newRow("Decrypt, at the threshold") << 0 << 0 << QChar('D') << true;
    QTest::newRow("Encrypt, one unit short, line breaks counted once")
        << -1 << 99 << QChar('E') << false;
    QTest::newRow("Encrypt, at the threshold, line breaks counted once")
        << 0 << 99 << QChar('E') << true;
}

// The pointer shows the program busy for texts of the threshold's units or
// more, each line break one unit, as the command finds them.
void TestCommands::busyPointerFromTheThreshold()
{
    QFETCH(int, units);
    QFETCH(int, breakEvery);
    QFETCH(QChar, command);
    QFETCH(bool, busy);

    const auto length = static_cast<qsizetype>(kelvane::busyTextUnits) + units;
    QString plain(length, 'a');
    for (qsizetype i = breakEvery; breakEvery > 0 && i < length; i += breakEvery + 1)
        plain[i] = '\n';
    text()->setPlainText(plain);
    key()->setEditText("5");
    press(command);
    QCOMPARE(window_->built, 1);
    QCOMPARE(window_->busyWhileBuilding, busy);
    QVERIFY(!QApplication::overrideCursor());
}

#include "tst_commands.moc"
