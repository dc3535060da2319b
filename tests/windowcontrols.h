// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Lookup of the window's controls by object name, shared by the window tests.

#include <QWidget>
#include <QtGlobal>

namespace kelvane::testing {

// Returns the child of `window` named `name`, ending the test run when the
// window has no such control, since every later check would be meaningless.
template <typename T>
T* control(const QWidget* window, const char* name)
{
    auto* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

} // namespace kelvane::testing
