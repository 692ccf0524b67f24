#pragma once

#include "data/engine/engine.h"
#include "data/core/errors.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <exception>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace data {

class Query;
class Statement;

// One field of the query's current record (the pending values while the
// record is being edited or inserted).
class Field {
public:
    Field(Query& query, int index) : query_(&query), index_(index) {}

    int index() const { return index_; }
    QString name() const;
    FieldKind kind() const;

    QVariant value() const;  // invalid when the field holds no value
    bool isNull() const;
    // The value is held as a whole number, not as a text or a fraction.
    inline bool holdsInteger() const;
    QString asText() const;  // "" for no value
    inline qint64 asInteger() const;  // 0 for no value; throws for text that is no whole number
    bool asBoolean() const;

    // Writes need the record in edit or insert state.
    void setValue(const QVariant& value);
    void setText(const QString& text);  // empty text: no value
    void setInteger(qint64 value) { setValue(QVariant(value)); }
    // Sets the number unless the field holds it already: a rule that posts
    // what it worked out leaves a field it did not change alone.
    void setIntegerIfChanged(qint64 value) {
        if (!holdsInteger() || asInteger() != value)
            setInteger(value);
    }
    void setBoolean(bool value) { setValue(QVariant(value)); }
    void clear() { setValue(QVariant()); }

private:
    qint64 integerOf(const QVariant& v) const;

    Query* query_;
    int index_;
};

// A live query: one statement of the statement language over one table and
// its open result. Opening takes the row ids of the matching records in
// table order; records are read lazily. Every post and delete writes through
// to the table at once; the result keeps the records it had (a changed record
// stays until the next open, an inserted one stays where it was inserted).
class Query : public QObject {
    Q_OBJECT

public:
    enum class State { Inactive, Browse, Edit, Insert };
    enum class PostErrorAction { Fail, Abort };
    using BeforePostHook = std::function<void(Query&)>;
    using PostErrorHook = std::function<PostErrorAction(Query&, const EngineError&)>;

    explicit Query(Engine& engine, QObject* parent = nullptr);
    ~Query() override;

    // Statement text. Changing it closes an open result.
    void clearSql();
    void addSql(const QString& line);
    void setSql(const QString& text);
    QString sql() const { return sqlLines_.size() == 1 ? sqlLines_.front() : sqlLines_.join(QLatin1Char('\n')); }

    void open();  // reopens when already open
    // Opens again and stands on the same record, when it is still there.
    void reopen();
    void close();
    bool isOpen() const { return state_ != State::Inactive; }
    State state() const { return state_; }
    bool isEditing() const { return state_ == State::Edit || state_ == State::Insert; }
    QString tableName() const;
    Engine& engine() const { return engine_; }

    // Cursor. Moving first posts a pending record, or drops it when nothing
    // in it was changed.
    void first();
    void next();
    void prior();
    void last();
    void moveTo(int recNo);  // 1-based
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    int recNo() const { return current_ + 1; }  // 0 when there is no record
    int recordCount() const;                   // stored records in the result
    int rowCount() const { return int(ids_.size()); }  // rows to show, a pending insert included
    bool isEmpty() const { return ids_.empty(); }
    std::vector<qint64> rowIds() const;        // of the stored records in the result

    // Fields
    int fieldCount() const { return table_ && isOpen() ? int(table_->fields.size()) : 0; }
    QString fieldName(int index) const;
    FieldKind fieldKind(int index) const;
    int fieldIndex(const QString& name) const;  // -1 when unknown
    // The layout of the table's fields (OpenTable::layout); 0 when closed.
    quint64 fieldLayout() const { return table_ && isOpen() ? table_->layout : 0; }
    // Whether the field at index has exactly this name.
    bool hasFieldAt(int index, const QString& name) const {
        return table_ && isOpen() && index >= 0 && index < int(table_->fields.size()) && table_->fields[std::size_t(index)].name == name;
    }
    Field field(const QString& name);           // throws for an unknown name
    Field field(int index);
    QVariant value(int index) const;            // of the current record
    void setValue(int index, const QVariant& value);
    QVariant valueAt(int row, int index) const;  // row from 0; the pending values on the current row
    bool isPendingRow(int row) const { return isEditing() && row == current_; }

    // Editing
    void edit();
    void insert();  // a new record before the current one
    void append();  // a new record at the end
    void post();
    void cancel();
    void remove();  // deletes the current record
    void checkBrowseMode();
    bool isModified() const { return modified_; }

    // Another desk changed the record being edited here; its post will ask
    // whose values to keep.
    bool isChangedElsewhere() const { return changedElsewhere_; }
    // News from other desks: the records with these ids (every record when
    // everyRow) changed. The rows are read again when next shown; the
    // current record and a record being edited stay as they are.
    void takeNewsOf(const std::vector<qint64>& ids, bool everyRow);
    // A record of the result was stored again under a new id (kept after
    // another desk deleted it): it stays where it stood, under the new id.
    void takeReplacedId(qint64 oldId, qint64 newId);

    // Set while a bulk loop walks the result; windows disable the commands
    // that move the cursor or replace the statement meanwhile. The loop's
    // writes are committed in groups a few times a second, and all of them
    // by the time the loop ends.
    bool isBusy() const { return busy_ > 0; }
    void beginBusy();
    void endBusy();

    // While busy (an import): new records of a table with a key are held
    // back and sent in groups too, until sendHeldWrites() or the loop's end.
    // A key refused there is told through the post-error hook as its own
    // post would have told it; the records from it on are not stored and
    // leave the result.
    void holdKeyedInserts();
    void sendHeldWrites();
    // The same, without waiting where the store can: the loop goes on while
    // they are stored, and a key refused among them is told at its next post
    // or send, the records from it on (the later ones too) not stored.
    void sendHeldWritesAhead();

    void setBeforePost(BeforePostHook hook) { beforePost_ = std::move(hook); }
    void setPostErrorHook(PostErrorHook hook) { postError_ = std::move(hook); }

signals:
    void activeChanged(bool open);
    void stateChanged(data::Query::State state);
    void currentChanged(int recNo);
    void fieldChanged(int fieldIndex);
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void resultReset();
    void busyChanged(bool busy);
    // Rows of the result were changed by another desk: what shows them
    // should read them again.
    void rowsRefreshed();
    void currentChangedElsewhere();

private:
    friend class Field;
    // The current record's value as value() gives it, without a copy; valid
    // until the query next reads or writes. The record being edited has its
    // values at hand; a record browsed is found in the rows read.
    const QVariant& currentValue(int index) const {
        if (state_ != State::Inactive && index >= 0 && index < int(table_->fields.size()) && current_ >= 0 &&
            current_ < int(ids_.size())) {
            if (isEditing())
                return pending_[std::size_t(index)];
            if (lastRead_ && lastReadId_ == ids_[std::size_t(current_)] && cacheGeneration_ == generation())
                return (*lastRead_)[std::size_t(index)];
        }
        return storedValue(index);
    }
    const QVariant& storedValue(int index) const;
    const Row& storedRow(int row) const;
    void loadRows(int row) const;
    std::pair<std::vector<qint64>, int> idsToRead(int row, bool cacheCleared) const;
    static Row readRow(const OpenTable& table, Statement& st);
    void checkOpen() const {
        if (state_ == State::Inactive)
            notOpen();
    }
    void checkField(int index) const {
        checkOpen();
        if (index < 0 || index >= fieldCount())
            noSuchField(index);
    }
    [[noreturn]] static void notOpen();
    [[noreturn]] static void noSuchField(int index);
    void setState(State state);
    void moveCursor(int row, bool atBof, bool atEof);
    void dropStaleRows() const;
    void clearCache() const;
    void sendHeld(void (Connection::*send)());
    void finishPost();  // the record is stored: back to browsing
    bool namesAsNotStored(const EngineError& error, qint64 id) const;
    void cacheRow(qint64 id, Row row) const;
    // The cache's place for a row read next, made of a place freed before
    // where there is one.
    Row& cacheSlot(qint64 id) const;
    Row emptyRow() const;
    // Changes with every write to the table, and with every event of the store
    // after which no row read before can be trusted.
    quint64 generation() const { return table_->connection->generation() + table_->writes; }
    bool storePending();  // false: the clerk took another desk's record instead
    void wroteThrough();
    qint64 insertPending();
    bool updatePending();
    const Row& recordAsRead();
    std::vector<int> changedFields() const;
    Conflict conflictOver(qint64 id, const Row& asRead, const Row& mine, bool deleting) const;
    ConflictChoice chooseInConflict(Conflict& conflict) const;
    bool keepOrDropDeleted(Conflict& conflict);
    void takeTheirs();
    void dropRowsNotStored(const EngineError& error);
    QVariant convertForField(int index, const QVariant& value) const;

    Engine& engine_;
    QStringList sqlLines_;
    std::shared_ptr<OpenTable> table_;
    State state_ = State::Inactive;
    std::vector<qint64> ids_;  // row ids in result order; 0 for a pending insert
    int current_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    Row pending_;
    bool modified_ = false;
    bool changedElsewhere_ = false;
    Row theirs_;  // the other desk's record, while a conflict is settled
    // The record being edited as it was when the edit began. It is made
    // only when needed (asReadKept_): until then the pending values differ
    // from it only in the fields set, whose values before are kept apart.
    Row asRead_;
    bool asReadKept_ = false;
    std::vector<std::pair<int, QVariant>> replaced_;  // field, value before its first change
    std::vector<quint8> fieldSet_;                     // by field: set since the edit began
    mutable std::unordered_map<qint64, Row> cache_;
    // Places of rows dropped from the cache, reused rather than allocated
    // again: a loop reads every row of a long result once.
    mutable std::vector<std::unordered_map<qint64, Row>::node_type> spareRows_;
    mutable quint64 cacheGeneration_ = 0;
    mutable qint64 lastReadId_ = 0;  // the last row looked up, valid until the cache changes
    mutable const Row* lastRead_ = nullptr;
    int busy_ = 0;
    std::shared_ptr<Connection> writeGroup_;  // the connection whose writes are grouped while busy
    BeforePostHook beforePost_;
    PostErrorHook postError_;
};

// Marks a query busy for the lifetime of the scope, however the scope ends.
class BusyScope {
public:
    explicit BusyScope(Query& query) : query_(query), exceptions_(std::uncaught_exceptions()) { query_.beginBusy(); }
    // Committing the last writes may fail. While another error is on its
    // way out of the scope that fault cannot be thrown: it is kept and told
    // with the other one (keepFaultWhileUnwinding).
    ~BusyScope() noexcept(false) {
        if (std::uncaught_exceptions() > exceptions_) {
            try {
                query_.endBusy();
            } catch (const EngineError& e) {
                keepFaultWhileUnwinding(e);
            }
        } else {
            query_.endBusy();
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Query& query_;
    int exceptions_;
};

// The post-error hook of a table window with a key: on a key violation
// showDuplicate is called and the post ends silently with the pending record
// dropped; any other failure is left to the caller.
Query::PostErrorHook duplicateKeyHook(std::function<void()> showDuplicate);

// The loops read whole numbers by the million: a number held as one is read here.
qint64 Field::asInteger() const {
    const QVariant& v = query_->currentValue(index_);
    if (v.typeId() == QMetaType::LongLong)
        return *static_cast<const qlonglong*>(v.constData());
    return integerOf(v);
}

bool Field::holdsInteger() const {
    const int type = query_->currentValue(index_).typeId();
    return type == QMetaType::LongLong || type == QMetaType::Int;
}

}  // namespace data
