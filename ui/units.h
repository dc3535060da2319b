// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QTextCursor>
#include <QTextDocument>
#include <cstddef>
#include <string_view>

namespace kelvane {

// Returns `text`'s UTF-16 units as the cipher core reads them, without a copy.
inline std::u16string_view unitsOf(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

// Returns the units from `start` to `end` of `document`, its paragraph breaks
// as U+2029.
inline QString unitsBetween(const QTextDocument* document, int start, int end)
{
    QTextCursor source(const_cast<QTextDocument*>(document));
    source.setPosition(start);
    source.setPosition(end, QTextCursor::KeepAnchor);
    return source.selectedText();
}

// Returns the few units from `start` to `end` of `document`, its paragraph
// breaks as U+2029, read one by one: a cursor set in a paragraph measures its
// x position there, which analyses or lays out the whole paragraph first and
// takes seconds in a line of tens of millions of units.
inline QString fewUnitsBetween(const QTextDocument* document, int start, int end)
{
    QString text;
    text.reserve(end - start);
    for (int position = start; position < end; ++position)
        text += document->characterAt(position);
    return text;
}

} // namespace kelvane
