// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QTextDocument;

// The undo history and length of a document before an edit that may fail part
// way, so that what part of it was made can be taken back without leaving a
// step that redo could bring back.
class UndoCheckpoint
{
public:
    explicit UndoCheckpoint(QTextDocument* document);

    // Takes back the part of the edit that was made, and returns true when the
    // document has its former undo steps and length again. Nothing thrown
    // leaves here.
    bool restore() const;

private:
    QTextDocument* document_;
    int undoSteps_;
    int length_;
};
