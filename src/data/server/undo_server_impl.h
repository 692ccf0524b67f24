#pragma once

// The server's undo journal class, shared by undo_server.cpp (the journal's
// tables, recording, listing, housekeeping), undo_server_seal.cpp (sealing)
// and undo_server_restore.cpp (checking and undoing).

#include "data/server/pg_connection.h"
#include "data/core/schema.h"
#include "data/core/store.h"

#include <QByteArray>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace data {

struct OpenTable;
struct TableDef;

namespace undo_server {

class ServerUndoJournal : public UndoJournal {
public:
    ServerUndoJournal(std::shared_ptr<PgConnection> connection, OpenTables tables);

    qint64 record(const QString& command, const QString& window, const std::vector<UndoPart>& parts) override;
    void seal(qint64 id) override;
    std::vector<UndoEntry> entries(const QString& window) override;
    int changedSince(qint64 id) override;
    int undo(qint64 id) override;
    qint64 storageBytes() override;

    // Called in undo() with the rows locked and checked, before they are
    // written back; only tests set it.
    std::function<void()> betweenCheckAndWriteBack;

private:
    struct PartRow {
        UndoPart::Kind kind;
        QString table;  // its SQL name
        qint64 mark;    // AddedRows: the highest row id when the command began
    };
    // The rows changed since a command: how many, and which they are with
    // their versions now, so that a row changed again shows too.
    struct ChangedRows {
        qint64 count = 0;
        QByteArray state;
        bool operator==(const ChangedRows&) const = default;
    };
    // Of each part, the rows holding a key that a row coming back takes.
    using KeyHolders = std::vector<std::vector<qint64>>;

    pg::Result run(const QString& sql, const std::vector<QVariant>& params = {});
    qint64 scalar(const QString& sql, const std::vector<QVariant>& params = {});
    // Runs the work in one transaction, rolled back when it throws.
    template <class Work>
    void inTransaction(Work&& work);

    bool tablesComplete();
    void createTables();
    const OpenTable& tableOf(const QString& sqlName);
    QString rowContent(const OpenTable& table) const;
    QString changedSinceSeal(const OpenTable& table) const;
    // The parts of a record, the rows the command added first.
    std::vector<PartRow> partsOf(qint64 id);

    // Takes the versions the rows have now as those the command left; inside
    // a transaction. False when the record is gone (undone meanwhile).
    bool sealLocked(qint64 id);
    // The rows of a shown part as the command left them, found by the ids
    // the part was recorded with (once: the condition that leaves out rows
    // an earlier part of the table kept, with its two parameters).
    void keepShownRowsByIds(qint64 id, const OpenTable& table, const QString& sqlName,
                            const std::vector<std::vector<qint64>>& batches, const QString& once);
    void sealOpenRecords();
    // Refuses (SQLSTATE 42501) a record of tables the desk's role may not
    // change all of: undoing it would write them.
    void checkMayChangeTables(qint64 id);
    // Refuses a record whose command still runs at another desk.
    void checkNotRunningElsewhere(qint64 id);
    void keepLastCommands(const QStringList& tables);

    ChangedRows changedRows(qint64 id, const std::vector<PartRow>& parts);
    void addChanged(ChangedRows& changed, const QString& sql, const std::vector<QVariant>& params);
    // Inside the transaction of undo(): locks the rows it writes, removes or
    // checks, so that no desk changes them until it commits.
    KeyHolders lockRows(qint64 id, const std::vector<PartRow>& parts);

    // undo(), one part of the record.
    qint64 restoreRows(qint64 id, const PartRow& part, const std::vector<qint64>& keyHolders);
    qint64 removeAddedRows(qint64 id, const PartRow& part);

    std::shared_ptr<PgConnection> connection_;
    OpenTables tables_;
    // Whether the server hashes a whole row by itself (release 14 on).
    bool hashesRows_ = false;
    // The ids of each shown part of the records this journal made and has
    // not sealed yet, in batches as their images were taken: sealing reads
    // the rows by them (a gapless batch by its range) instead of taking the
    // images apart again.
    struct ShownPart {
        QString table;
        std::vector<std::vector<qint64>> batches;
    };
    std::map<qint64, std::vector<ShownPart>> shownAtRecord_;
    // What the last changedSince() found, and of which record: undo() writes
    // over those changes and no others.
    std::optional<std::pair<qint64, ChangedRows>> asked_;
};

template <class Work>
void ServerUndoJournal::inTransaction(Work&& work) {
    // Inside a transaction of the desk's own, the journal's statements go
    // under a savepoint of it and are committed with it.
    const bool nested = connection_->session().inTransaction();
    run(nested ? QStringLiteral("SAVEPOINT tavrel_undo") : QStringLiteral("BEGIN"));
    try {
        work();
        run(nested ? QStringLiteral("RELEASE SAVEPOINT tavrel_undo") : QStringLiteral("COMMIT"));
    } catch (...) {
        try {
            run(nested ? QStringLiteral("ROLLBACK TO SAVEPOINT tavrel_undo") : QStringLiteral("ROLLBACK"));
        } catch (const std::exception&) {
            // A session that is gone has rolled back by itself.
        }
        throw;
    }
}

// SQL that holds when the desk's role may seal and undo the command whose
// id the expression gives: change the record and every table it names.
QString mayChangeAllTablesOf(const QString& command);

// Row ids as one array parameter ("?::bigint[]").
QVariant idList(const std::vector<qint64>& ids);
// Whether a batch of sorted ids, each once (idBatches), fills the range from
// its first to its last without a gap: the server then reads it by the range.
inline bool gapless(const std::vector<qint64>& batch) { return batch.back() - batch.front() + 1 == qint64(batch.size()); }
// The rows an INSERT of batches took in, each batch returning its length.
qint64 rowsInBatches(const pg::Result& inserted);

// The definition of the table with this SQL name; throws when it is none of
// the program's.
const TableDef& tableDefOfSqlName(const QString& sqlName);

// The journal's tables.
inline QString commandsTable() { return QStringLiteral("tavrel_undo_commands"); }
inline QString partsTable() { return QStringLiteral("tavrel_undo_parts"); }
// The images of one table's rows: the command, the table, the row's id and
// the row itself, column for column as the table has it.
inline QString imagesTableName(const QString& sqlName) { return QStringLiteral("tavrel_undo_images_") + sqlName; }
inline QString imagesTable(const QString& sqlName) { return quotedIdentifier(imagesTableName(sqlName)); }
inline QString afterTable() { return QStringLiteral("tavrel_undo_after"); }
// The same kept a batch of rows to a row: the images as an array of the
// table's own row type, the versions and contents as the command left them
// as arrays side by side. A row of the journal costs the server a check of
// its command and its index entries; a batch pays them once. Records made
// before the batches were kept stay in the tables above and are read from
// both (imagesOf, afterOf).
inline QString batchesTableName(const QString& sqlName) { return QStringLiteral("tavrel_undo_batches_") + sqlName; }
inline QString batchesTable(const QString& sqlName) { return quotedIdentifier(batchesTableName(sqlName)); }
inline QString afterBatchesTable() { return QStringLiteral("tavrel_undo_after_batches"); }
// Rows of a table go into a batch of at most this many. A batch this small
// is built and packed within the processor's caches: the server keeps the
// images of 100,000 orders in about half the time batches of 10,000 take.
constexpr int RowsPerBatch = 2000;
// A part whose images are kept in batches is stored with its kind plus
// this. A desk of an earlier release, which knows no batches, then takes the
// part for none it knows and writes nothing back, rather than reading no
// images where there are batches (and emptying a whole table by them).
constexpr int BatchedKind = 10;

// The images of a table's rows, a row each, from both kinds of table:
// command, table_name, rid, the fields and tavrel_version.
QString imagesOf(const OpenTable& table, const QString& sqlName);
// The rows as commands left them, a row each: command, table_name, rid,
// version, content.
QString afterOf();

}  // namespace undo_server
}  // namespace data
