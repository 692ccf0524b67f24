#pragma once

#include "data/core/connection.h"

#include <QString>

namespace kit {

// What the clerk is asked when another desk changed or deleted a record this
// desk stores or deletes: which record (the table in words and its key), the
// fields both desks changed (the value read, the other desk's, this desk's),
// which desk, and the answers: Yes keeps this desk's values, No takes the
// other's; in a bulk command for every such record, and Cancel stops it.
QString conflictQuestion(const data::Conflict& conflict);

// At most this many lines list the fields that differ; more are counted.
inline constexpr int ConflictFieldLines = 8;

// The engine's conflict resolver of the windows: asks conflictQuestion() in a
// box of the active window, Yes/No, or Yes/No/Cancel in a bulk command.
data::ConflictChoice askClerkInConflict(const data::Conflict& conflict);

}  // namespace kit
