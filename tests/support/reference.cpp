// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "reference.h"

namespace kelvane {

namespace {

// Returns the alphabet character at `position` as a one-character view into
// the constant alphabet, so that passes need no storage of their own.
constexpr std::u16string_view characterText(std::size_t position)
{
    return CipherAlphabet::characters().substr(position, 1);
}

} // namespace

std::u16string replaceAll(std::u16string_view text, std::u16string_view find,
                          std::u16string_view replacement)
{
    if (find.empty())
        return std::u16string(text);
    std::u16string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    for (auto hit = text.find(find); hit != std::u16string_view::npos; hit = text.find(find, pos)) {
        result.append(text.substr(pos, hit - pos));
        result.append(replacement);
        pos = hit + find.size();
    }
    result.append(text.substr(pos));
    return result;
}

SubstitutionPass encryptionPass(const Codebook& codebook)
{
    SubstitutionPass pass;
    for (std::size_t i = 0; i < pass.size(); ++i)
        pass[i] = {characterText(i), codebook.code(i)};
    return pass;
}

SubstitutionPass decryptionPass(const Codebook& codebook)
{
    SubstitutionPass pass;
    for (std::size_t i = 0; i < pass.size(); ++i)
        pass[i] = {codebook.code(i), characterText(i)};
    return pass;
}

std::u16string runPass(std::u16string_view text, const SubstitutionPass& pass)
{
    std::u16string result(text);
    for (const SubstitutionStep& step : pass)
        result = replaceAll(result, step.find, step.replacement);
    return result;
}

} // namespace kelvane
