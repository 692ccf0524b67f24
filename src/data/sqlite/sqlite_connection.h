#pragma once

#include "data/core/connection.h"
#include "data/core/table_copy.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <array>
#include <map>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace data {

class SqliteConnection;

// Settles, before SQLite is first used, what holds for the whole program:
// SQLite does not count the memory it takes (that count takes a lock on
// every allocation, and nothing here reads it). Every place that opens a
// file calls it first; later calls do nothing.
void prepareSqlite();

// A prepared SQLite statement, owned by its connection's cache.
class SqliteStatement : public Statement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, SqliteConnection* owner = nullptr, QByteArray sql = QByteArray());
    ~SqliteStatement() override;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void reset() override;
    void bind(int index, const QVariant& value) override;
    void bindInt(int index, qint64 value) override;
    bool step() override;
    int columnCount() const override;
    QVariant column(int index) const override;
    QVariant column(int index, TextCache& texts) const override;
    qint64 columnInt(int index) const override;
    void record(const OpenTable& table, Row& into) override;
    int changes() const;  // rows the last write changed

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
    SqliteConnection* owner_;
    QByteArray sql_;
    std::vector<QVariant> bound_;  // by index from 0, for the write group's log
    QByteArray utf8_;              // a text's bytes while they are bound
    bool writes_ = false;          // only a statement that writes keeps its values for the log
};

// One open SQLite database file holding one table of the system. Records
// carry no version: one desk works on the files at a time.
class SqliteConnection : public Connection {
public:
    // Opens an existing file read-write in WAL mode. A missing, unreadable or
    // foreign file is an EngineError naming the file.
    static std::shared_ptr<SqliteConnection> open(const QString& path);
    ~SqliteConnection() override;

    const QString& path() const { return path_; }
    sqlite3* handle() const { return db_; }

    const SqlDialect& dialect() const override;
    void checkWithinLimits(const QString& sql) override;
    QString place() const override { return path_; }
    Statement& prepare(const QString& sql) override;
    void exec(const QString& sql) override;
    qint64 lastInsertRowId() const;

    qint64 insertRow(const OpenTable& table, const std::vector<int>& fields, Row& row) override;
    bool updateRow(const OpenTable& table, qint64 id, const std::vector<int>& fields, Row& row,
                   const Row& asRead) override;
    bool readsRecordAsRead() const override { return false; }
    bool removeRow(const OpenTable& table, qint64 id, const Row& asRead) override;
    // Inside a write group, lookups of text fields are answered from a copy
    // of the table: one desk works on the files, and every write it makes
    // to the table goes through this connection, which keeps the copy up
    // to date (a write of any other kind drops it).
    std::optional<Found> answerFromMemory(const OpenTable& table, const Lookup& lookup) override;
    int likePatternLimit() const override;

    void regainHold() override { takeBackIfLost(); }
    void beginWriteGroup() override;
    void endWriteGroup() override;
    void wrote() override;

    // Called by Statement: a write made inside the group's open transaction,
    // and a failure after which SQLite may have rolled that transaction back
    // on its own (a full disk, an I/O error): the writes made since the last
    // commit are then made again, so that a loop keeps what it stored before
    // the failure.
    void loggedWrite(const QByteArray& sql, std::vector<QVariant>& values);
    void failedInGroup();

    // Whether the log our writes go to is still the table's log on disk.
    // SQLite's locks belong to the process: when anything in it closes
    // another descriptor of the table file, they are gone, and another
    // program that then opens and closes the table removes the log from
    // under us; what we commit after that reaches no one.
    enum class LogState { Ours, Empty, NotOurs };
    LogState logState() const;

private:
    SqliteConnection(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}
    static sqlite3* openHandle(const QString& path);

    // Before a write: a log taken away is given up and the table opened
    // again, so that the write reaches the table. Nothing is lost then:
    // every commit before was checked.
    void takeBackIfLost();
    // After a commit: throws LogTakenAway, with the table opened again, when
    // what was just committed went to a log that is no longer the table's.
    void checkCommitReachedTheTable();
    void reopen();

    void beginGroupTransaction();
    void commitGroupTransaction();
    // BEGIN and COMMIT of the group's transactions, which write nothing.
    void runTransactionStatement(const char* sql);

    TableCopy* copyOf(const OpenTable& table);
    void copyWrote(const OpenTable& table, qint64 id, const Row* row);  // null row: deleted
    void forgetCopies();

    sqlite3* db_;
    QString path_;
    QHash<QString, std::shared_ptr<SqliteStatement>> cache_;  // by SQL text
    // The statements last asked for, known by where their text's characters
    // are: the texts a table keeps for its reads and writes come again and
    // again as copies of one string.
    struct Recent {
        QString sql;
        SqliteStatement* statement = nullptr;
    };
    std::array<Recent, 4> recent_;
    std::size_t nextRecent_ = 0;
    void forgetStatements();
    int writeGroups_ = 0;
    qint64 groupStartedMs_ = 0;
    bool groupTransaction_ = false;
    struct LoggedWrite {
        QByteArray sql;
        std::vector<QVariant> values;
    };
    std::vector<LoggedWrite> groupLog_;  // the writes since the group's last commit
    int writesSinceCheck_ = 0;            // writes committed or pending since the log was last checked
    std::map<QString, std::unique_ptr<TableCopy>> copies_;  // by SQL name, inside a write group
    // The copy last found and the table it was found for.
    const OpenTable* lastCopied_ = nullptr;
    QString lastCopiedName_;
    TableCopy* lastCopy_ = nullptr;
    TableCopy* usableCopy(const OpenTable& table);  // null when there is none
    bool writingRecord_ = false;  // a write of insertRow, updateRow or removeRow, which keep the copies
};

// Throws the EngineError describing the last failure on db; a uniqueness
// failure becomes a key violation.
[[noreturn]] void throwSqliteError(sqlite3* db, int rc, const QString& context = QString());

}  // namespace data
