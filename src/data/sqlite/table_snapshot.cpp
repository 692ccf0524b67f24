#include "data/sqlite/table_snapshot.h"

#include "data/core/errors.h"
#include "data/sqlite/sqlite_connection.h"
#include "data/core/schema.h"

#include <QFile>
#include <QScopeGuard>
#include <cerrno>
#include <sqlite3.h>

namespace data {

namespace {

sqlite3* openFile(const QString& path, int flags) {
    prepareSqlite();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        const int code = db ? sqlite3_extended_errcode(db) : rc;
        sqlite3_close(db);
        throw EngineError(QStringLiteral("\"%1\" cannot be opened: %2").arg(path, message), code);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 2000);
    return db;
}

[[noreturn]] void fail(sqlite3* db, int rc, const QString& what) {
    int code = db ? sqlite3_extended_errcode(db) : rc;
    // SQLite tells a disk without room as an I/O error where it grows a
    // file at once; the system's own number says what it was.
    const int systemError = db ? sqlite3_system_errno(db) : 0;
    if (systemError == ENOSPC || systemError == EFBIG)
        code = SQLITE_FULL;
    const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    throw EngineError(QStringLiteral("%1: %2").arg(what, message), code ? code : rc);
}

void exec(sqlite3* db, const char* sql, const QString& what) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(db, rc, what);
}

void removeWithCompanions(const QString& path) {
    for (const char* companion : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(companion));
}

// Copies the schema of source, in its open read transaction, into the new
// file `to`; removes what it wrote when it fails.
void copyInto(sqlite3* source, const QString& schema, const QString& from, const QString& to) {
    sqlite3* target = nullptr;
    try {
        target = openFile(to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        const QString what = QStringLiteral("Copying \"%1\" to \"%2\"").arg(from, to);
        const QByteArray sourceSchema = schema.toUtf8();
        sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, sourceSchema.constData());
        if (!backup)
            fail(target, SQLITE_ERROR, what);
        // All pages in one step, inside the source's read transaction.
        const int stepped = sqlite3_backup_step(backup, -1);
        const int finished = sqlite3_backup_finish(backup);
        if (stepped != SQLITE_DONE)
            fail(target, stepped, what);
        if (finished != SQLITE_OK)
            fail(target, finished, what);
        // The copy carries the table's log mode; it is read where no log may
        // be made.
        exec(target, "PRAGMA journal_mode=DELETE", what);
        const int closed = sqlite3_close(target);
        target = nullptr;
        if (closed != SQLITE_OK)
            fail(nullptr, closed, what);
    } catch (...) {
        sqlite3_close(target);
        removeWithCompanions(to);
        throw;
    }
}

}  // namespace

void snapshotTableFile(const QString& from, const QString& to) { snapshotTableFiles({from}, {to}); }

void snapshotTableFiles(const QStringList& from, const QStringList& to) {
    if (from.isEmpty())
        return;
    sqlite3* source = openFile(from.first(), SQLITE_OPEN_READONLY);
    const auto closeSource = qScopeGuard([source] { sqlite3_close(source); });
    QStringList schemas{QStringLiteral("main")};
    for (int i = 1; i < from.size(); ++i) {
        const QString schema = QStringLiteral("s%1").arg(i);
        sqlite3_stmt* attach = nullptr;
        const QByteArray sql = QStringLiteral("ATTACH ? AS %1").arg(schema).toUtf8();
        int rc = sqlite3_prepare_v2(source, sql.constData(), -1, &attach, nullptr);
        const QByteArray path = from[i].toUtf8();
        if (rc == SQLITE_OK)
            rc = sqlite3_bind_text(attach, 1, path.constData(), int(path.size()), SQLITE_TRANSIENT);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(attach) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(source);
        sqlite3_finalize(attach);
        if (rc != SQLITE_OK)
            fail(source, rc, QStringLiteral("Reading \"%1\"").arg(from[i]));
        schemas << schema;
    }
    // One read transaction over every file, begun on all of them at once.
    exec(source, "BEGIN", QStringLiteral("Reading the tables"));
    for (const QString& schema : schemas)
        exec(source, QStringLiteral("SELECT count(*) FROM %1.sqlite_master").arg(schema).toUtf8().constData(),
             QStringLiteral("Reading \"%1\"").arg(from[schemas.indexOf(schema)]));
    int copied = 0;
    try {
        for (; copied < from.size(); ++copied)
            copyInto(source, schemas[copied], from[copied], to[copied]);
    } catch (...) {
        sqlite3_exec(source, "COMMIT", nullptr, nullptr, nullptr);
        for (int i = 0; i < copied; ++i)
            removeWithCompanions(to[i]);
        throw;
    }
    sqlite3_exec(source, "COMMIT", nullptr, nullptr, nullptr);
}

void leaveWriteAheadLog(const QString& path) {
    sqlite3* db = openFile(path, SQLITE_OPEN_READWRITE);
    const auto close = qScopeGuard([db] { sqlite3_close(db); });
    exec(db, "PRAGMA journal_mode=DELETE", QStringLiteral("Leaving the log of \"%1\"").arg(path));
}

TableFileCheck checkTableFile(const QString& path) {
    TableFileCheck check;
    sqlite3* db = nullptr;
    try {
        db = openFile(path, SQLITE_OPEN_READONLY);
    } catch (const EngineError& e) {
        check.problem = e.message();
        return check;
    }
    const auto close = qScopeGuard([db] { sqlite3_close(db); });
    QStringList said;
    QStringList tables;
    auto rows = [&](const QString& sql, QStringList& into) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
            into << QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(st);
            return false;
        }
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            into << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        const bool done = rc == SQLITE_DONE;
        if (!done)
            into << QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
        return done;
    };
    if (!rows(QStringLiteral("PRAGMA integrity_check"), said) || said != QStringList{QStringLiteral("ok")}) {
        check.problem = said.join(QLatin1Char('\n'));
        return check;
    }
    if (!rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'"),
              tables)) {
        check.problem = tables.join(QLatin1Char('\n'));
        return check;
    }
    check.whole = true;
    if (tables.size() != 1)
        return check;
    QStringList count;
    if (!rows(QStringLiteral("SELECT count(*) FROM %1").arg(quotedIdentifier(tables.first())), count) ||
        count.size() != 1) {
        check.whole = false;
        check.problem = count.join(QLatin1Char('\n'));
        return check;
    }
    check.rows = count.first().toLongLong();
    return check;
}

}  // namespace data

namespace data {

struct WriteWatch::Watched {
    sqlite3* db = nullptr;
    qint64 version = -1;
};

namespace {

qint64 dataVersion(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    qint64 version = -1;
    if (db && sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return version;
}

}  // namespace

WriteWatch::WriteWatch(const QStringList& files) {
    prepareSqlite();
    for (const QString& file : files) {
        Watched w;
        if (sqlite3_open_v2(file.toUtf8().constData(), &w.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(w.db);
            w.db = nullptr;
        }
        w.version = dataVersion(w.db);
        watched_.push_back(w);
    }
}

WriteWatch::~WriteWatch() {
    for (Watched& w : watched_)
        sqlite3_close(w.db);
}

bool WriteWatch::written() const {
    for (const Watched& w : watched_) {
        const qint64 now = dataVersion(w.db);
        if (now < 0 || now != w.version)
            return true;
    }
    return false;
}

}  // namespace data
