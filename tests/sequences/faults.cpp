#include "faults.h"

#include "data/engine/engine.h"
#include "data/sqlite/sqlite_connection.h"
#include "model_rows.h"
#include "readers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cstdlib>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdexcept>

namespace seq {

namespace {

void sqliteExec(sqlite3* db, const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : "unknown";
        sqlite3_free(error);
        throw std::runtime_error("sqlite: " + text + " in " + sql.toStdString());
    }
}

sqlite3* openOrderFile(const QString& folder) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QDir(folder).filePath(QStringLiteral("dd.db")).toUtf8().constData(), &db, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open dd.db beside the engine");
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

PGconn* connectServer(const QString& uri, const char* name) {
    const QByteArray u = uri.toUtf8();
    const char* k[] = {"dbname", "application_name", nullptr};
    const char* v[] = {u.constData(), name, nullptr};
    PGconn* conn = PQconnectdbParams(k, v, 1);
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string text = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("cannot reach the server: " + text);
    }
    return conn;
}

void serverExec(PGconn* conn, const QString& sql) {
    PGresult* r = PQexec(conn, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(r);
    const std::string text = PQresultErrorMessage(r);
    PQclear(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error("server: " + text + " in " + sql.toStdString());
}

}  // namespace

void installRefusingTrigger(const QString& location, bool server) {
    const QString marker = refusedMarker();
    if (server) {
        PGconn* conn = connectServer(location, "tavrel_sequence_setup");
        try {
            serverExec(conn, QStringLiteral(
                                 "CREATE FUNCTION tavrel_sequence_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                 "IF NEW.\"备注\" = '%1' AND (coalesce(NEW.\"已统计\", false) OR coalesce(NEW.\"双数\", 0) > 60) THEN "
                                 "RAISE EXCEPTION '拒收的订单不能保存'; END IF; RETURN NEW; END $$; "
                                 "CREATE TRIGGER tavrel_sequence_refuse BEFORE INSERT OR UPDATE ON dd FOR EACH ROW "
                                 "EXECUTE FUNCTION tavrel_sequence_refuse();")
                                 .arg(marker));
        } catch (...) {
            PQfinish(conn);
            throw;
        }
        PQfinish(conn);
        return;
    }
    sqlite3* db = openOrderFile(location);
    const QString when = QStringLiteral("WHEN NEW.\"备注\" = '%1' AND (coalesce(NEW.\"已统计\", 0) <> 0 OR coalesce(NEW.\"双数\", 0) > 60) "
                                        "BEGIN SELECT RAISE(ABORT, '拒收的订单不能保存'); END")
                             .arg(marker);
    try {
        sqliteExec(db, QStringLiteral("CREATE TRIGGER tavrel_sequence_refuse_insert BEFORE INSERT ON dd ") + when);
        sqliteExec(db, QStringLiteral("CREATE TRIGGER tavrel_sequence_refuse_update BEFORE UPDATE ON dd ") + when);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

namespace {

class TableLock : public HeldFault {
public:
    explicit TableLock(const QString& folder) : db_(openOrderFile(folder)) { sqliteExec(db_, QStringLiteral("BEGIN IMMEDIATE")); }
    ~TableLock() override {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }

private:
    sqlite3* db_;
};

class FullDisk : public HeldFault {
public:
    explicit FullDisk(data::Engine& engine) {
        auto* file = dynamic_cast<data::SqliteConnection*>(engine.table(QStringLiteral("dd.db"))->connection.get());
        if (!file)
            throw std::runtime_error("dd.db is not a table file");
        db_ = file->handle();
        sqliteExec(db_, QStringLiteral("PRAGMA max_page_count = 1"));  // clamped to the pages it has
    }
    ~FullDisk() override { sqlite3_exec(db_, "PRAGMA max_page_count = 4294967294", nullptr, nullptr, nullptr); }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace

void leaveTransactionOpen(data::Engine& engine) {
    auto* file = dynamic_cast<data::SqliteConnection*>(engine.table(QStringLiteral("dd.db"))->connection.get());
    if (!file)
        throw std::runtime_error("dd.db is not a table file");
    sqliteExec(file->handle(), QStringLiteral("BEGIN"));
}

void useTableFromElsewhere(const QString& folder) {
    const QString path = QDir(folder).filePath(QStringLiteral("dd.db"));
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read dd.db as a plain file");
        file.read(100);
    }
    QProcess other;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAVREL_SEQUENCE_OTHER_PROGRAM"), path);
    other.setProcessEnvironment(environment);
    other.start(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")), {});
    if (!other.waitForFinished(-1) || other.exitCode() != 0)
        throw std::runtime_error("the other program failed: " + other.readAllStandardError().toStdString());
}

void actAsOtherProgram() {
    const QByteArray path = qgetenv("TAVREL_SEQUENCE_OTHER_PROGRAM");
    if (path.isEmpty())
        return;
    sqlite3* db = nullptr;
    int status = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK ? 0 : 1;
    if (status == 0 && sqlite3_exec(db, "SELECT count(*) FROM dd", nullptr, nullptr, nullptr) != SQLITE_OK)
        status = 1;
    sqlite3_close(db);
    std::_Exit(status);
}

std::unique_ptr<HeldFault> lockOrderTable(const QString& folder) { return std::make_unique<TableLock>(folder); }
std::unique_ptr<HeldFault> fillOrderTableDisk(data::Engine& engine) { return std::make_unique<FullDisk>(engine); }

struct SessionKiller::Conn {
    PGconn* conn = nullptr;
};

SessionKiller::SessionKiller(const QString& uri) : conn_(std::make_unique<Conn>()) {
    conn_->conn = connectServer(uri, "tavrel_sequence_faults");
}

SessionKiller::~SessionKiller() { PQfinish(conn_->conn); }

void SessionKiller::endEngineSessions() {
    const QString others = QStringLiteral("FROM pg_stat_activity WHERE datname = current_database() AND pid <> pg_backend_pid() "
                                          "AND application_name <> '%1' AND backend_type = 'client backend'")
                               .arg(QString::fromLatin1(readerSessionName()));
    // With a timeout, pg_terminate_backend returns once the session is gone,
    // so that the engine's next statement meets the loss rather than
    // slipping in before it; the minute is only a safety net.
    serverExec(conn_->conn, QStringLiteral("SELECT pg_terminate_backend(pid, 60000) ") + others);
    PGresult* r = PQexec(conn_->conn, (QStringLiteral("SELECT count(*) ") + others).toUtf8().constData());
    const bool gone = PQresultStatus(r) == PGRES_TUPLES_OK && QByteArray(PQgetvalue(r, 0, 0)) == "0";
    PQclear(r);
    if (gone)
        return;
    throw std::runtime_error("the engine's sessions did not end");
}

}  // namespace seq
