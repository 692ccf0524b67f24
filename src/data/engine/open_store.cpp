// The one place that knows both stores: which one a place of tables is, and
// how each makes its tables.

#include "data/engine/open_store.h"

#include "data/core/errors.h"
#include "data/server/pg_schema.h"
#include "data/server/pg_session.h"
#include "data/server/server_store.h"
#include "data/sqlite/sqlite_store.h"
#include "data/sqlite/table_files.h"

#include <QDir>

namespace data {

namespace {

std::unique_ptr<pg::Session> connectTo(const QString& uri) {
    return pg::Session::connect(uri, QStringLiteral("tavrel-tables"));
}

void createOnServer(const QString& uri, const std::vector<const TableDef*>& tables) {
    const std::unique_ptr<pg::Session> session = connectTo(uri);
    for (const TableDef* table : tables)
        if (pg::tableExists(*session, table->sqlName))
            throw EngineError(QStringLiteral("Table \"%1\" already exists on %2; it is left as it is.")
                                  .arg(table->fileName, session->server()));
    session->exec(QStringLiteral("BEGIN"));
    try {
        for (const TableDef* table : tables)
            for (const QString& statement : pg::createTableStatements(*table))
                session->exec(statement);
        session->exec(QStringLiteral("COMMIT"));
    } catch (const EngineError&) {
        try {
            session->exec(QStringLiteral("ROLLBACK"));
        } catch (const EngineError&) {
            // A session that is gone took its transaction with it.
        }
        throw;
    }
}

void createInFolder(const QString& folder, const std::vector<const TableDef*>& tables) {
    if (!QDir().mkpath(folder))
        throw EngineError(QStringLiteral("Cannot create the folder \"%1\".").arg(folder));
    for (const TableDef* table : tables)
        if (!tableFilePath(folder, table->fileName).isEmpty())
            throw EngineError(QStringLiteral("Table \"%1\" already exists in %2; it is left as it is.")
                                  .arg(table->fileName, QDir::toNativeSeparators(QDir(folder).absolutePath())));
    for (const TableDef* table : tables)
        createTableFile(folder, *table);
}

}  // namespace

bool isServerLocation(const QString& location) {
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

std::unique_ptr<Store> openStore(const QString& location) {
    if (isServerLocation(location))
        return std::make_unique<ServerStore>(location);
    return std::make_unique<SqliteStore>(location);
}

QStringList missingTables(const QString& location) {
    QStringList missing;
    if (isServerLocation(location)) {
        const std::unique_ptr<pg::Session> session = connectTo(location);
        for (const TableDef* table : allTables())
            if (!pg::tableExists(*session, table->sqlName))
                missing << table->fileName;
        return missing;
    }
    for (const TableDef* table : allTables())
        if (tableFilePath(location, table->fileName).isEmpty())
            missing << table->fileName;
    return missing;
}

void createTables(const QString& location, const std::vector<const TableDef*>& tables) {
    if (isServerLocation(location))
        createOnServer(location, tables);
    else
        createInFolder(location, tables);
}

}  // namespace data
