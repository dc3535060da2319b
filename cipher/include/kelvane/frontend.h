// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string_view>

// What the window and the page show and do alike beyond the cipher, kept
// here once so that neither front end writes a value of its own. The key
// list is kelvane::keyNumbers (alphabet.h).

namespace kelvane {

// The banner's credit line, ASCII, with the one space that, with its own
// trailing space, separates its end from its beginning as the banner cycles.
inline constexpr std::string_view bannerText =
    "Kelvane Software www.kelvane.example.org  E-mail:support@kelvane.example.org  ";

// Milliseconds per one-character step of the banner.
inline constexpr int bannerStepMilliseconds = 65;

// Texts from this many units on take long enough to encrypt or decrypt that
// the pointer shows the program is busy.
inline constexpr std::size_t busyTextUnits = 100'000;

// The longest run of units without white space that the text box still wraps
// at word boundaries; a text with a longer run wraps anywhere.
inline constexpr std::size_t longRunLimit = 2000;

} // namespace kelvane
