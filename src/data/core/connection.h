#pragma once

#include "data/core/conflict.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace data {

// Milliseconds on a clock that only goes forward, from any start: the write
// groups are timed on it, so that a clock set back holds no commit back.
inline qint64 steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct OpenTable;  // data/core/open_table.h
class SqlDialect;  // data/core/sql_dialect.h

// The equalities of a lookup: field indexes and values (see
// PreparedSelect::lookup).
using Lookup = std::vector<std::pair<int, QVariant>>;

// Texts read from a column, kept a while so that a text read again is
// shared with the one read before instead of being made anew: the columns
// of a table hold the same few texts over and over (colours, suppliers).
// Each text has one place by its bytes; a new text takes that place.
class TextCache {
public:
    // The text of UTF-8 bytes.
    QString text(const char* utf8, qsizetype size);

private:
    static constexpr std::size_t Places = 1024;
    // A text with the bytes it was made from: a text read again is known by
    // its bytes, without decoding or comparing across encodings.
    struct Kept {
        QByteArray utf8;
        QString text;
    };
    std::unique_ptr<Kept[]> kept_;
};

// A prepared statement of a connection. Bind, step through its rows, reset.
class Statement {
public:
    virtual ~Statement() = default;
    virtual void reset() = 0;
    virtual void bind(int index, const QVariant& value) = 0;  // index from 1
    virtual void bindInt(int index, qint64 value) = 0;
    virtual bool step() = 0;  // true while a row is available; throws on failure
    virtual int columnCount() const = 0;
    virtual QVariant column(int index) const = 0;  // index from 0; NULL gives an invalid QVariant
    virtual qint64 columnInt(int index) const = 0;
    // The value as column() gives it; a store that reads texts as bytes
    // takes them through the cache.
    virtual QVariant column(int index, TextCache& /*texts*/) const { return column(index); }
    // The current row as a record of the table (readRecord), into a row
    // that may hold an earlier record: the fields after the rowid, then the
    // version. A store may read it in one go rather than value by value.
    virtual void record(const OpenTable& table, Row& into);
};

// What a store keeps of one table's records: SQLite table files, or the
// tables of a PostgreSQL server. Reads go through prepared statements; every
// write of a record goes through insertRow, updateRow and removeRow, so that
// a store may check versions and send writes without waiting for them.
class Connection {
public:
    virtual ~Connection() = default;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The SQL the store speaks; statements are written with `?` for their
    // parameters in every dialect.
    virtual const SqlDialect& dialect() const = 0;
    // Whether other desks read the table while this one writes it: a copy
    // into it then goes in one transaction, so that nobody sees half of it.
    virtual bool sharedWithOtherDesks() const { return false; }
    // Where the table is, for messages: a file's path or a server's name.
    virtual QString place() const = 0;

    // A statement from the connection's cache, reset and ready to bind.
    virtual Statement& prepare(const QString& sql) = 0;
    // A statement that reads records of `table` by their ids: a list of
    // `count` ids, or (count 0) the ids from the first parameter to the
    // second. A store that keeps writes back may answer it without sending
    // the writes of other records first.
    virtual Statement& prepareRowRead(const OpenTable& table, int count);
    virtual void exec(const QString& sql) = 0;

    // Stores a new record with the given fields of `row` (the others take
    // their defaults); returns its id and puts its version into `row`.
    virtual qint64 insertRow(const OpenTable& table, const std::vector<int>& fields, Row& row) = 0;
    // Stores the given fields of `row` into the record, if it still is the
    // version `row` carries; false when it is not (changed or deleted since).
    // On success the new version is put into `row`. Inside a write group a
    // store may send the write without waiting; a conflict found later is
    // settled against `asRead`, the record as this desk read it: fields only
    // one desk changed merge, the others go through the resolver.
    virtual bool updateRow(const OpenTable& table, qint64 id, const std::vector<int>& fields, Row& row,
                           const Row& asRead) = 0;
    // Whether updateRow looks at `asRead` when the write goes through; a
    // store that settles every conflict at once needs it only after a
    // refused write, and is given an empty row otherwise.
    virtual bool readsRecordAsRead() const { return true; }
    // Deletes the record if it still is the version `asRead` carries; false
    // when it is not. `asRead` is the record as this desk read it: a store
    // that finds the conflict later (inside a write group) shows it to the
    // clerk against what is stored then.
    virtual bool removeRow(const OpenTable& table, qint64 id, const Row& asRead) = 0;

    // The record as it is stored now (its fields and version), empty when it
    // is gone; `desk` gets the desk that stored it last, where known.
    virtual Row readCurrent(const OpenTable& table, qint64 id, QString* desk);

    // The records a lookup of the table finds (ids and rows), when the store
    // can answer it without asking the table (during a bulk loop); nothing
    // otherwise. The rows are the store's own, to be copied before anything
    // else is asked of it.
    using Found = std::vector<std::pair<qint64, const Row*>>;
    virtual std::optional<Found> answerFromMemory(const OpenTable&, const Lookup&) { return std::nullopt; }

    // A statement built by the program, well formed by construction: the
    // store refusing it means it is beyond the store's limits (too deep, too
    // many values), told in Chinese. Stores that only find out when the
    // statement runs check nothing here.
    virtual void checkWithinLimits(const QString& /*sql*/) {}

    // How many records a result reads at once as it is walked.
    virtual int rowsPerRead() const { return 64; }
    // A walk of the table will next read its records from the first id to
    // the second (a range read of prepareRowRead): a store that waits for
    // every read may start that read now, while the walk works through the
    // records it has. Stores that answer at once ignore it.
    virtual void readAhead(const OpenTable& /*table*/, qint64 /*firstId*/, qint64 /*lastId*/) {}

    // The longest LIKE pattern the store takes.
    virtual int likePatternLimit() const { return 1 << 30; }

    // Counts the writes made through this connection, so that readers can
    // tell when rows they hold may be stale.
    quint64 generation() const { return generation_; }
    void bumpGeneration() { ++generation_; }

    // While a long loop writes record after record, its writes are committed
    // together a few times a second instead of one by one; everything is
    // committed when the last group ends, however it ends.
    virtual void beginWriteGroup() = 0;
    virtual void endWriteGroup() = 0;
    virtual void wrote() = 0;  // after every write: commits when the group has run long enough
    // For the rest of the write group new records of tables with a key are
    // held back too, until sendHeld() or the group's end: a key refused is
    // then found there, and the error names the records not stored from it
    // on (EngineError::notStored). Stores that write at once ignore it.
    virtual void holdKeyedInserts() {}
    // Sends the writes the group holds back now.
    virtual void sendHeld() {}
    // The same, where the loop need not wait for them: a store may send them
    // and go on, storing them before anything else it is asked, and tell a
    // key refused among them at the loop's next write or send.
    virtual void sendHeldAhead() { sendHeld(); }

    // Before another connection of this program writes the same table (the
    // undo journal attaches it): the store makes sure its own hold on the
    // table is sound, since both share it.
    virtual void regainHold() {}

    // Asked when another desk changed a record this desk writes.
    void setConflictResolver(std::shared_ptr<ConflictResolver> resolver) { resolver_ = std::move(resolver); }
    const std::shared_ptr<ConflictResolver>& conflictResolver() const { return resolver_; }
    // Asks the resolver about a conflict. Inside a write group (a bulk
    // command) the clerk is asked once and the answer holds for the rest of
    // the command; Stop is thrown as an error that ends the command.
    // Without a resolver the conflict is an error.
    ConflictChoice askInConflict(Conflict& conflict);

    // Told when a record another desk deleted was stored again under a new id
    // (the clerk kept this desk's values), so that every result holding the
    // old id shows the new one.
    using IdReplaced = std::function<void(const OpenTable& table, qint64 oldId, qint64 newId)>;
    void onIdReplaced(IdReplaced listener) { idReplaced_ = std::move(listener); }
    void tellIdReplaced(const OpenTable& table, qint64 oldId, qint64 newId) const {
        if (idReplaced_)
            idReplaced_(table, oldId, newId);
    }

protected:
    // The outermost write group begins or ends: the clerk's answer for the
    // command, if any, is forgotten.
    void beginBulkQuestions();
    void endBulkQuestions();

private:
    quint64 generation_ = 0;
    std::shared_ptr<ConflictResolver> resolver_;
    bool bulk_ = false;
    std::optional<ConflictChoice> bulkAnswer_;
    IdReplaced idReplaced_;
};

}  // namespace data
