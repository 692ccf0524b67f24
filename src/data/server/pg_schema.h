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

// The column that holds, beside the name of the desk that stored a record
// last (tavrel_desk), the token of that desk's run of the program: desks
// may share a name (cloned computers), runs do not.
inline constexpr char DeskTokenColumn[] = "tavrel_desk_token";

// The statements that make one table of the system on the server: rowid,
// the fields, the version, desk and desk token of the last change, the key (blank and no
// value being one value, as on the table files), the indexes, and the
// triggers that notify ChangeChannel.
QStringList createTableStatements(const TableDef& table);

// Creates the system's tables in one transaction. Refuses, writing nothing,
// when any of them exists already.
void createTables(Session& session);

bool tableExists(Session& session, const QString& sqlName);
bool columnExists(Session& session, const QString& sqlName, const QString& column);

// Adds the desk token column to those of the system's tables on the server
// that were made without it; their records keep no token.
void addDeskTokenColumns(Session& session);
// Gives the tables the loops rewrite whole, made before they were made with
// room in their pages, that room in the pages written from now on. Only
// the tables' owner may.
void leaveRoomInLoopTables(Session& session);

// The fields of a table in column order, without rowid and the version,
// desk and desk token columns; empty when the table does not exist.
std::vector<FieldInfo> fieldsOf(Session& session, const QString& sqlName);

}  // namespace data::pg
