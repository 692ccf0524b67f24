#include "data/sqlite/table_files.h"

#include "data/core/errors.h"
#include "data/sqlite/sqlite_connection.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

namespace data {

QString tableFilePath(const QString& dir, const QString& name) {
    const QDir folder(dir);
    if (QFileInfo::exists(folder.filePath(name)))
        return folder.filePath(name);
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    return {};
}

namespace {

void execOrThrow(sqlite3* db, const QString& sql, const QString& path) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
        throw EngineError(QStringLiteral("Cannot create table \"%1\": %2").arg(path, message));
    }
}

void refuseExisting(const QString& path) {
    if (QFileInfo::exists(path))
        throw EngineError(QStringLiteral("Table \"%1\" already exists; it is left as it is.").arg(path));
}

}  // namespace

void createTableFile(const QString& dir, const TableDef& table) {
    const QString path = QDir(dir).filePath(table.fileName);
    refuseExisting(path);
    prepareSqlite();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        throw EngineError(QStringLiteral("Cannot create table \"%1\": %2").arg(path, message));
    }
    try {
        execOrThrow(db, QStringLiteral("PRAGMA journal_mode=WAL"), path);
        execOrThrow(db, QStringLiteral("BEGIN"), path);
        for (const QString& statement : table.createStatements())
            execOrThrow(db, statement, path);
        execOrThrow(db, QStringLiteral("COMMIT"), path);
    } catch (...) {
        sqlite3_close(db);
        QFile::remove(path);
        throw;
    }
    sqlite3_close(db);
}

void createTableFiles(const QString& dir) {
    for (const TableDef* table : allTables())
        refuseExisting(QDir(dir).filePath(table->fileName));
    for (const TableDef* table : allTables())
        createTableFile(dir, *table);
}

}  // namespace data
