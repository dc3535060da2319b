// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QPixmap>

// The window's artwork. The background is drawn at 1x, 2x and 3x, and the
// icon holds sizes up to 256 pixels, so that dense screens show them sharp.
class Artwork
{
public:
    // Returns the window icon: the five images of the program's .ico and the
    // larger sizes that high-density screens and task switchers ask for.
    static QIcon windowIcon();

    // Returns the background picture for a device pixel ratio of `ratio`, the
    // smallest drawing that needs no enlarging; loads it when the scale
    // changes, as when the window moves to a screen of another density.
    const QPixmap& background(qreal ratio);

private:
    QPixmap background_;
};
