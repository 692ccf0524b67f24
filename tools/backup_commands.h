#pragma once

#include <QStringList>
#include <QTextStream>

// The table tool's backups: `backup PLACE [DEST]` and `restore BACKUP PLACE`.
// A folder of table files is refused while the program holds it. A server's
// three tables are read in one snapshot into a dated backup of table files;
// a backup goes back onto a server only into empty tables, as `copy` does.
// Each returns the exit code.
int backupTables(const QStringList& args, QTextStream& out, QTextStream& err);
int restoreTables(const QStringList& args, QTextStream& out, QTextStream& err);
