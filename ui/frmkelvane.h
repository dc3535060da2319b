// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "artwork.h"
#include "textreplacer.h"

#include <QWidget>
#include <kelvane/command.h>
#include <memory>
#include <string>
#include <string_view>

QT_BEGIN_NAMESPACE
class QComboBox;
class QLabel;
class QPushButton;
class QTextCursor;
class QTimer;
QT_END_NAMESPACE

class CipherSizer;
class TextBox;

namespace kelvane {
class Codebook;
} // namespace kelvane

// The program's only window. It keeps all of its state in its controls: the
// working text in txtEncrypt, the key in cboKey's text and the banner in
// Label1's text. Controls sit at fixed positions on a fixed-size client area,
// with fixed colours, so the window looks the same under every desktop theme.
class frmKelvane : public QWidget
{
    Q_OBJECT

public:
    explicit frmKelvane(QWidget* parent = nullptr);

protected:
    // Returns `text` run through `codebook` in `direction`. Tests override it
    // to make building a result fail.
    virtual std::u16string transformText(kelvane::Direction direction, std::u16string_view text,
                                         const kelvane::Codebook& codebook) const;

    // Writes `text` over the whole text of `cursor`'s document, inside an
    // edit that the caller has opened. Tests override it to make writing fail.
    virtual void writeText(QTextCursor& cursor, const QString& text);

    // Shows `message` in a modal box with an OK button. Tests override it to
    // record the message.
    virtual void tell(kelvane::Message message);

    // Asks `message` in a modal box with Yes and No, and returns true on Yes.
    // Tests override it to record the question and answer it.
    virtual bool ask(kelvane::Message message);

    // Returns the size of the text box's text encrypted with `codebook`, from
    // unit counts kept for each paragraph.
    kelvane::TextSize encryptedSize(const kelvane::Codebook& codebook) const;

    void paintEvent(QPaintEvent* event) override;
    // Lets Enter and Return press a focused button, as Space does, and leaves
    // Escape on the open key list to the list.
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void encrypt();
    void decrypt();
    void clearText();
    void exitProgram();
    void rotateBanner();

private:
    void createControls();
    void load();
    void runCommand(kelvane::Direction direction);
    TextReplacer::Put putText(const QString& text, const QString* before);
    void tellFailure(kelvane::Message failure);
    void tellLineTooLong();
    void tellInsertFailed();

    TextBox* txtEncrypt;
    QPushButton* cmdEncrypt;
    QPushButton* cmdDecrypt;
    QPushButton* cmdClear;
    QPushButton* cmdExit;
    QComboBox* cboKey;
    QLabel* LabelKey;
    QLabel* Label1;
    QTimer* Timer1;
    CipherSizer* cipherSizer_;
    std::unique_ptr<TextReplacer> replacer_;
    Artwork artwork_;
};
