#pragma once

// Readers of what the tables hold on disk, apart from the engine under test:
// a read-only SQLite connection of their own on the table files, or a libpq
// session of their own on the server. The engine's own connection sees the
// writes of a transaction it has not committed; these see only what another
// program would see.

#include "model_journal.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace seq {

class StoredRows {
public:
    virtual ~StoredRows() = default;
    // Every row of a table in the order of its row ids, rendered as the model
    // renders its rows (model_rows.h).
    virtual QStringList rows(Table table) = 0;
};

std::unique_ptr<StoredRows> readTableFiles(const QString& folder);
std::unique_ptr<StoredRows> readServer(const QString& uri);

// The application name of the reader's session, which the faults spare.
inline const char* readerSessionName() { return "tavrel_sequence_reader"; }

// Field names in table order.
const QStringList& fieldsOf(Table table);
QString sqlNameOf(Table table);  // "dd", "shoes", "xdtj"

}  // namespace seq
