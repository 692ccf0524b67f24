#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace data {

enum class FieldKind { Text, Integer, Boolean };

struct FieldDef {
    QString name;
    FieldKind kind;
};

// One table of the system: the file that holds it, the name of the SQLite
// table inside that file, its fields in order, its unique key and its indexes.
struct TableDef {
    QString fileName;      // "dd.db"
    QString sqlName;       // table name inside the file
    std::vector<FieldDef> fields;
    QStringList uniqueKey;  // empty: no key
    std::vector<QStringList> indexes;

    // CREATE TABLE / CREATE INDEX statements that make an empty table.
    QStringList createStatements() const;
    // The statements that make the key: a unique index over the key fields,
    // no value counting as empty text, and a plain index for lookups.
    QStringList keyStatements() const;
    QString keyIndexName() const;
    // "ifnull(<field>, ''), ..." over the key fields.
    QString keyExpressions() const;
};

// The sixteen size fields "33" to "48", in ascending order.
const QStringList& sizeFieldNames();

const TableDef& shoesTable();
const TableDef& ordersTable();
const TableDef& statisticsTable();
const std::vector<const TableDef*>& allTables();
// The table a statement names by its file ("XdTJ.db", any case), or null.
const TableDef* tableDefOfFile(const QString& fileName);

// Double-quotes an SQLite identifier.
QString quotedIdentifier(const QString& name);

}  // namespace data
