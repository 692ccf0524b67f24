#pragma once

#include "data/core/connection.h"
#include "data/core/errors.h"
#include "data/server/pg_session.h"

#include <QHash>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace data {

class PgStatement;
class TableCopy;

// The tables of a PostgreSQL server, reached through one session that the
// three tables share. Records carry a version (tavrel_version), the name of
// the desk that stored them last (tavrel_desk) and the token of that desk's
// run of the program (tavrel_desk_token); a write stores only over the
// version that was read.
//
// Inside a write group (a bulk loop) the writes that cannot fail on a key are
// kept and sent together, many records in one statement, before anything is
// read from the server and at every commit; and lookups of a small table are
// answered from a copy of it taken at the first lookup, kept up to date with
// this desk's own writes and dropped when another desk writes the table.
class PgConnection : public Connection {
public:
    PgConnection(std::unique_ptr<pg::Session> session, QString desk, QString deskToken);
    ~PgConnection() override;

    pg::Session& session() { return *session_; }
    const QString& desk() const { return desk_; }
    const QString& deskToken() const { return deskToken_; }

    const SqlDialect& dialect() const override;
    bool sharedWithOtherDesks() const override { return true; }
    QString place() const override { return session_->server(); }
    Statement& prepare(const QString& sql) override;
    Statement& prepareRowRead(const OpenTable& table, int count) override;
    void exec(const QString& sql) override;

    qint64 insertRow(const OpenTable& table, const std::vector<int>& fields, Row& row) override;
    bool updateRow(const OpenTable& table, qint64 id, const std::vector<int>& fields, Row& row,
                   const Row& asRead) override;
    bool removeRow(const OpenTable& table, qint64 id, const Row& asRead) override;
    Row readCurrent(const OpenTable& table, qint64 id, QString* desk) override;
    std::optional<Found> answerFromMemory(const OpenTable& table, const Lookup& lookup) override;
    // Every read waits for the server, so a walk reads more at once.
    int rowsPerRead() const override { return 2048; }
    // Inside a loop: the range is read now, without waiting for the answer.
    void readAhead(const OpenTable& table, qint64 firstId, qint64 lastId) override;

    void beginWriteGroup() override;
    void endWriteGroup() override;
    void wrote() override;
    void holdKeyedInserts() override;
    void sendHeld() override;
    void sendHeldAhead() override;

    // Sends the writes kept back; conflicts found are settled through the
    // resolver.
    void flush();
    // Before a read of the table's records by their ids (a list, or the
    // range from the first id to the second): sends the kept writes when
    // one of them is of a record read.
    void flushBeforeReading(const OpenTable& table, bool range, const std::vector<QVariant>& ids);
    // The records of the range as read ahead (readAhead), when they are as
    // a read now would find them; nothing otherwise, and the read goes.
    std::optional<pg::Rows> rowsReadAhead(const OpenTable& table, qint64 firstId, qint64 lastId);
    // Another desk wrote the table (by its SQL name; empty: every table): the
    // copies of it go, and a range of it read ahead is not used.
    void forgetCopies(const QString& sqlName);
    // The session was connected again: nothing of the old one is valid.
    void restart();

    // Called with every error that says the server is gone.
    void onLost(std::function<void()> listener) { lost_ = std::move(listener); }
    // Reaches the server again at once, when writes held back were lost with
    // the connection: true when it is back and this connection restarted.
    void onReconnectNeeded(std::function<bool()> reconnect) { reconnect_ = std::move(reconnect); }
    // For tests that inject faults: called in every batch of writes held
    // back once its statements went, before it is committed.
    void setBeforeBatchCommit(std::function<void()> hook) { beforeBatchCommit_ = std::move(hook); }
    // For tests that inject faults: called after each statement of a batch.
    void setAfterBatchStatement(std::function<void()> hook) { afterBatchStatement_ = std::move(hook); }
    // How many kept updates of one table and the same fields go early (see
    // sendEarly); tests make it small.
    void setEarlyBatchRows(std::size_t rows) { earlyBatchRows_ = rows; }
    // The most records one statement sent early updates; tests make it small.
    void setEarlyBatchMaxRows(std::size_t rows) { earlyBatchMaxRows_ = rows; }
    // Runs a statement on the session; a lost connection is reported first.
    pg::Result run(const QString& sql, const std::vector<QVariant>& params = {});
    // The same, the answer's values left as the server sent them.
    pg::Rows runRows(const QString& sql, const std::vector<QVariant>& params = {});

private:
    struct KeptWrite {
        enum class Kind { Insert, Update, Remove };
        const OpenTable* table = nullptr;
        Kind kind = Kind::Update;
        qint64 id = 0;
        qint64 version = 0;  // the version the update expects
        quint64 fieldMask = 0;
        Row row;  // of a deletion: the record as it was read
        Row asRead;  // of an update: the record as it was read
    };

    bool canKeep(const OpenTable& table, bool insert, const std::vector<int>& fields) const;
    qint64 newId(const OpenTable& table);
    void requestIds(const OpenTable& table, int count);
    // earlyFailure: how the batch's statement sent early (sendEarly) failed,
    // taken for the batch's first try.
    void sendKept(std::vector<KeptWrite>& writes, const EngineError* earlyFailure = nullptr);
    bool canSendEarly() const;
    bool canSendHeldEarly() const;
    void sendEarly();
    void finishEarly();
    bool keptWithin(const OpenTable& table, qint64 firstId, qint64 lastId) const;
    void sendReadAhead();
    void takeReadAhead();
    void wroteRecord(const OpenTable& table, qint64 id);  // the range read ahead is stale when it holds it
    std::pair<QString, std::vector<QVariant>> updateStatement(const OpenTable& table, quint64 mask,
                                                              const std::vector<const KeptWrite*>& writes) const;
    std::pair<QString, std::vector<QVariant>> insertStatement(const OpenTable& table, quint64 mask,
                                                              const std::vector<const KeptWrite*>& writes) const;
    void sendHeldBatch(std::vector<KeptWrite>& writes, const EngineError* earlyFailure = nullptr);
    void sendHeldWrites(bool ahead);  // sendHeld, sendHeldAhead
    void sendAsTheLoopWrites();  // wrote()
    void nameNotStored(EngineError& error, const std::vector<KeptWrite>& writes, std::size_t from);
    void sendGrouped(std::vector<KeptWrite>& writes);
    void sendOneByOne(std::vector<KeptWrite>& writes);
    void sendInserts(const OpenTable& table, quint64 mask, const std::vector<const KeptWrite*>& writes);
    void sendUpdates(const OpenTable& table, quint64 mask, const std::vector<const KeptWrite*>& writes);
    void sendRemovals(const OpenTable& table, const std::vector<const KeptWrite*>& writes);
    void settleMissing(const pg::Result& done, const std::vector<const KeptWrite*>& writes,
                       void (PgConnection::*settleOne)(const KeptWrite&));
    void settle(const KeptWrite& write);
    bool storeSettled(const KeptWrite& write, const Conflict& conflict, const std::vector<int>& written);
    void settleAsked();
    void tellReplaced();
    void settleRemoval(const KeptWrite& write);
    Conflict conflictOver(const KeptWrite& write);
    void commitWithoutWaiting();
    // Back to commits that wait for the disk, once the loop has ended.
    void commitWaitingAgain();
    TableCopy* copyOf(const OpenTable& table);
    // Every record written: the copies follow, and a range read ahead that
    // holds it is stale. A null row: deleted.
    void copyWrote(const OpenTable& table, qint64 id, const Row* row);
    [[noreturn]] void rethrow(const EngineError& error);
    // The connection was lost with these writes held back (shown as stored,
    // not stored): they go again, version-checked, once the server is
    // reached again; the error the loop then ends with says what was stored.
    [[noreturn]] void storeAfterReconnecting(const EngineError& lost, std::vector<KeptWrite> writes);

    std::unique_ptr<pg::Session> session_;
    QString desk_;
    QString deskToken_;
    QHash<QString, std::shared_ptr<PgStatement>> statements_;
    int writeGroups_ = 0;
    bool asyncCommits_ = false;  // the group's commits do not wait for the disk
    qint64 groupStartedMs_ = 0;
    std::vector<KeptWrite> kept_;
    // A batch whose statement went early and whose answer is not yet taken.
    std::vector<KeptWrite> inFlight_;
    // The range a loop reads next, read while it works through the records
    // it has; one statement is on its way at a time, so it goes when no batch
    // is, and a batch waits for it.
    struct ReadAhead {
        const OpenTable* table = nullptr;
        qint64 firstId = 0;
        qint64 lastId = 0;
        quint64 generation = 0;  // rows read before a change of it are stale
        bool sent = false;
        bool stale = false;  // the loop wrote a record of the range since
        std::optional<pg::Rows> rows;
    };
    std::optional<ReadAhead> readAhead_;
    bool readAheadInFlight_ = false;  // the session's answer to take is a read ahead
    std::size_t earlyBatchRows_ = 128;
    // A statement of many more records than this would have the server walk
    // the whole table rather than look each record up.
    std::size_t earlyBatchMaxRows_ = 1024;
    // While a batch's transaction is open, the writes whose conflicts need
    // the clerk wait here for its commit.
    bool askLater_ = false;
    std::vector<KeptWrite> asked_;
    std::map<const OpenTable*, std::unordered_map<qint64, std::size_t>> keptIndex_;
    std::map<const OpenTable*, std::vector<qint64>> freeIds_;
    std::map<QString, std::unique_ptr<TableCopy>> copies_;  // by SQL name
    // Records stored again under a new id while a batch is sent (table, old
    // id, new id): told once the batch is stored.
    std::vector<std::tuple<const OpenTable*, qint64, qint64>> replaced_;
    std::function<void()> lost_;
    std::function<bool()> reconnect_;
    std::function<void()> beforeBatchCommit_;
    std::function<void()> afterBatchStatement_;
    bool resending_ = false;  // writes lost with a connection are being sent again
    bool keyedInsertsHeld_ = false;  // inserts into tables with a key are held back (sendHeld sends them)
    // A batch of those refused while something else sent it (a window
    // reading rows between two of the loop's rows): told again to the loop.
    std::optional<EngineError> refusedWhileHeld_;
};

}  // namespace data
