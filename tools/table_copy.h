#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// Moving a factory's three tables from one place to another: from a folder
// onto a PostgreSQL server or back, or between two folders or two servers.

struct CopiedTable {
    QString fileName;  // "dd.db"
    qint64 rows = 0;
};

// Copies every record of the three tables from source to target (each a
// folder or a server's URI), field by field as stored (an empty text stays
// empty, a field without a value stays without one), in table order. Target
// tables that are missing are created; a target table that holds records
// refuses the copy (EngineError naming it) before anything is written. When
// the copy fails on its way, the target tables are emptied again. The undo
// journal is not copied. A server's tables are read in one snapshot
// (REPEATABLE READ): the copy holds them as they were at one moment.
std::vector<CopiedTable> copyTables(const QString& source, const QString& target);

// "dd.db：已复制 1234 条记录", one line for each table.
QStringList copySummary(const std::vector<CopiedTable>& copied);
