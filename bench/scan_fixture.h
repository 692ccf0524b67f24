#pragma once

#include <QString>
#include <QStringList>

// Tables for measuring the unregistered-models scan, made straight with
// SQLite so that making them takes a moment, not minutes. Reusable by any
// program that wants the same scan, e.g. in the visible windows.
namespace bench {

struct ScanTables {
    int catalogueRows = 0;
    int orders = 0;
    int missingOrders = 0;  // orders whose model and colour the catalogue lacks
};

// Creates "shoes.db", "dd.db" and "xdtj.db" in dir (which must not hold them
// yet): a catalogue of catalogueRows models and colours (two colours per
// model), and `orders` orders over somewhat more models and one colour more,
// so that roughly every tenth order names a pair the catalogue lacks, the
// same pairs recurring many times.
ScanTables makeScanTables(const QString& dir, int orders = 100000, int catalogueRows = 2000);

// The model and colour pairs of the orders that the catalogue lacks, as
// "model:colour" entries in no particular order, answered by one SQL
// anti-join (SELECT DISTINCT ... WHERE NOT EXISTS ...) over the two table
// files. Blank models and colours are not handled (the tables above have
// none).
QStringList unregisteredBySql(const QString& dir);

}  // namespace bench
