// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "undocheckpoint.h"

#include <QTextDocument>

UndoCheckpoint::UndoCheckpoint(QTextDocument* document)
    : document_(document), undoSteps_(document->availableUndoSteps()),
      length_(document->characterCount())
{}

// A part of the edit that was made is one undo step; taking it back also
// drops it from the redo history, so that Ctrl+Y cannot bring it back.
bool UndoCheckpoint::restore() const
{
    try {
        if (document_->availableUndoSteps() > undoSteps_) {
            document_->undo();
            document_->clearUndoRedoStacks(QTextDocument::RedoStack);
        }
        return document_->availableUndoSteps() == undoSteps_ &&
               document_->characterCount() == length_;
    } catch (...) {
        return false;
    }
}
