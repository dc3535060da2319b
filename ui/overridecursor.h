// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <Qt>

// Shows a pointer shape over the whole program while it lives, and the pointer
// of before once it ends, however that happens: long work and the messages
// within it each show their own pointer.
class OverrideCursor
{
public:
    // Shows `shape` unless `active` is false.
    explicit OverrideCursor(Qt::CursorShape shape, bool active = true);
    ~OverrideCursor();
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;

private:
    bool active_;
};
