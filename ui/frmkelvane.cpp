// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmkelvane.h"

#include "ciphersizer.h"
#include "historykeys.h"
#include "overridecursor.h"
#include "textbox.h"
#include "textreplacer.h"
#include "units.h"
#include "wrapchooser.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <cmath>
#include <kelvane/codebook.h>
#include <kelvane/frontend.h>
#include <kelvane/substitution.h>
#include <new>
#include <optional>
#include <stdexcept>

namespace {

// Fixed colours, so that the window looks alike under every desktop theme.
const QColor activeTitleBar(153, 180, 209);
const QColor windowText(0, 0, 0);
const QColor bannerText(128, 128, 128);

// The banner's credit line, as the core gives it.
const QString bannerText_ = QString::fromLatin1(kelvane::bannerText.data(),
                                                static_cast<qsizetype>(kelvane::bannerText.size()));

// Returns a bold "Times New Roman" of `pointSize`; fontconfig maps the name to
// a metric-compatible face where the original is not installed.
QFont formFont(qreal pointSize)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

// Sets `widget`'s geometry from twips, 15 to the pixel.
void placeTwips(QWidget* widget, int left, int top, int width, int height)
{
    constexpr int twipsPerPixel = 15;
    widget->setGeometry(left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
                        height / twipsPerPixel);
    widget->setFixedSize(widget->size());
}

// Shows `message` in a modal box: a plain one with OK, or a `question` with
// Yes and No, where No is the default and Escape's answer. Returns true on Yes.
bool showBox(QWidget* parent, kelvane::Message message, qsizetype lineLimit, bool question)
{
    // A message shows the ordinary pointer, even in the middle of long work.
    const OverrideCursor arrow(Qt::ArrowCursor);
    const std::string_view title = kelvane::messageTitle(message);
    const std::string text = kelvane::messageText(message, static_cast<std::size_t>(lineLimit));
    const auto answer = question ? QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(question ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                    QString::fromStdString(text),
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(answer);
    box.setEscapeButton(answer);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

// Returns a push button with a plain caption and no default-button frame;
// screen readers announce it by its caption and read `description` after it.
QPushButton* makeButton(const QString& name, const QString& caption, const QString& description,
                        QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setFont(formFont(8.25));
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setAccessibleDescription(description);
    return button;
}

} // namespace

frmKelvane::frmKelvane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmKelvane"));
    setWindowTitle(QStringLiteral("Kelvane Encryptor"));
    setWindowIcon(Artwork::windowIcon());
    setFixedSize(3855 / 15, 4890 / 15);

    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, activeTitleBar);
    windowPalette.setColor(QPalette::WindowText, windowText);
    setPalette(windowPalette);

    createControls();
    load();
}

// Builds the controls at their fixed places, in tab order.
void frmKelvane::createControls()
{
    txtEncrypt = new TextBox(this);
    txtEncrypt->setObjectName(QStringLiteral("txtEncrypt"));
    placeTwips(txtEncrypt, 120, 480, 3615, 3975);
    txtEncrypt->setFont(formFont(9));
    txtEncrypt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtEncrypt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtEncrypt->setTabChangesFocus(true);
    txtEncrypt->setAccessibleName(tr("Text"));
    txtEncrypt->setAccessibleDescription(
        tr("The text to encrypt or decrypt; Encrypt and Decrypt replace it with the result"));
    txtEncrypt->verticalScrollBar()->setAccessibleName(tr("Text scroll bar"));
    QPalette textPalette = txtEncrypt->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        textPalette.setColor(group, QPalette::Base, activeTitleBar);
        textPalette.setColor(group, QPalette::Text, windowText);
    }
    txtEncrypt->setPalette(textPalette);
    cipherSizer_ = new CipherSizer(txtEncrypt->document());
    replacer_ = std::make_unique<TextReplacer>(txtEncrypt, new WrapChooser(txtEncrypt));
    connect(txtEncrypt, &TextBox::lineTooLong, this, &frmKelvane::tellLineTooLong);
    connect(txtEncrypt, &TextBox::insertFailed, this, &frmKelvane::tellInsertFailed);

    cmdEncrypt = makeButton(QStringLiteral("cmdEncrypt"), tr("Encrypt"),
                            tr("Encrypts the text with the chosen key"), this);
    placeTwips(cmdEncrypt, 120, 4560, 735, 255);
    cmdDecrypt = makeButton(QStringLiteral("cmdDecrypt"), tr("Decrypt"),
                            tr("Decrypts the text with the chosen key"), this);
    placeTwips(cmdDecrypt, 1200, 4560, 735, 255);
    cmdClear = makeButton(QStringLiteral("cmdClear"), tr("Clear"),
                          tr("Empties the text box; Escape does the same"), this);
    placeTwips(cmdClear, 2400, 4560, 615, 255);
    cmdExit = makeButton(QStringLiteral("cmdExit"), tr("Exit"),
                         tr("Ends the program without saving the text"), this);
    placeTwips(cmdExit, 3120, 4560, 615, 255);
    for (QPushButton* button : {cmdEncrypt, cmdDecrypt, cmdClear, cmdExit})
        button->installEventFilter(this);

    // The key field is only 33 pixels wide: a slim arrow and little padding
    // leave room for "10" in full.
    cboKey = new QComboBox(this);
    cboKey->setObjectName(QStringLiteral("cboKey"));
    placeTwips(cboKey, 480, 0, 495, 315);
    cboKey->setFont(formFont(8.25));
    cboKey->setEditable(true);
    cboKey->setInsertPolicy(QComboBox::NoInsert);
    cboKey->setMaxVisibleItems(static_cast<int>(kelvane::keyNumbers.size()));
    cboKey->setStyleSheet(
        QStringLiteral("QComboBox#cboKey { background-color: rgb(191,205,219); color: black;"
                       " border: 1px solid rgb(110,128,150); padding: 0px 0px 0px 2px; }"
                       "QComboBox#cboKey::drop-down { subcontrol-origin: padding;"
                       " subcontrol-position: center right; width: 9px; border: none; }"
                       "QComboBox#cboKey::down-arrow { image: url(:/kelvane/arrow.png); }"
                       "QComboBox#cboKey QAbstractItemView { background-color: rgb(191,205,219);"
                       " color: black; selection-background-color: rgb(51,94,168);"
                       " selection-color: white; }"));
    // The list, its text field and its drop-down are all announced as the key.
    const QString keyDescription = tr("Encryption key: choose or type a number from 1 to 10");
    cboKey->setAccessibleName(tr("Key"));
    cboKey->setAccessibleDescription(keyDescription);
    cboKey->lineEdit()->setAccessibleName(tr("Key"));
    cboKey->lineEdit()->setAccessibleDescription(keyDescription);
    cboKey->view()->setAccessibleName(tr("Keys"));

    LabelKey = new QLabel(tr("Key"), this);
    LabelKey->setObjectName(QStringLiteral("LabelKey"));
    placeTwips(LabelKey, 120, 0, 375, 255);
    LabelKey->setFont(formFont(9));
    LabelKey->setTextFormat(Qt::PlainText);
    // Ties the caption to the list for screen readers; with no '&' in the
    // caption it adds no access key.
    LabelKey->setBuddy(cboKey);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    placeTwips(Label1, 1080, 120, 1935, 240);
    Label1->setFont(formFont(8.25));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(false);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QPalette bannerPalette = Label1->palette();
    bannerPalette.setColor(QPalette::WindowText, bannerText);
    Label1->setPalette(bannerPalette);
    // A fixed accessible name stops QLabel from announcing a new name on every
    // tick, so a screen reader reads the credit line once while it scrolls.
    Label1->setAccessibleName(bannerText_.trimmed());
    Label1->setAccessibleDescription(tr("Scrolling credit line"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    setTabOrder(txtEncrypt, cmdEncrypt);
    setTabOrder(cmdEncrypt, cmdDecrypt);
    setTabOrder(cmdDecrypt, cmdClear);
    setTabOrder(cmdClear, cmdExit);
    setTabOrder(cmdExit, cboKey);

    // Clear is the window's cancel button: Escape anywhere in the window presses
    // it, except on the open key list, which it only closes.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, cmdClear, &QPushButton::click);
    cboKey->view()->installEventFilter(this);
    new HistoryKeys(this, txtEncrypt, cboKey);

    connect(cmdEncrypt, &QPushButton::clicked, this, &frmKelvane::encrypt);
    connect(cmdDecrypt, &QPushButton::clicked, this, &frmKelvane::decrypt);
    connect(cmdClear, &QPushButton::clicked, this, &frmKelvane::clearText);
    connect(cmdExit, &QPushButton::clicked, this, &frmKelvane::exitProgram);
    connect(Timer1, &QTimer::timeout, this, &frmKelvane::rotateBanner);

    txtEncrypt->setFocus();
}

// Runs once before the window is first shown: starts the banner and fills the key list.
void frmKelvane::load()
{
    Label1->setText(bannerText_);
    Timer1->setInterval(kelvane::bannerStepMilliseconds);
    Timer1->start();
    for (const std::u16string_view key : kelvane::keyNumbers)
        cboKey->addItem(QString::fromUtf16(key.data(), static_cast<qsizetype>(key.size())));
    cboKey->setCurrentIndex(-1);
    cboKey->clearEditText();
}

void frmKelvane::paintEvent(QPaintEvent* /*event*/)
{
    const qreal ratio = devicePixelRatioF();
    QPainter painter(this);
    painter.fillRect(rect(), activeTitleBar);
    // Between whole ratios the next larger drawing is scaled down, smoothly.
    if (ratio != std::floor(ratio))
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(0, 0, artwork_.background(ratio));
}

bool frmKelvane::eventFilter(QObject* watched, QEvent* event)
{
    // Escape on the open key list is the list's own: it closes the list.
    if (event->type() == QEvent::ShortcutOverride && watched == cboKey->view() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (enter && modifiers == Qt::NoModifier && !key->isAutoRepeat()) {
            if (auto* button = qobject_cast<QPushButton*>(watched); button && button->isEnabled()) {
                button->click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmKelvane::encrypt()
{
    runCommand(kelvane::Direction::encrypt);
}

void frmKelvane::decrypt()
{
    runCommand(kelvane::Direction::decrypt);
}

std::u16string frmKelvane::transformText(kelvane::Direction direction, std::u16string_view text,
                                         const kelvane::Codebook& codebook) const
{
    return kelvane::transform(text, codebook, direction);
}

void frmKelvane::tell(kelvane::Message message)
{
    showBox(this, message, txtEncrypt->maxLineLength(), false);
}

bool frmKelvane::ask(kelvane::Message message)
{
    return showBox(this, message, txtEncrypt->maxLineLength(), true);
}

// Follows the command core: it tells what is missing, refuses a result that
// the text box cannot hold or show, and asks about digits; the window shows
// the messages and replaces the text with the whole result in one undoable
// edit. The pass reads the text box's units exactly (paragraph breaks as line
// feeds) and the result goes back unit for unit. On every failure the text box
// keeps its text and undo history, the user is told so, and nothing thrown
// leaves this slot.
void frmKelvane::runCommand(kelvane::Direction direction)
{
    using kelvane::Message;
    using kelvane::Verdict;
    std::optional<Message> failure;
    try {
        const QTextDocument* document = txtEncrypt->document();
        // The document counts one character more than its text, the final
        // paragraph break.
        const auto textUnits = static_cast<std::size_t>(document->characterCount() - 1);
        const OverrideCursor busy(Qt::WaitCursor, textUnits >= kelvane::busyTextUnits);
        const kelvane::CommandStart start = kelvane::startCommand(
            direction, kelvane::unitsOf(cboKey->currentText()), document->isEmpty());
        for (const Message message : start.messages())
            tell(message);
        if (start.focusText)
            txtEncrypt->setFocus();
        if (!start.codebook)
            return;

        const kelvane::TextLimits limits{static_cast<std::size_t>(txtEncrypt->maxUnits()),
                                         static_cast<std::size_t>(txtEncrypt->maxLineLength()),
                                         true};
        // A cipher text's size follows from the counts kept per paragraph, so
        // one that cannot be shown is refused before the text is even read.
        if (direction == kelvane::Direction::encrypt) {
            const Verdict verdict =
                kelvane::judgeEncryptedSize(textUnits, encryptedSize(*start.codebook), limits);
            if (verdict == Verdict::unchanged)
                return;
            if (verdict != Verdict::replace) {
                tellFailure(kelvane::refusalMessage(verdict));
                return;
            }
        }
        const QString text = TextReplacer::textOf(document);
        const std::u16string_view units = kelvane::unitsOf(text);
        const std::u16string result = transformText(direction, units, *start.codebook);
        switch (const Verdict verdict =
                    kelvane::judgeResult(direction, units, result, *start.codebook, limits)) {
        case Verdict::unchanged:
            return;
        case Verdict::ask:
            if (!ask(Message::digitsInText))
                return;
            break;
        case Verdict::replace:
            break;
        default:
            tellFailure(kelvane::refusalMessage(verdict));
            return;
        }
        const TextReplacer::Put put = putText(
            QString::fromUtf16(result.data(), static_cast<qsizetype>(result.size())), &text);
        if (put == TextReplacer::Put::takenBack)
            failure = Message::notShown;
        else if (put == TextReplacer::Put::damaged)
            failure = Message::notShownDamaged;
    } catch (const std::bad_alloc&) {
        failure = Message::tooLarge;
    } catch (const std::length_error&) {
        failure = Message::tooLarge;
    } catch (...) {
        failure = Message::notProcessed;
    }
    if (failure)
        tellFailure(*failure);
}

// Tells the user about `failure`. Telling needs memory too; if even that
// fails, the text is still as the message would have said, and nothing may
// leave the slot.
void frmKelvane::tellFailure(kelvane::Message failure)
{
    try {
        tell(failure);
    } catch (...) {
    }
}

// Tells the user that a paste, a drop or a key was refused, since it would
// have made a line too long for the text box to show.
void frmKelvane::tellLineTooLong()
{
    tellFailure(kelvane::Message::editLineTooLong);
}

// Tells the user that a paste or a drop ran out of memory.
void frmKelvane::tellInsertFailed()
{
    tellFailure(kelvane::Message::insertFailed);
}

// Empties the text box as one undoable edit and puts the focus in it. If
// emptying fails, the text box keeps its text and the user is told so.
void frmKelvane::clearText()
{
    const TextReplacer::Put put = putText(QString(), nullptr);
    txtEncrypt->setFocus();
    if (put == TextReplacer::Put::takenBack)
        tellFailure(kelvane::Message::notCleared);
    else if (put == TextReplacer::Put::damaged)
        tellFailure(kelvane::Message::notClearedDamaged);
}

// Ends the program at once, without a question.
void frmKelvane::exitProgram()
{
    QCoreApplication::exit(0);
}

// Moves the banner's first character to its end; the label's text is the only state.
void frmKelvane::rotateBanner()
{
    const QString text = Label1->text();
    if (text.size() > 1)
        Label1->setText(text.sliced(1) + text.front());
}

// Inserting the new text first makes the one large allocation, the copy into
// the document's store, before anything has changed. insertText() keeps every
// unit as it is except line feeds, which become paragraph breaks. Inside the
// caller's edit, setPosition() lays nothing out; movePosition() and select()
// would lay out a whole paragraph of the old or the new text.
void frmKelvane::writeText(QTextCursor& cursor, const QString& text)
{
    cursor.setPosition(0);
    cursor.insertText(text);
    cursor.setPosition(cursor.document()->characterCount() - 1, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

// Puts `text` into the text box in place of its text as one undoable edit,
// written by writeText().
TextReplacer::Put frmKelvane::putText(const QString& text, const QString* before)
{
    return replacer_->put(text, before, [this](QTextCursor& cursor, const QString& written) {
        writeText(cursor, written);
    });
}

kelvane::TextSize frmKelvane::encryptedSize(const kelvane::Codebook& codebook) const
{
    return cipherSizer_->encryptedSize(codebook);
}
