// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "overridecursor.h"

#include <QApplication>
#include <QCursor>

OverrideCursor::OverrideCursor(Qt::CursorShape shape, bool active) : active_(active)
{
    if (active_)
        QApplication::setOverrideCursor(QCursor(shape));
}

OverrideCursor::~OverrideCursor()
{
    if (active_)
        QApplication::restoreOverrideCursor();
}
