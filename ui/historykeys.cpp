// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "historykeys.h"

#include "textbox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QShortcut>
#include <algorithm>

HistoryKeys::HistoryKeys(QWidget* window, TextBox* textBox, QComboBox* keyList)
    : QObject(window), window_(window), textBox_(textBox), keyList_(keyList)
{
    addShortcut(QKeySequence::keyBindings(QKeySequence::Undo) << QKeySequence(Qt::CTRL | Qt::Key_Z),
                &HistoryKeys::undo);
    addShortcut(QKeySequence::keyBindings(QKeySequence::Redo)
                    << QKeySequence(Qt::CTRL | Qt::Key_Y)
                    << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                &HistoryKeys::redo);
}

// Binds each of `keys` once: a key bound twice would be ambiguous and do
// nothing.
void HistoryKeys::addShortcut(QList<QKeySequence> keys, void (HistoryKeys::*slot)())
{
    keys.removeIf([](const QKeySequence& key) { return key.isEmpty(); });
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    auto* shortcut = new QShortcut(window_);
    shortcut->setKeys(keys);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, slot);
}

bool HistoryKeys::inKeyList() const
{
    const QWidget* focus = window_->focusWidget();
    return focus == keyList_ || keyList_->isAncestorOf(focus);
}

void HistoryKeys::undo()
{
    if (inKeyList())
        keyList_->lineEdit()->undo();
    else
        textBox_->undo();
}

void HistoryKeys::redo()
{
    if (inKeyList())
        keyList_->lineEdit()->redo();
    else
        textBox_->redo();
}
