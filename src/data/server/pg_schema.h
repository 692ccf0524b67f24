#pragma once

#include "data/core/open_table.h"
#include "data/core/schema.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace data::pg {

class Session;

// The channel the tables' triggers notify on. Each statement that changes
// rows of a table sends one payload "<table> <rowid>,<rowid>,...", or
// "<table> *" when the rowids would not fit in one notification.
inline constexpr char ChangeChannel[] = "tavrel";

// The statements that make one table of the system on the server: rowid,
// the fields, the version and desk of the last change, the key (blank and no
// value being one value, as on the table files), the indexes, and the
// triggers that notify ChangeChannel.
QStringList createTableStatements(const TableDef& table);

// Creates the system's tables in one transaction. Refuses, writing nothing,
// when any of them exists already.
void createTables(Session& session);

bool tableExists(Session& session, const QString& sqlName);

// The fields of a table in column order, without rowid and the version and
// desk columns; empty when the table does not exist.
std::vector<FieldInfo> fieldsOf(Session& session, const QString& sqlName);

}  // namespace data::pg
