// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kelvane {

// The two directions of the cipher.
enum class Direction
{
    encrypt,
    decrypt
};

} // namespace kelvane
