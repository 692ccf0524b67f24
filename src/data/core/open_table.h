#pragma once

#include "data/core/connection.h"
#include "data/core/schema.h"

#include <QHash>
#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace data {

struct FieldInfo {
    QString name;
    FieldKind kind;
};

// An open table: its file (or its name on the server), the SQL table that
// holds it and its fields.
struct OpenTable {
    std::shared_ptr<Connection> connection;
    QString fileName;  // as found on disk; on a server the name of its file, "dd.db"
    QString sqlName;
    std::vector<FieldInfo> fields;
    // The column that holds a record's version, or "0" where records carry
    // none; read after the fields.
    QString versionColumn = QStringLiteral("0");
    // Writes made through this engine's queries, so that readers of the
    // table can tell when rows they hold may be stale.
    quint64 writes = 0;

    // The names as they stand in SQL, quoted once for every statement built
    // on the table.
    QString quotedName;
    std::vector<QString> quotedFields;
    QHash<QString, int> indexByName;  // field names as declared

    // Takes the fields as declared and names them for SQL once.
    void setFields(std::vector<FieldInfo> declared);
    // Tells this table's fields as they are now from any other fields: a
    // new number, never used before, every time the fields are set.
    quint64 layout = 0;

    int fieldIndex(const QString& name) const;  // -1 when unknown

    // "SELECT rowid, <every field>, <version> FROM <table> WHERE rowid IN
    // (?, ...)" with `count` parameters, made on first use.
    const QString& readRowsSql(int count) const;
    // "SELECT rowid, <every field>, <version> FROM <table> WHERE rowid
    // BETWEEN ? AND ? ORDER BY rowid".
    const QString& readRangeSql() const;

    // The columns read for a record: rowid, every field, the version.
    QString rowColumns() const;

    // "UPDATE <table> SET <field>=?, ... WHERE rowid=?" and "INSERT INTO
    // <table> (<field>, ...) VALUES (?, ...)" for the given fields in
    // ascending order, made once for each set of fields.
    QString updateSql(const std::vector<int>& fieldIndexes) const;
    QString insertSql(const std::vector<int>& fieldIndexes) const;

    // The texts last read from a text field (readRecord).
    TextCache& textsOf(int field) const;

private:
    QString writeSql(bool update, const std::vector<int>& fieldIndexes) const;

    mutable std::vector<std::unique_ptr<TextCache>> texts_;  // by field, made on first use

    mutable std::map<int, QString> readRowsSql_;
    mutable QString readRangeSql_;
    mutable QHash<quint64, QString> updateSql_, insertSql_;  // by the set of fields, one bit each
};

// The fields of a statement's current row, after the rowid, in the kinds of
// the table's fields, and the record's version after them.
Row readRecord(const OpenTable& table, Statement& st);

// One value of a statement's current row as the store holds it, for reading
// a record in one go (Statement::record).
struct HeldValue {
    enum class As { Null, Integer, Boolean, Text, Other };
    As as = As::Other;
    qint64 integer = 0;  // Integer, and Boolean as 0 or 1
    const char* text = nullptr;  // Text: UTF-8 bytes
    qsizetype size = 0;
};

// The statement's current row as a record of the table, the values taken
// from the store as heldAt(column) gives them: those held in the kind their
// field takes straight, anything else (a number in a text field, say) the way
// st.column() gives it, so that both ways read alike.
template <class HeldAt>
void readHeldRecord(const Statement& st, const OpenTable& table, Row& into, HeldAt heldAt) {
    using As = HeldValue::As;
    const int fieldCount = int(table.fields.size());
    into.resize(std::size_t(fieldCount) + 1);
    for (int i = 0; i < fieldCount; ++i) {
        QVariant& to = into[std::size_t(i)];
        const int column = i + 1;
        const HeldValue held = heldAt(column);
        switch (table.fields[std::size_t(i)].kind) {
        case FieldKind::Boolean:
            if (held.as == As::Null || held.as == As::Integer || held.as == As::Boolean)
                to = QVariant(held.integer != 0);
            else
                to = QVariant(st.column(column).toLongLong() != 0);
            break;
        case FieldKind::Text:
            if (held.as == As::Text)
                to = table.textsOf(i).text(held.text, held.size);
            else if (held.as == As::Null)
                to = QVariant();
            else
                to = st.column(column).toString();
            break;
        default:
            if (held.as == As::Integer)
                to = QVariant(held.integer);
            else if (held.as == As::Null)
                to = QVariant();
            else
                to = st.column(column);
        }
    }
    into.back() = QVariant(st.columnInt(fieldCount + 1));
}

}  // namespace data
