// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ciphersizer.h"

#include "units.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <kelvane/substitution.h>

namespace {

// The unit counts of one paragraph, without its paragraph break, kept with it.
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
    return kelvane::countUnits(kelvane::unitsOf(block.text()));
}

} // namespace

CipherSizer::CipherSizer(QTextDocument* document) : QObject(document), document_(document)
{
    connect(document_, &QTextDocument::contentsChange, this, &CipherSizer::recount);
}

// Counts the units of the changed paragraphs again. Their text is read in
// runs of whole paragraphs of up to `countRun` units, each found once, since
// finding every paragraph's text on its own takes longer than counting it.
// Paragraphs whose counts cannot be taken lose the ones they kept and are
// counted when they are sized.
void CipherSizer::recount(int position, int /*charsRemoved*/, int charsAdded)
{
    constexpr int countRun = 1 << 20;
    const QTextBlock first = document_->findBlock(position);
    const QTextBlock last = document_->findBlock(position + charsAdded);
    try {
        for (QTextBlock block = first; block.isValid();) {
            QTextBlock end = block;
            for (int run = end.length(); end != last && end.next().isValid() && run < countRun;)
                run += (end = end.next()).length();
            QTextCursor cursor(document_);
            cursor.setPosition(block.position());
            cursor.setPosition(end.position() + end.length() - 1, QTextCursor::KeepAnchor);
            const QString text = cursor.selectedText(); // unit for unit, breaks as U+2029
            const std::u16string_view units = kelvane::unitsOf(text);
            for (std::size_t start = 0;; block = block.next()) {
                const auto length = static_cast<std::size_t>(block.length() - 1);
                const kelvane::UnitCounts counts = kelvane::countUnits(units.substr(start, length));
                start += length + 1;
                if (auto* kept = dynamic_cast<BlockCounts*>(block.userData()))
                    kept->counts = counts;
                else
                    block.setUserData(new BlockCounts(counts));
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
kelvane::TextSize CipherSizer::encryptedSize(const kelvane::Codebook& codebook) const
{
    kelvane::TextSize size;
    kelvane::UnitCounts all;
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next()) {
        const kelvane::UnitCounts counts = countsOf(block);
        size.longestLine = std::max(size.longestLine, kelvane::encryptedSize(counts, codebook));
        all += counts;
    }
    all.units += static_cast<std::size_t>(document_->blockCount() - 1);
    size.total = kelvane::encryptedSize(all, codebook);
    return size;
}
