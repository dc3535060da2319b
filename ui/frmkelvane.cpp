// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmkelvane.h"

#include "textbox.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <alphabet.h>
#include <cmath>
#include <codebook.h>
#include <limits>
#include <new>
#include <stdexcept>
#include <substitution.h>

namespace detail {

// Fixed colours, so that the window looks alike under every desktop theme.
const QColor activeTitleBar(153, 180, 209);
const QColor inactiveTitleBar(191, 205, 219);
const QColor windowText(0, 0, 0);
const QColor bannerText(128, 128, 128);

// The credit line and the one space that, with the credit line's own trailing
// space, separates its end from its beginning as the banner cycles.
const QString bannerText_ = QStringLiteral(
    "Kelvane Software www.kelvane.example.org  E-mail:support@kelvane.example.org  ");

constexpr int bannerInterval = 65; // milliseconds per one-character step

// Texts from this many characters on take long enough to encrypt or decrypt
// that the pointer shows the program is busy.
constexpr int largeText = 100'000;

// Shows `shape` as the pointer over the whole program while it lives, and
// the pointer of before once it ends, however that happens.
class OverrideCursor
{
public:
    explicit OverrideCursor(Qt::CursorShape shape, bool active = true) : active_(active)
    {
        if (active_)
            QApplication::setOverrideCursor(QCursor(shape));
    }
    ~OverrideCursor()
    {
        if (active_)
            QApplication::restoreOverrideCursor();
    }
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;

private:
    bool active_;
};

// Longest run of units without white space that is still wrapped at word
// boundaries. Qt looks for a word boundary to the end of the run for every
// line it wraps, so a longer run costs time quadratic in its length; beyond
// this the text box wraps anywhere, which costs linear time.
constexpr qsizetype longRunLimit = 2000;

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

// Returns true when `text` holds more than longRunLimit units in a row
// without white space.
bool hasLongRun(QStringView text)
{
    qsizetype run = 0;
    for (const QChar c : text) {
        if (c.isSpace())
            run = 0;
        else if (++run > longRunLimit)
            return true;
    }
    return false;
}

// Returns true when a block from `first` to `last`, both included, holds a
// long run.
bool hasLongRun(QTextBlock first, const QTextBlock& last)
{
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        if (block.length() > longRunLimit && hasLongRun(block.text()))
            return true;
        if (block == last)
            break;
    }
    return false;
}

// Returns the wrap mode that lays `longRun` text out in linear time.
QTextOption::WrapMode wrapModeFor(bool longRun)
{
    return longRun ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
}

// Sets `widget`'s geometry from twips, 15 to the pixel.
void placeTwips(QWidget* widget, int left, int top, int width, int height)
{
    constexpr int twipsPerPixel = 15;
    widget->setGeometry(left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
                        height / twipsPerPixel);
    widget->setFixedSize(widget->size());
}

// Returns `text`'s UTF-16 units as the cipher core reads them.
std::u16string_view unitsOf(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

// Returns the text of `document` unit for unit, with its paragraph breaks as
// line feeds. toPlainText() would also turn a no-break space into a space and
// a line separator into a line feed.
QString textOf(const QTextDocument* document)
{
    QString text = document->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

// The text box counts positions in ints, and its undo history keeps the text
// that a command replaces beside the result: both together must fit.
constexpr std::size_t maxTextBoxUnits = std::numeric_limits<int>::max() - 1;

// Returns the length of the longest line of `text`, split at line feeds.
std::size_t longestLine(std::u16string_view text)
{
    std::size_t longest = 0;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(u'\n', start);
        longest = std::max(longest, std::min(end, text.size()) - start);
        if (end == std::u16string_view::npos)
            return longest;
        start = end + 1;
    }
}

const char* const tooLarge = QT_TRANSLATE_NOOP(
    "frmKelvane", "The text is too large to process. It has been left unchanged.");
const char* const lineTooLong = QT_TRANSLATE_NOOP(
    "frmKelvane", "The result would have a line of more than %1 characters, too "
                  "long for the text box to show. The text has been left unchanged.");

// Returns why a result of `resultSize` units whose longest line has
// `resultLine` units cannot replace a text of `textSize` units in a text box
// that shows lines of up to `maxLine` units, or nullptr when it can.
const char* refusal(std::size_t textSize, std::size_t resultSize, std::size_t resultLine,
                    std::size_t maxLine)
{
    if (textSize > maxTextBoxUnits || resultSize > maxTextBoxUnits - textSize)
        return tooLarge;
    if (resultLine > maxLine)
        return lineTooLong;
    return nullptr;
}

// The unit counts of one paragraph, without its paragraph break, kept with
// it while the text is edited, so that sizing a cipher text reads no text.
class BlockCounts : public QTextBlockUserData
{
public:
    explicit BlockCounts(const kelvane::UnitCounts& counts) : counts(counts) {}
    kelvane::UnitCounts counts;
};

// Returns the unit counts of `block`'s text: the kept ones, or fresh ones
// when none are kept or they are plainly stale.
kelvane::UnitCounts countsOf(const QTextBlock& block)
{
    const auto* kept = dynamic_cast<const BlockCounts*>(block.userData());
    if (kept && kept->counts.units == static_cast<std::size_t>(block.length() - 1))
        return kept->counts;
    return kelvane::countUnits(unitsOf(block.text()));
}

// Returns `count` with its digits grouped by commas, as the messages write it.
QString groupedNumber(qsizetype count)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(count);
}

// Shows a modal box with `message`, `title` and `buttons`, and returns the
// button that closed it.
QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                const QString& message,
                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                QMessageBox::StandardButton defaultButton = QMessageBox::Ok)
{
    // A message shows the ordinary pointer, even in the middle of long work.
    const OverrideCursor arrow(Qt::ArrowCursor);
    QMessageBox box(icon, title, message, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

// Shows a modal box with `message` under `title`, a single OK button and no icon.
void tell(QWidget* parent, const QString& title, const QString& message)
{
    ask(parent, QMessageBox::NoIcon, title, message);
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

// Returns the scale of the artwork drawn for a device pixel ratio of
// `ratio`: 1, 2 or 3, whichever is the smallest that needs no enlarging.
int artScale(qreal ratio)
{
    return ratio <= 1 ? 1 : ratio <= 2 ? 2 : 3;
}

// Returns the background picture drawn at `scale`, one of 1, 2 and 3.
QPixmap backgroundFor(int scale)
{
    QPixmap picture(scale == 1 ? QStringLiteral(":/kelvane/background.png")
                               : QStringLiteral(":/kelvane/background@%1x.png").arg(scale));
    picture.setDevicePixelRatio(scale);
    return picture;
}

// Returns the window icon: the five images of the program's .ico and the
// larger sizes that high-density screens and task switchers ask for.
QIcon windowIcon()
{
    QIcon icon(QStringLiteral(":/kelvane/kelvane.ico"));
    for (const int size : {64, 128, 256})
        icon.addFile(QStringLiteral(":/kelvane/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace detail

frmKelvane::frmKelvane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmKelvane"));
    setWindowTitle(QStringLiteral("Kelvane Encryptor"));
    setWindowIcon(detail::windowIcon());
    setFixedSize(3855 / 15, 4890 / 15);

    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, detail::activeTitleBar);
    windowPalette.setColor(QPalette::WindowText, detail::windowText);
    setPalette(windowPalette);

    createControls();
    load();
}

// Builds the controls at their fixed places, in tab order.
void frmKelvane::createControls()
{
    txtEncrypt = new TextBox(this);
    txtEncrypt->setObjectName(QStringLiteral("txtEncrypt"));
    detail::placeTwips(txtEncrypt, 120, 480, 3615, 3975);
    txtEncrypt->setFont(detail::formFont(9));
    txtEncrypt->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtEncrypt->setWordWrapMode(detail::wrapModeFor(false));
    txtEncrypt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtEncrypt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtEncrypt->setTabChangesFocus(true);
    txtEncrypt->setAccessibleName(tr("Text"));
    txtEncrypt->setAccessibleDescription(
        tr("The text to encrypt or decrypt; Encrypt and Decrypt replace it with the result"));
    txtEncrypt->verticalScrollBar()->setAccessibleName(tr("Text scroll bar"));
    QPalette textPalette = txtEncrypt->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        textPalette.setColor(group, QPalette::Base, detail::activeTitleBar);
        textPalette.setColor(group, QPalette::Text, detail::windowText);
    }
    txtEncrypt->setPalette(textPalette);
    connect(txtEncrypt->document(), &QTextDocument::contentsChange, this,
            &frmKelvane::updateWrapMode);
    connect(txtEncrypt->document(), &QTextDocument::contentsChange, this,
            &frmKelvane::recountUnits);
    connect(txtEncrypt, &TextBox::lineTooLong, this, &frmKelvane::tellLineTooLong);
    connect(txtEncrypt, &TextBox::insertFailed, this, &frmKelvane::tellInsertFailed);

    cmdEncrypt = detail::makeButton(QStringLiteral("cmdEncrypt"), tr("Encrypt"),
                                    tr("Encrypts the text with the chosen key"), this);
    detail::placeTwips(cmdEncrypt, 120, 4560, 735, 255);
    cmdDecrypt = detail::makeButton(QStringLiteral("cmdDecrypt"), tr("Decrypt"),
                                    tr("Decrypts the text with the chosen key"), this);
    detail::placeTwips(cmdDecrypt, 1200, 4560, 735, 255);
    cmdClear = detail::makeButton(QStringLiteral("cmdClear"), tr("Clear"),
                                  tr("Empties the text box; Escape does the same"), this);
    detail::placeTwips(cmdClear, 2400, 4560, 615, 255);
    cmdExit = detail::makeButton(QStringLiteral("cmdExit"), tr("Exit"),
                                 tr("Ends the program without saving the text"), this);
    detail::placeTwips(cmdExit, 3120, 4560, 615, 255);
    for (QPushButton* button : {cmdEncrypt, cmdDecrypt, cmdClear, cmdExit})
        button->installEventFilter(this);

    // The key field is only 33 pixels wide: a slim arrow and little padding
    // leave room for "10" in full.
    cboKey = new QComboBox(this);
    cboKey->setObjectName(QStringLiteral("cboKey"));
    detail::placeTwips(cboKey, 480, 0, 495, 315);
    cboKey->setFont(detail::formFont(8.25));
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
    detail::placeTwips(LabelKey, 120, 0, 375, 255);
    LabelKey->setFont(detail::formFont(9));
    LabelKey->setTextFormat(Qt::PlainText);
    // Ties the caption to the list for screen readers; with no '&' in the
    // caption it adds no access key.
    LabelKey->setBuddy(cboKey);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    detail::placeTwips(Label1, 1080, 120, 1935, 240);
    Label1->setFont(detail::formFont(8.25));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(false);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QPalette bannerPalette = Label1->palette();
    bannerPalette.setColor(QPalette::WindowText, detail::bannerText);
    Label1->setPalette(bannerPalette);
    // A fixed accessible name stops QLabel from announcing a new name on every
    // tick, so a screen reader reads the credit line once while it scrolls.
    Label1->setAccessibleName(detail::bannerText_.trimmed());
    Label1->setAccessibleDescription(tr("Scrolling credit line"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    setTabOrder(txtEncrypt, cmdEncrypt);
    setTabOrder(cmdEncrypt, cmdDecrypt);
    setTabOrder(cmdDecrypt, cmdClear);
    setTabOrder(cmdClear, cmdExit);
    setTabOrder(cmdExit, cboKey);

    // Clear is the window's cancel button: Escape anywhere in the window presses it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, cmdClear, &QPushButton::click);

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
    Label1->setText(detail::bannerText_);
    Timer1->setInterval(detail::bannerInterval);
    Timer1->start();
    for (const std::u16string_view key : kelvane::keyNumbers)
        cboKey->addItem(QString::fromUtf16(key.data(), static_cast<qsizetype>(key.size())));
    cboKey->setCurrentIndex(-1);
    cboKey->clearEditText();
}

void frmKelvane::paintEvent(QPaintEvent* /*event*/)
{
    // The window may have moved to a screen of another density.
    const qreal ratio = devicePixelRatioF();
    const int scale = detail::artScale(ratio);
    if (background_.isNull() || background_.devicePixelRatio() != scale)
        background_ = detail::backgroundFor(scale);
    QPainter painter(this);
    painter.fillRect(rect(), detail::activeTitleBar);
    // Between whole ratios the next larger drawing is scaled down, smoothly.
    if (ratio != std::floor(ratio))
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(0, 0, background_);
}

bool frmKelvane::eventFilter(QObject* watched, QEvent* event)
{
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

// Checks the key and the text, telling the user what is missing, and then
// replaces the text with the whole result of the pass in one undoable edit.
// A key text that is no key number ends the command quietly. The pass reads
// the text box's units exactly (paragraph breaks as line feeds) and the result
// goes back unit for unit. On every failure the text box keeps its text and
// undo history, the user is told so, and nothing thrown leaves this slot.
void frmKelvane::runCommand(kelvane::Direction direction)
{
    const bool encrypting = direction == kelvane::Direction::encrypt;
    const char* failure = nullptr;
    try {
        const detail::OverrideCursor busy(
            Qt::WaitCursor, txtEncrypt->document()->characterCount() >= detail::largeText);
        const QString key = cboKey->currentText();
        if (key.isEmpty())
            detail::tell(this, tr("Key Selection"), tr("Please select an encryption key!"));
        if (txtEncrypt->document()->isEmpty()) {
            detail::tell(this, tr("Text Entry"),
                         encrypting ? tr("Please enter the text to be encrypted!")
                                    : tr("Please enter the text to be decrypted!"));
            txtEncrypt->setFocus();
        }
        const kelvane::Codebook* codebook = kelvane::findCodebook(detail::unitsOf(key));
        if (!codebook)
            return;

        // A cipher text's size follows from the text, so one that cannot be
        // shown is refused before it is built; a text without alphabet
        // characters encrypts to itself.
        const QTextDocument* document = txtEncrypt->document();
        const auto textSize = static_cast<std::size_t>(document->characterCount() - 1);
        const auto maxLine = static_cast<std::size_t>(txtEncrypt->maxLineLength());
        if (encrypting) {
            const CipherSize size = encryptedSize(*codebook);
            if (size.total == textSize)
                return;
            failure = detail::refusal(textSize, size.total, size.longestLine, maxLine);
            if (failure) {
                tellFailure(failure);
                return;
            }
        }
        const QString text = detail::textOf(document);
        const std::u16string_view units = detail::unitsOf(text);
        const std::u16string result = transformText(direction, units, *codebook);
        if (result == units)
            return;
        // Decryption never lengthens a text, so building its result costs no
        // more than the text itself; its lines are known only once it is built.
        if (!encrypting) {
            failure =
                detail::refusal(textSize, result.size(), detail::longestLine(result), maxLine);
            if (failure) {
                tellFailure(failure);
                return;
            }
        }
        // Digits in a plain text can be read as codes on the way back; ask
        // before making a cipher text that will not decrypt to this text.
        // Only a text with digits can fail to round-trip.
        if (encrypting && !kelvane::roundTrips(units, *codebook)) {
            const auto answer = detail::ask(
                this, QMessageBox::Warning, tr("Digits in Text"),
                tr("Some digits in this text will not come back unchanged after decryption. "
                   "Encrypt anyway?"),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes)
                return;
        }
        const Put put = putText(
            QString::fromUtf16(result.data(), static_cast<qsizetype>(result.size())), &text);
        if (put == Put::takenBack)
            failure = QT_TR_NOOP("The result could not be shown in the text box. The text has been "
                                 "left unchanged.");
        else if (put == Put::damaged)
            failure = QT_TR_NOOP("The result could not be shown in the text box, and its former "
                                 "text could not be restored completely.");
    } catch (const std::bad_alloc&) {
        failure = detail::tooLarge;
    } catch (const std::length_error&) {
        failure = detail::tooLarge;
    } catch (...) {
        failure = QT_TR_NOOP("The text could not be processed. It has been left unchanged.");
    }
    tellFailure(failure);
}

// Tells the user about `failure`, if there is one. Telling needs memory too;
// if even that fails, the text is still as the message would have said, and
// nothing may leave the slot.
void frmKelvane::tellFailure(const char* failure)
{
    if (!failure)
        return;
    try {
        QString message = tr(failure);
        if (failure == detail::lineTooLong)
            message = message.arg(detail::groupedNumber(txtEncrypt->maxLineLength()));
        detail::tell(this, tr("Kelvane Encryptor"), message);
    } catch (...) {
    }
}

// Tells the user that a paste, a drop or a key was refused, since it would
// have made a line too long for the text box to show.
void frmKelvane::tellLineTooLong()
{
    try {
        detail::tell(this, tr("Kelvane Encryptor"),
                     tr("The text box cannot show a line of more than %1 characters, and this "
                        "change would make one. The text has been left unchanged.")
                         .arg(detail::groupedNumber(txtEncrypt->maxLineLength())));
    } catch (...) {
    }
}

// Tells the user that a paste or a drop ran out of memory.
void frmKelvane::tellInsertFailed()
{
    tellFailure(QT_TR_NOOP("There was not enough memory to take in all of the pasted or "
                           "dropped text."));
}

// Puts `text` into the text box in place of its text as one undoable edit.
// When writing or showing it fails, takes the edit back and says whether the
// former text, `before` if given, is there again. Nothing thrown leaves here.
frmKelvane::Put frmKelvane::putText(const QString& text, const QString* before)
{
    QTextDocument* document = txtEncrypt->document();
    const int undoSteps = document->availableUndoSteps();
    const int length = document->characterCount();
    try {
        replaceText(text);
        layOutShownText();
        return Put::done;
    } catch (...) {
    }
    // A part of the edit that was made is one undo step; taking it back also
    // drops it from the redo history, so that Ctrl+Y cannot bring it back.
    try {
        if (document->availableUndoSteps() > undoSteps) {
            document->undo();
            document->clearUndoRedoStacks(QTextDocument::RedoStack);
        }
        if (document->availableUndoSteps() == undoSteps && document->characterCount() == length &&
            (!before || detail::textOf(document) == *before))
            return Put::takenBack;
    } catch (...) {
    }
    return Put::damaged;
}

// Lays out the paragraphs that the text box shows, so that running out of
// memory there fails here, where the edit can still be taken back, rather
// than in the next repaint.
void frmKelvane::layOutShownText()
{
    const QAbstractTextDocumentLayout* layout = txtEncrypt->document()->documentLayout();
    const int height = txtEncrypt->viewport()->height();
    qreal shown = 0;
    for (QTextBlock block = txtEncrypt->cursorForPosition(QPoint(0, 0)).block();
         block.isValid() && shown < height; block = block.next())
        shown += layout->blockBoundingRect(block).height();
}

// Empties the text box as one undoable edit and puts the focus in it. If
// emptying fails, the text box keeps its text and the user is told so.
void frmKelvane::clearText()
{
    const Put put = putText(QString(), nullptr);
    txtEncrypt->setFocus();
    if (put == Put::takenBack)
        tellFailure(QT_TR_NOOP("The text could not be cleared. It has been left unchanged."));
    else if (put == Put::damaged)
        tellFailure(QT_TR_NOOP("The text could not be cleared, and it could not be restored "
                               "completely."));
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

// Replaces the whole text of the text box as one edit that Ctrl+Z takes back.
// The edit is closed also when writing fails.
void frmKelvane::replaceText(const QString& text)
{
    // Wrapping anywhere before a long run arrives spares laying it out at word
    // boundaries. The way back is left to updateWrapMode(), which runs once the
    // old text is gone: switching now would lay out the old text again.
    if (detail::hasLongRun(text))
        txtEncrypt->setWordWrapMode(QTextOption::WrapAnywhere);
    QTextCursor cursor(txtEncrypt->document());
    cursor.beginEditBlock();
    try {
        writeText(cursor, text);
    } catch (...) {
        cursor.endEditBlock();
        throw;
    }
    cursor.endEditBlock();
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

// Wraps anywhere while the text holds a long run without white space, and at
// word boundaries otherwise. Only the changed blocks are searched, except
// while wrapping anywhere, when the change may have removed the last long run.
void frmKelvane::updateWrapMode(int position, int /*charsRemoved*/, int charsAdded)
{
    const QTextDocument* document = txtEncrypt->document();
    const bool anywhere = txtEncrypt->wordWrapMode() == QTextOption::WrapAnywhere;
    const bool longRun = anywhere ? detail::hasLongRun(document->begin(), document->lastBlock())
                                  : detail::hasLongRun(document->findBlock(position),
                                                       document->findBlock(position + charsAdded));
    const QTextOption::WrapMode mode = detail::wrapModeFor(longRun);
    if (mode != txtEncrypt->wordWrapMode())
        txtEncrypt->setWordWrapMode(mode);
}

// Counts the units of the changed paragraphs again. Their text is read in
// runs of whole paragraphs of up to `countRun` units, each found once, since
// finding every paragraph's text on its own takes longer than counting it.
// Paragraphs whose counts cannot be taken lose the ones they kept and are
// counted when they are sized.
void frmKelvane::recountUnits(int position, int /*charsRemoved*/, int charsAdded)
{
    constexpr int countRun = 1 << 20;
    QTextDocument* document = txtEncrypt->document();
    const QTextBlock first = document->findBlock(position);
    const QTextBlock last = document->findBlock(position + charsAdded);
    try {
        for (QTextBlock block = first; block.isValid();) {
            QTextBlock end = block;
            for (int run = end.length(); end != last && end.next().isValid() && run < countRun;)
                run += (end = end.next()).length();
            QTextCursor cursor(document);
            cursor.setPosition(block.position());
            cursor.setPosition(end.position() + end.length() - 1, QTextCursor::KeepAnchor);
            const QString text = cursor.selectedText(); // unit for unit, breaks as U+2029
            const std::u16string_view units = detail::unitsOf(text);
            for (std::size_t start = 0;; block = block.next()) {
                const auto length = static_cast<std::size_t>(block.length() - 1);
                const kelvane::UnitCounts counts = kelvane::countUnits(units.substr(start, length));
                start += length + 1;
                if (auto* kept = dynamic_cast<detail::BlockCounts*>(block.userData()))
                    kept->counts = counts;
                else
                    block.setUserData(new detail::BlockCounts(counts));
                if (block == end)
                    break;
            }
            if (end == last)
                break;
            block = end.next();
        }
    } catch (...) {
        for (QTextBlock block = first; block.isValid(); block = block.next()) {
            block.setUserData(nullptr);
            if (block == last)
                break;
        }
    }
}

// Every paragraph's counts give its line's length in the cipher text, and
// their sum with the line feeds between paragraphs the whole length.
frmKelvane::CipherSize frmKelvane::encryptedSize(const kelvane::Codebook& codebook) const
{
    const QTextDocument* document = txtEncrypt->document();
    CipherSize size;
    kelvane::UnitCounts all;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const kelvane::UnitCounts counts = detail::countsOf(block);
        size.longestLine = std::max(size.longestLine, kelvane::encryptedSize(counts, codebook));
        all += counts;
    }
    all.units += static_cast<std::size_t>(document->blockCount() - 1);
    size.total = kelvane::encryptedSize(all, codebook);
    return size;
}
