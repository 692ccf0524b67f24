#include "data/sqlite/table_keys.h"

#include "data/core/errors.h"
#include "data/sqlite/sqlite_connection.h"

namespace data {

namespace {

bool keyIsUpToDate(Connection& connection, const TableDef& table) {
    Statement& st = connection.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' AND name = ?"));
    st.bind(1, table.keyIndexName());
    const bool found = st.step();
    const QString sql = found ? st.column(0).toString() : QString();
    st.reset();
    return found && sql.contains(QLatin1String("ifnull("), Qt::CaseInsensitive);
}

qint64 recordNo(Connection& connection, const TableDef& table, qint64 rowId) {
    Statement& st = connection.prepare(
        QStringLiteral("SELECT count(*) FROM %1 WHERE rowid <= ?").arg(quotedIdentifier(table.sqlName)));
    st.bindInt(1, rowId);
    st.step();
    const qint64 n = st.columnInt(0);
    st.reset();
    return n;
}

std::vector<KeyClash> clashes(Connection& connection, const TableDef& table, const QString& fileName) {
    const int keyCount = int(table.uniqueKey.size());
    // Every record in key order, then in stored order: records that share a
    // key come one after the other.
    Statement& st = connection.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY %1, rowid")
                                           .arg(table.keyExpressions(), quotedIdentifier(table.sqlName)));
    std::vector<std::pair<QStringList, std::vector<qint64>>> groups;
    while (st.step()) {
        QStringList key;
        for (int i = 0; i < keyCount; ++i)
            key << st.column(1 + i).toString();
        if (groups.empty() || groups.back().first != key)
            groups.push_back({key, {}});
        groups.back().second.push_back(st.columnInt(0));
    }
    std::vector<KeyClash> found;
    for (const auto& [key, rowIds] : groups) {
        if (rowIds.size() < 2)
            continue;
        KeyClash clash{fileName, table.uniqueKey, key, {}};
        for (const qint64 rowId : rowIds)
            clash.recordNos.push_back(recordNo(connection, table, rowId));
        found.push_back(std::move(clash));
    }
    return found;
}

void rollBack(Connection& connection) {
    try {
        connection.exec(QStringLiteral("ROLLBACK"));
    } catch (const EngineError&) {
        // SQLite has rolled back already.
    }
}

}  // namespace

std::vector<KeyClash> bringKeyUpToDate(Connection& connection, const TableDef& table, const QString& fileName) {
    if (table.uniqueKey.isEmpty() || keyIsUpToDate(connection, table))
        return {};
    connection.exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        std::vector<KeyClash> found = clashes(connection, table, fileName);
        if (!found.empty()) {
            rollBack(connection);
            return found;
        }
        connection.exec(QStringLiteral("DROP INDEX IF EXISTS %1").arg(quotedIdentifier(table.keyIndexName())));
        connection.exec(
            QStringLiteral("DROP INDEX IF EXISTS %1").arg(quotedIdentifier(table.sqlName + QStringLiteral("_lookup"))));
        for (const QString& statement : table.keyStatements())
            connection.exec(statement);
        connection.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        rollBack(connection);
        throw;
    }
    return {};
}

}  // namespace data
