// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <kelvane/command.h>

class QTextDocument;

namespace kelvane {
class Codebook;
}

// Sizes the cipher text of a document without reading its text: it keeps the
// unit counts of every paragraph with the paragraph while the text is edited,
// so that a text too large to encrypt is refused at once, however long.
class CipherSizer : public QObject
{
    Q_OBJECT

public:
    // Follows the edits of `document`, which outlives it.
    explicit CipherSizer(QTextDocument* document);

    // Returns the size of the document's text encrypted with `codebook`, its
    // paragraph breaks as line feeds.
    kelvane::TextSize encryptedSize(const kelvane::Codebook& codebook) const;

private:
    void recount(int position, int charsRemoved, int charsAdded);

    QTextDocument* document_;
};
