#pragma once

#include "paradox/paradox_table.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace paradox {

struct ImportOptions {
    QString encoding;  // empty: each table's own code page (GBK when it names none)
};

// A record that was not stored, with its number in the Paradox table (from 1).
struct RecordProblem {
    int recordNo = 0;
    QString reason;
    bool unreadable = false;  // could not be read, as opposed to refused
};

struct TableSummary {
    QString fileName;  // "dd.db"
    int read = 0;
    int stored = 0;
    int refused = 0;
    int unreadable = 0;
    std::vector<RecordProblem> problems;
    QStringList notes;  // fields of ours that the Paradox table lacks
    QStringList missingFields;  // their names
};

struct ImportSummary {
    std::vector<TableSummary> tables;  // shoes.db, dd.db, xdtj.db
    bool everythingStored() const;
};

// Reads "shoes.db", "dd.db" and "xdtj.db" (and their .MB memo files) from
// paradoxDir and writes the program's three tables into dataDir, every
// record passing the rule a post in its window applies. Records that the
// rules or keys refuse, or that cannot be read, are left out and listed.
// Throws ImportError, with nothing left in dataDir, when a table is missing,
// encrypted or damaged, a memo file is missing, or dataDir already holds
// one of the tables.
ImportSummary importParadoxTables(const QString& paradoxDir, const QString& dataDir, const ImportOptions& options = {});

}  // namespace paradox
