// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "artwork.h"

QIcon Artwork::windowIcon()
{
    QIcon icon(QStringLiteral(":/kelvane/kelvane.ico"));
    for (const int size : {64, 128, 256})
        icon.addFile(QStringLiteral(":/kelvane/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

const QPixmap& Artwork::background(qreal ratio)
{
    const int scale = ratio <= 1 ? 1 : ratio <= 2 ? 2 : 3;
    if (background_.isNull() || background_.devicePixelRatio() != scale) {
        background_ =
            QPixmap(scale == 1 ? QStringLiteral(":/kelvane/background.png")
                               : QStringLiteral(":/kelvane/background@%1x.png").arg(scale));
        background_.setDevicePixelRatio(scale);
    }
    return background_;
}
