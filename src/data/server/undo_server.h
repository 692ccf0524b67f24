#pragma once

#include "data/core/store.h"

#include <memory>

namespace data {

class PgConnection;

// The journal of the bulk commands kept in the server's own tables
// (created on first use), so that every desk sees and may undo the commands
// run at any desk. Records carry the records' versions in place of
// fingerprints: a record changed after the command has a newer version.
std::unique_ptr<UndoJournal> openServerUndoJournal(std::shared_ptr<PgConnection> connection, OpenTables tables);

}  // namespace data
