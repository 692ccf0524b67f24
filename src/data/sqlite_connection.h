#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <map>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace data {

class Connection;

// A prepared SQLite statement owned by its connection's cache. Use it through
// StatementRun, which binds, steps and resets it.
class Statement {
public:
    Statement(sqlite3* db, sqlite3_stmt* stmt, Connection* owner = nullptr, QByteArray sql = QByteArray())
        : db_(db), stmt_(stmt), owner_(owner), sql_(std::move(sql)) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void reset();
    void bind(int index, const QVariant& value);  // index from 1
    void bindInt(int index, qint64 value);
    bool step();  // true while a row is available; throws on failure
    int columnCount() const;
    QVariant column(int index) const;  // index from 0; NULL gives an invalid QVariant
    qint64 columnInt(int index) const;

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
    Connection* owner_;
    QByteArray sql_;
    std::vector<QVariant> bound_;  // by index from 0, for the write group's log
};

// One open SQLite database file holding one table of the system.
class Connection {
public:
    // Opens an existing file read-write in WAL mode. A missing, unreadable or
    // foreign file is an EngineError naming the file.
    static std::shared_ptr<Connection> open(const QString& path);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& path() const { return path_; }
    sqlite3* handle() const { return db_; }

    // A statement from the connection's cache, reset and ready to bind.
    Statement& prepare(const QString& sql);
    void exec(const QString& sql);
    qint64 lastInsertRowId() const;

    // Counts the writes made through this connection, so that readers can
    // tell when rows they hold may be stale.
    quint64 generation() const { return generation_; }
    void bumpGeneration() { ++generation_; }

    // While a long loop writes record after record, its writes are committed
    // together a few times a second instead of one by one; everything is
    // committed when the last group ends, however it ends.
    void beginWriteGroup();
    void endWriteGroup();
    void wrote();  // after every write: commits when the group has run long enough

    // Called by Statement: a write made inside the group's open transaction,
    // and a failure after which SQLite may have rolled that transaction back
    // on its own (a full disk, an I/O error): the writes made since the last
    // commit are then made again, so that a loop keeps what it stored before
    // the failure.
    void loggedWrite(const QByteArray& sql, std::vector<QVariant>& values);
    void failedInGroup();

private:
    Connection(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}

    void beginGroupTransaction();
    void commitGroupTransaction();

    sqlite3* db_;
    QString path_;
    QHash<QString, std::shared_ptr<Statement>> cache_;  // by SQL text
    quint64 generation_ = 0;
    int writeGroups_ = 0;
    qint64 groupStartedMs_ = 0;
    bool groupTransaction_ = false;
    struct LoggedWrite {
        QByteArray sql;
        std::vector<QVariant> values;
    };
    std::vector<LoggedWrite> groupLog_;  // the writes since the group's last commit
};

// Throws the EngineError describing the last failure on db; a uniqueness
// failure becomes a key violation.
[[noreturn]] void throwSqliteError(sqlite3* db, int rc, const QString& context = QString());

}  // namespace data
