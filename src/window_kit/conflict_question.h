#pragma once

#include "data/core/connection.h"

#include <QString>

namespace kit {

// What the clerk is asked when another desk changed or deleted a record this
// desk stores or deletes: which record (the table in words and its key), what
// the other desk stored where it differs from this desk's values, which desk,
// and the two answers (Yes keeps this desk's values, No takes the other's).
QString conflictQuestion(const data::Conflict& conflict);

// At most this many lines list the fields that differ; more are counted.
inline constexpr int ConflictFieldLines = 8;

// The engine's conflict resolver of the windows: asks conflictQuestion() in a
// Yes/No box of the active window.
data::ConflictChoice askClerkInConflict(const data::Conflict& conflict);

}  // namespace kit
