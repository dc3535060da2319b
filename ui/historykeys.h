// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>

class QComboBox;
class TextBox;
class QWidget;

// The undo and redo keys of a whole window. The text box and the key field
// take the platform's own keys while they have the focus; these serve the
// rest of the window (a button, or no control at all, after a command), and
// add Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z where the platform binds others.
class HistoryKeys : public QObject
{
    Q_OBJECT

public:
    // Binds the keys in `window`: they act on `textBox`, or on `keyList`'s
    // own typing while it has the focus.
    HistoryKeys(QWidget* window, TextBox* textBox, QComboBox* keyList);

private:
    void addShortcut(QList<QKeySequence> keys, void (HistoryKeys::*slot)());
    bool inKeyList() const;
    void undo();
    void redo();

    QWidget* window_;
    TextBox* textBox_;
    QComboBox* keyList_;
};
