#pragma once

#include "data/core/undo_journal.h"

#include <QString>
#include <memory>

namespace data {

// The journal kept in "undo.db" in the folder of the tables.
std::unique_ptr<UndoJournal> openUndoFile(const QString& directory);
QString undoFileName();  // "undo.db"

}  // namespace data
