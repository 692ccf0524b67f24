#include "data/server/pg_connection.h"

#include "data/core/open_table.h"
#include "data/core/errors.h"
#include "data/server/pg_dialect.h"

#include <QDateTime>
#include <QScopeGuard>
#include <QStringList>
#include <unordered_set>

namespace data {

namespace {

// Writes kept back are sent at least this often, and when this many wait.
constexpr qint64 SendIntervalMs = 200;
constexpr std::size_t MaxKeptWrites = 2000;
// How often a batch that lost a deadlock or a serialization conflict to
// another desk is sent again, whole, before the loop stops.
constexpr int BatchTries = 4;
// How often a conflict is settled again when the record changes once more
// while it is being settled.
constexpr int SettleRounds = 3;

// Faults of the moment that the same batch, sent again, usually gets past.
bool worthRetrying(const EngineError& e) {
    return e.sqlState() == QLatin1String("40P01") || e.sqlState() == QLatin1String("40001");
}

// Waits that ran out (a lock another desk holds, a statement too long): sent
// again one by one, each record would wait as long again.
bool waitedTooLong(const EngineError& e) {
    return e.sqlState() == QLatin1String("55P03") || e.sqlState() == QLatin1String("57014");
}
// A table larger than this is not copied for lookups.
constexpr int MaxCopiedRows = 50000;
constexpr int IdsPerRequest = 256;

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

QString arrayType(FieldKind kind) {
    switch (kind) {
    case FieldKind::Integer: return QStringLiteral("bigint[]");
    case FieldKind::Boolean: return QStringLiteral("boolean[]");
    case FieldKind::Text: break;
    }
    return QStringLiteral("text[]");
}

std::vector<int> fieldsOfMask(quint64 mask) {
    std::vector<int> fields;
    for (int i = 0; i < 64; ++i)
        if (mask & (quint64(1) << i))
            fields.push_back(i);
    return fields;
}

quint64 maskOf(const std::vector<int>& fields) {
    quint64 mask = 0;
    for (int i : fields)
        mask |= quint64(1) << i;
    return mask;
}

QVariant array(std::vector<QVariant> values) { return QVariant::fromValue(pg::ArrayParam{std::move(values)}); }

// The text a lookup compares, one part per field; a field without a value
// matches no lookup.
QString lookupKey(const Row& row, const std::vector<int>& fields) {
    QString key;
    for (int f : fields) {
        const QVariant& v = row[std::size_t(f)];
        if (!v.isValid())
            return QStringLiteral("\x01");
        key += v.toString();
        key += QChar(0x1f);
    }
    return key;
}

}  // namespace

// ---- statements -------------------------------------------------------------

class PgStatement : public Statement {
public:
    PgStatement(PgConnection& connection, QString sql) : connection_(connection), sql_(std::move(sql)) {}

    void reset() override {
        executed_ = false;
        position_ = -1;
        result_ = {};
        parameters_.clear();
    }
    void bind(int index, const QVariant& value) override {
        if (int(parameters_.size()) < index)
            parameters_.resize(std::size_t(index));
        parameters_[std::size_t(index - 1)] = value;
    }
    void bindInt(int index, qint64 value) override { bind(index, QVariant(value)); }
    bool step() override {
        if (!executed_) {
            connection_.flush();
            result_ = connection_.run(sql_, parameters_);
            executed_ = true;
            position_ = -1;
        }
        return ++position_ < int(result_.rows.size());
    }
    int columnCount() const override { return result_.rows.empty() ? 0 : int(result_.rows.front().size()); }
    QVariant column(int index) const override { return result_.rows[std::size_t(position_)][std::size_t(index)]; }
    qint64 columnInt(int index) const override { return column(index).toLongLong(); }

private:
    PgConnection& connection_;
    QString sql_;
    std::vector<QVariant> parameters_;
    pg::Result result_;
    bool executed_ = false;
    int position_ = -1;
};

// A copy of a small table for lookups during a bulk loop.
struct PgConnection::TableCopy {
    bool usable = true;  // false: too large to copy
    std::unordered_map<qint64, Row> rows;
    std::map<quint64, QHash<QString, std::vector<qint64>>> indexes;  // by the fields looked up

    QHash<QString, std::vector<qint64>>& index(quint64 mask) {
        auto it = indexes.find(mask);
        if (it != indexes.end())
            return it->second;
        QHash<QString, std::vector<qint64>>& made = indexes[mask];
        const std::vector<int> fields = fieldsOfMask(mask);
        for (const auto& [id, row] : rows)
            made[lookupKey(row, fields)].push_back(id);
        return made;
    }
    void put(qint64 id, const Row* row) {
        auto it = rows.find(id);
        for (auto& [mask, index] : indexes) {
            const std::vector<int> fields = fieldsOfMask(mask);
            if (it != rows.end())
                std::erase(index[lookupKey(it->second, fields)], id);
            if (row)
                index[lookupKey(*row, fields)].push_back(id);
        }
        if (row)
            rows[id] = *row;
        else if (it != rows.end())
            rows.erase(it);
    }
};

// ---- the connection ---------------------------------------------------------

PgConnection::PgConnection(std::unique_ptr<pg::Session> session, QString desk, QString deskToken)
    : session_(std::move(session)), desk_(std::move(desk)), deskToken_(std::move(deskToken)) {}

PgConnection::~PgConnection() {
    try {
        flush();
    } catch (const EngineError&) {
        // Nothing to tell at the end: the loop that kept them has reported.
    }
}

pg::Result PgConnection::run(const QString& sql, const std::vector<QVariant>& params) {
    try {
        return session_->run(sql, params);
    } catch (const EngineError& e) {
        rethrow(e);
    }
}

void PgConnection::rethrow(const EngineError& error) {
    if (error.kind() == ErrorKind::ServerUnreachable && !kept_.empty()) {
        std::vector<KeptWrite> writes = std::move(kept_);
        kept_.clear();
        keptIndex_.clear();
        storeAfterReconnecting(error, std::move(writes));
    }
    if (error.kind() == ErrorKind::ServerUnreachable && lost_)
        lost_();
    throw error;
}

// The writes from `from` on did not reach the server: the error says how
// many, and the batch numbers of those that have one.
void PgConnection::nameNotStored(EngineError& error, const std::vector<KeptWrite>& writes, std::size_t from) {
    QStringList names;
    for (std::size_t i = from; i < writes.size(); ++i) {
        const KeptWrite& w = writes[i];
        if (w.row.empty())
            continue;
        const int field = w.table->fieldIndex(QStringLiteral("批号"));
        if (field >= 0)
            names << w.row[std::size_t(field)].toString();
    }
    error.addNotStored(int(writes.size() - from), names);
}

Statement& PgConnection::prepare(const QString& sql) {
    std::shared_ptr<PgStatement>& st = statements_[sql];
    if (!st)
        st = std::make_shared<PgStatement>(*this, sql);
    st->reset();
    return *st;
}

void PgConnection::exec(const QString& sql) {
    flush();
    try {
        session_->exec(sql);
    } catch (const EngineError& e) {
        rethrow(e);
    }
}

void PgConnection::restart() {
    asyncCommits_ = false;
    kept_.clear();
    keptIndex_.clear();
    replaced_.clear();
    freeIds_.clear();
    copies_.clear();
    bumpGeneration();
}

// ---- writes -----------------------------------------------------------------

bool PgConnection::canKeep(const OpenTable& table, bool insert, const std::vector<int>& fields) const {
    if (writeGroups_ == 0 || table.fields.size() > 64)
        return false;
    const TableDef* def = tableDefOfFile(table.fileName);
    if (!def)
        return false;
    if (insert)
        return def->uniqueKey.isEmpty();
    for (int f : fields)
        if (def->uniqueKey.contains(table.fields[std::size_t(f)].name))
            return false;
    return true;
}

qint64 PgConnection::newId(const OpenTable& table) {
    std::vector<qint64>& free = freeIds_[&table];
    if (free.empty()) {
        const pg::Result r = run(QStringLiteral("SELECT nextval(pg_get_serial_sequence(?, 'rowid')) FROM generate_series(1, %1)")
                                     .arg(IdsPerRequest),
                                 {QVariant(table.quotedName)});
        for (auto it = r.rows.rbegin(); it != r.rows.rend(); ++it)
            free.push_back((*it)[0].toLongLong());
    }
    const qint64 id = free.back();
    free.pop_back();
    return id;
}

qint64 PgConnection::insertRow(const OpenTable& table, const std::vector<int>& fields, Row& row) {
    const std::size_t versionSlot = table.fields.size();
    if (canKeep(table, true, fields)) {
        const qint64 id = newId(table);
        row[versionSlot] = QVariant(qint64(1));
        keptIndex_[&table][id] = kept_.size();
        kept_.push_back({&table, KeptWrite::Kind::Insert, id, 1, maskOf(fields), row});
        copyWrote(table, id, &row);
        return id;
    }
    flush();
    commitWithoutWaiting();
    QStringList columns;
    std::vector<QVariant> params;
    for (int f : fields) {
        columns << table.quotedFields[std::size_t(f)];
        params.push_back(row[std::size_t(f)]);
    }
    columns << QStringLiteral("tavrel_desk") << QStringLiteral("tavrel_desk_token");
    params.push_back(desk_);
    params.push_back(deskToken_);
    const pg::Result r = run(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING rowid, tavrel_version")
                                 .arg(table.quotedName, columns.join(QLatin1Char(',')),
                                      QStringLiteral("?,").repeated(columns.size() - 1) + QLatin1Char('?')),
                             params);
    const qint64 id = r.rows.at(0).at(0).toLongLong();
    row[versionSlot] = r.rows.at(0).at(1);
    copyWrote(table, id, &row);
    return id;
}

bool PgConnection::updateRow(const OpenTable& table, qint64 id, const std::vector<int>& fields, Row& row,
                             const Row& asRead) {
    const std::size_t versionSlot = table.fields.size();
    if (canKeep(table, false, fields)) {
        if (const auto it = keptIndex_[&table].find(id);
            it != keptIndex_[&table].end() && kept_[it->second].kind == KeptWrite::Kind::Remove) {
            // Deleted earlier in the loop: the deletion goes first, and this
            // write then finds the record gone, as it would have had each
            // write been sent at once.
            flush();
        }
        auto& index = keptIndex_[&table];
        if (const auto it = index.find(id); it != index.end()) {
            // Written again before it was sent: one write with the later values.
            KeptWrite& earlier = kept_[it->second];
            earlier.fieldMask |= maskOf(fields);
            for (int f : fields)
                earlier.row[std::size_t(f)] = row[std::size_t(f)];
            row[versionSlot] = QVariant(earlier.version + (earlier.kind == KeptWrite::Kind::Insert ? 0 : 1));
            copyWrote(table, id, &row);
            return true;
        }
        const qint64 version = row[versionSlot].toLongLong();
        index[id] = kept_.size();
        kept_.push_back({&table, KeptWrite::Kind::Update, id, version, maskOf(fields), row, asRead});
        row[versionSlot] = QVariant(version + 1);
        copyWrote(table, id, &row);
        return true;
    }
    flush();
    commitWithoutWaiting();
    QStringList sets;
    std::vector<QVariant> params;
    for (int f : fields) {
        sets << table.quotedFields[std::size_t(f)] + QStringLiteral("=?");
        params.push_back(row[std::size_t(f)]);
    }
    sets << QStringLiteral("tavrel_version=tavrel_version+1") << QStringLiteral("tavrel_desk=?")
         << QStringLiteral("tavrel_desk_token=?");
    params.push_back(desk_);
    params.push_back(deskToken_);
    params.push_back(QVariant(id));
    params.push_back(QVariant(row[versionSlot].toLongLong()));
    const pg::Result r =
        run(QStringLiteral("UPDATE %1 SET %2 WHERE rowid=? AND tavrel_version=? RETURNING tavrel_version")
                .arg(table.quotedName, sets.join(QLatin1Char(','))),
            params);
    if (r.rows.empty())
        return false;
    row[versionSlot] = r.rows.front().front();
    copyWrote(table, id, &row);
    return true;
}

bool PgConnection::removeRow(const OpenTable& table, qint64 id, const Row& asRead) {
    const qint64 version = asRead.empty() ? 0 : asRead.back().toLongLong();
    if (canKeep(table, false, {})) {
        KeptWrite removal{&table, KeptWrite::Kind::Remove, id, version, 0, asRead};  // before a flush changes what it refers to
        auto& index = keptIndex_[&table];
        if (index.count(id))
            flush();  // its earlier write goes first
        keptIndex_[&table][id] = kept_.size();
        kept_.push_back(std::move(removal));
        copyWrote(table, id, nullptr);
        return true;
    }
    flush();
    commitWithoutWaiting();
    const pg::Result r = run(QStringLiteral("DELETE FROM %1 WHERE rowid=? AND tavrel_version=?").arg(table.quotedName),
                             {QVariant(id), QVariant(version)});
    if (r.affected == 0)
        return false;
    copyWrote(table, id, nullptr);
    return true;
}

Row PgConnection::readCurrent(const OpenTable& table, qint64 id, QString* desk) {
    flush();
    const pg::Result r = run(QStringLiteral("SELECT %1, tavrel_desk FROM %2 WHERE rowid=?").arg(table.rowColumns(), table.quotedName),
                             {QVariant(id)});
    if (r.rows.empty())
        return {};
    const pg::ResultRow& found = r.rows.front();
    Row row(table.fields.size() + 1);
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        QVariant v = found[i + 1];
        if (table.fields[i].kind == FieldKind::Boolean)
            v = QVariant(v.isValid() && v.toBool());
        row[i] = v;
    }
    row.back() = QVariant(found[table.fields.size() + 1].toLongLong());
    if (desk)
        *desk = found.back().toString();
    return row;
}

// ---- sending what was kept ---------------------------------------------------

void PgConnection::flush() {
    if (kept_.empty())
        return;
    std::vector<KeptWrite> writes = std::move(kept_);
    kept_.clear();
    keptIndex_.clear();
    sendKept(writes);
}

void PgConnection::sendKept(std::vector<KeptWrite>& writes) {
    // Nothing of the batch is stored when it cannot even begin.
    const auto beginning = [&](const std::function<void()>& begin) {
        try {
            begin();
        } catch (const EngineError& e) {
            if (e.kind() == ErrorKind::ServerUnreachable)
                storeAfterReconnecting(e, std::move(writes));
            EngineError told = e;
            nameNotStored(told, writes, 0);
            throw told;
        }
    };
    beginning([this] { commitWithoutWaiting(); });
    // The batch is stored whole or not at all, so that a record refused in
    // it leaves nothing of it behind (see sendOneByOne).
    const bool nested = session_->inTransaction();
    const auto step = [this](const char* sql) {
        try {
            session_->exec(QString::fromLatin1(sql));
        } catch (const EngineError& e) {
            rethrow(e);
        }
    };
    for (int tries = 1;; ++tries) {
        beginning([&] { step(nested ? "SAVEPOINT tavrel_batch" : "BEGIN"); });
        try {
            // Nobody waits on this batch's locks while a clerk reads a
            // question: the questions wait until it is committed.
            askLater_ = !nested;
            sendGrouped(writes);
            askLater_ = false;
            if (beforeBatchCommit_) {
                const std::function<void()> hook = beforeBatchCommit_;  // may replace itself
                hook();
            }
            step(nested ? "RELEASE SAVEPOINT tavrel_batch" : "COMMIT");
            break;
        } catch (const EngineError& e) {
            askLater_ = false;
            asked_.clear();
            replaced_.clear();  // the records stored again went with the batch
            if (e.kind() == ErrorKind::ServerUnreachable)
                storeAfterReconnecting(e, std::move(writes));
            step(nested ? "ROLLBACK TO SAVEPOINT tavrel_batch" : "ROLLBACK");
            if (worthRetrying(e) && tries < BatchTries)
                continue;  // another desk's moment: the same batch again
            if (worthRetrying(e) || waitedTooLong(e) || writes.size() == 1) {
                EngineError told = e;
                nameNotStored(told, writes, 0);
                throw told;
            }
            try {
                sendOneByOne(writes);
            } catch (const EngineError&) {
                tellReplaced();  // those stored before the refused one stay
                throw;
            }
            break;
        }
    }
    try {
        settleAsked();
    } catch (const EngineError&) {
        tellReplaced();
        throw;
    }
    tellReplaced();
}

// The writes of a committed batch that wait for the clerk's answer, in the
// order the loop made them. What the clerk stops is named as not stored.
void PgConnection::settleAsked() {
    std::vector<KeptWrite> writes = std::move(asked_);
    asked_.clear();
    for (std::size_t i = 0; i < writes.size(); ++i) {
        try {
            if (writes[i].kind == KeptWrite::Kind::Remove)
                settleRemoval(writes[i]);
            else
                settle(writes[i]);
        } catch (EngineError& e) {
            nameNotStored(e, writes, i);
            throw;
        }
    }
}

void PgConnection::tellReplaced() {
    const auto replaced = std::move(replaced_);
    replaced_.clear();
    for (const auto& [table, oldId, newId] : replaced)
        tellIdReplaced(*table, oldId, newId);
}

// Inserts first (an update of a kept insert was folded into it), then
// updates, then deletions; each table and set of fields in one statement.
void PgConnection::sendGrouped(std::vector<KeptWrite>& writes) {
    for (const KeptWrite::Kind kind : {KeptWrite::Kind::Insert, KeptWrite::Kind::Update, KeptWrite::Kind::Remove}) {
        std::map<std::pair<const OpenTable*, quint64>, std::vector<const KeptWrite*>> groups;
        for (const KeptWrite& w : writes)
            if (w.kind == kind)
                groups[{w.table, w.fieldMask}].push_back(&w);
        for (const auto& [key, group] : groups) {
            if (kind == KeptWrite::Kind::Insert)
                sendInserts(*key.first, key.second, group);
            else if (kind == KeptWrite::Kind::Update)
                sendUpdates(*key.first, key.second, group);
            else
                sendRemovals(*key.first, group);
            if (afterBatchStatement_) {
                const std::function<void()> hook = afterBatchStatement_;  // may replace itself
                hook();
            }
        }
    }
}

// A record of the batch was refused, and with it the batch. The loop keeps
// what it did before that record, as it would have had each write been sent
// at once: the writes go again one by one in the order the loop made them,
// and the first one refused ends the loop with its own error. What came
// after it is not stored; the results read the table again.
void PgConnection::sendOneByOne(std::vector<KeptWrite>& writes) {
    bumpGeneration();
    copies_.clear();
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const KeptWrite& write = writes[i];
        const std::vector<const KeptWrite*> one{&write};
        try {
            if (write.kind == KeptWrite::Kind::Insert)
                sendInserts(*write.table, write.fieldMask, one);
            else if (write.kind == KeptWrite::Kind::Update)
                sendUpdates(*write.table, write.fieldMask, one);
            else
                sendRemovals(*write.table, one);
        } catch (EngineError& e) {
            if (e.kind() == ErrorKind::ServerUnreachable)
                storeAfterReconnecting(e, std::vector<KeptWrite>(writes.begin() + std::ptrdiff_t(i), writes.end()));
            nameNotStored(e, writes, i);
            throw;
        }
    }
}

// A loop's writes are committed without waiting for the disk; its last
// commit waits, and with it every one before (endWriteGroup).
void PgConnection::commitWithoutWaiting() {
    if (asyncCommits_ || writeGroups_ == 0)
        return;
    try {
        session_->exec(QStringLiteral("SET synchronous_commit TO off"));
    } catch (const EngineError& e) {
        rethrow(e);
    }
    asyncCommits_ = true;
}

void PgConnection::sendRemovals(const OpenTable& table, const std::vector<const KeptWrite*>& writes) {
    std::vector<QVariant> ids, versions;
    for (const KeptWrite* w : writes) {
        ids.push_back(QVariant(w->id));
        versions.push_back(QVariant(w->version));
    }
    const pg::Result r = run(QStringLiteral("DELETE FROM %1 AS t USING unnest(?::bigint[], ?::bigint[]) AS v(id, ver) "
                                            "WHERE t.rowid=v.id AND t.tavrel_version=v.ver RETURNING t.rowid")
                                 .arg(table.quotedName),
                             {array(std::move(ids)), array(std::move(versions))});
    settleMissing(r, writes, &PgConnection::settleRemoval);
}

// A kept deletion found the record changed by another desk (a record
// already gone is what was wanted; one stored again unchanged is deleted
// without a question). The clerk sees the record as it was read against
// what the other desk stored.
void PgConnection::settleRemoval(const KeptWrite& write) {
    const OpenTable& table = *write.table;
    for (int round = 0; round < SettleRounds; ++round) {
        Conflict conflict = conflictOver(write);
        if (conflict.gone())
            return;
        copies_.erase(table.sqlName);
        conflict.contested = differingFields(write.row, conflict.theirs, table.fields.size());
        if (!conflict.contested.empty()) {
            if (askLater_) {
                asked_.push_back(write);
                return;
            }
            if (askInConflict(conflict) == ConflictChoice::TakeTheirs)
                return;
        }
        const pg::Result r = run(QStringLiteral("DELETE FROM %1 WHERE rowid=? AND tavrel_version=?").arg(table.quotedName),
                                 {QVariant(write.id), conflict.theirs.back()});
        if (r.affected > 0)
            return;
    }
    throw EngineError(ErrorKind::ChangedElsewhere, table.fileName, QString(),
                      QStringLiteral("The record was changed again by another desk while it was being deleted."));
}

void PgConnection::sendInserts(const OpenTable& table, quint64 mask, const std::vector<const KeptWrite*>& writes) {
    const std::vector<int> fields = fieldsOfMask(mask);
    QStringList columns{QStringLiteral("rowid")};
    QStringList arrays{QStringLiteral("?::bigint[]")};
    std::vector<QVariant> ids;
    for (const KeptWrite* w : writes)
        ids.push_back(QVariant(w->id));
    std::vector<QVariant> params{QVariant(desk_), QVariant(deskToken_), array(std::move(ids))};
    for (int f : fields) {
        columns << table.quotedFields[std::size_t(f)];
        arrays << QStringLiteral("?::") + arrayType(table.fields[std::size_t(f)].kind);
        std::vector<QVariant> values;
        for (const KeptWrite* w : writes)
            values.push_back(w->row[std::size_t(f)]);
        params.push_back(array(std::move(values)));
    }
    // The desk's parameters come first in the text, then the arrays.
    run(QStringLiteral("INSERT INTO %1 (%2, tavrel_desk, tavrel_desk_token) SELECT v.*, ?::text, ?::text FROM unnest(%3) AS v")
            .arg(table.quotedName, columns.join(QLatin1Char(',')), arrays.join(QLatin1Char(','))),
        params);
}

void PgConnection::sendUpdates(const OpenTable& table, quint64 mask, const std::vector<const KeptWrite*>& writes) {
    const std::vector<int> fields = fieldsOfMask(mask);
    QStringList sets;
    QStringList arrays{QStringLiteral("?::bigint[]"), QStringLiteral("?::bigint[]")};
    QStringList names{QStringLiteral("id"), QStringLiteral("ver")};
    std::vector<QVariant> ids, versions;
    for (const KeptWrite* w : writes) {
        ids.push_back(QVariant(w->id));
        versions.push_back(QVariant(w->version));
    }
    std::vector<QVariant> params{QVariant(desk_), QVariant(deskToken_), array(std::move(ids)), array(std::move(versions))};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int f = fields[i];
        const QString name = QStringLiteral("c%1").arg(i);
        sets << QStringLiteral("%1=v.%2").arg(table.quotedFields[std::size_t(f)], name);
        arrays << QStringLiteral("?::") + arrayType(table.fields[std::size_t(f)].kind);
        names << name;
        std::vector<QVariant> values;
        for (const KeptWrite* w : writes)
            values.push_back(w->row[std::size_t(f)]);
        params.push_back(array(std::move(values)));
    }
    const pg::Result r = run(
        QStringLiteral("UPDATE %1 AS t SET %2, tavrel_version=t.tavrel_version+1, tavrel_desk=?, tavrel_desk_token=? "
                       "FROM unnest(%3) AS v(%4) "
                       "WHERE t.rowid=v.id AND t.tavrel_version=v.ver RETURNING t.rowid")
            .arg(table.quotedName, sets.join(QLatin1Char(',')), arrays.join(QLatin1Char(',')), names.join(QLatin1Char(','))),
        params);
    settleMissing(r, writes, &PgConnection::settle);
}

// The writes whose records the statement did not return (changed or
// deleted by another desk meanwhile) are settled one by one.
void PgConnection::settleMissing(const pg::Result& done, const std::vector<const KeptWrite*>& writes,
                                 void (PgConnection::*settleOne)(const KeptWrite&)) {
    if (std::size_t(done.rows.size()) == writes.size())
        return;
    std::unordered_set<qint64> returned;
    for (const pg::ResultRow& row : done.rows)
        returned.insert(row.front().toLongLong());
    bumpGeneration();
    for (const KeptWrite* w : writes)
        if (!returned.count(w->id))
            (this->*settleOne)(*w);
}

Conflict PgConnection::conflictOver(const KeptWrite& write) {
    const OpenTable& table = *write.table;
    Conflict conflict;
    conflict.table = table.fileName;
    for (const FieldInfo& f : table.fields)
        conflict.fields << f.name;
    conflict.id = write.id;
    conflict.asRead = write.kind == KeptWrite::Kind::Remove ? write.row : write.asRead;
    conflict.mine = write.row;
    conflict.deleting = write.kind == KeptWrite::Kind::Remove;
    conflict.theirs = readCurrent(table, write.id, &conflict.theirDesk);
    return conflict;
}

// A kept write found the record changed or deleted by another desk. Fields
// only one desk changed merge; where both changed a field, or the record is
// gone, the clerk settles it (after the batch is committed).
void PgConnection::settle(const KeptWrite& write) {
    const OpenTable& table = *write.table;
    KeptWrite again = write;
    std::vector<int> written = fieldsOfMask(write.fieldMask);
    for (int round = 0; round < SettleRounds; ++round) {
        Conflict conflict = conflictOver(again);
        copies_.erase(table.sqlName);
        if (!conflict.gone())
            conflict.contested = contestedFields(again.asRead, again.row, conflict.theirs, written);
        if (conflict.gone() || !conflict.contested.empty()) {
            if (askLater_) {
                asked_.push_back(again);
                return;
            }
            if (askInConflict(conflict) == ConflictChoice::TakeTheirs) {
                if (conflict.gone())
                    return;
                written = withoutFields(written, conflict.contested);
                if (written.empty())
                    return;
            }
        }
        if (storeSettled(again, conflict, written))
            return;
        // Changed again meanwhile: settled against what is stored now.
        again.asRead = conflict.theirs;
        again.version = conflict.theirs.back().toLongLong();
        again.row = mergedRow(conflict.theirs, again.row, written);
    }
    throw EngineError(ErrorKind::ChangedElsewhere, table.fileName, QString(),
                      QStringLiteral("The record was changed again by another desk while it was being stored."));
}

// Stores this desk's fields over the other desk's record, or the record again
// under a new id when it is gone; false when it changed once more.
bool PgConnection::storeSettled(const KeptWrite& write, const Conflict& conflict, const std::vector<int>& written) {
    const OpenTable& table = *write.table;
    const int groups = writeGroups_;
    writeGroups_ = 0;  // stored at once, not kept
    const auto restore = qScopeGuard([&] { writeGroups_ = groups; });
    Row mine = write.row;
    if (conflict.gone()) {
        std::vector<int> fields;
        for (std::size_t i = 0; i < table.fields.size(); ++i)
            if (mine[i].isValid())
                fields.push_back(int(i));
        replaced_.emplace_back(&table, write.id, insertRow(table, fields, mine));
        return true;
    }
    mine.back() = conflict.theirs.back();
    return updateRow(table, write.id, written, mine, conflict.theirs);
}

// ---- groups -----------------------------------------------------------------

void PgConnection::beginWriteGroup() {
    if (writeGroups_++ > 0)
        return;
    groupStartedMs_ = nowMs();
    beginBulkQuestions();
}

void PgConnection::endWriteGroup() {
    if (writeGroups_ == 0 || --writeGroups_ > 0)
        return;
    // The last batch's conflicts are still the command's.
    const auto questionsEnd = qScopeGuard([this] { endBulkQuestions(); });
    copies_.clear();
    freeIds_.clear();
    if (!asyncCommits_) {
        flush();
        return;
    }
    // What is kept goes without waiting for the disk; however that ends,
    // the session's later commits wait for it again.
    try {
        flush();
    } catch (const EngineError&) {
        commitWaitingAgain();
        throw;
    }
    commitWaitingAgain();
    // A commit that waits for the disk, and so for every commit before it.
    run(QStringLiteral("SELECT txid_current()"));
}

void PgConnection::commitWaitingAgain() {
    try {
        session_->exec(QStringLiteral("SET synchronous_commit TO DEFAULT"));
    } catch (const EngineError& e) {
        rethrow(e);  // a session lost takes the setting with it (restart)
    }
    asyncCommits_ = false;
}

void PgConnection::wrote() {
    if (writeGroups_ == 0)
        return;
    if (kept_.size() >= MaxKeptWrites || nowMs() - groupStartedMs_ >= SendIntervalMs) {
        flush();
        groupStartedMs_ = nowMs();
    }
}

// ---- lookups from a copy ------------------------------------------------------

PgConnection::TableCopy* PgConnection::copyOf(const OpenTable& table) {
    auto it = copies_.find(table.sqlName);
    if (it != copies_.end())
        return it->second->usable ? it->second.get() : nullptr;
    auto copy = std::make_unique<TableCopy>();
    flush();
    const pg::Result r = run(QStringLiteral("SELECT %1 FROM %2 LIMIT %3").arg(table.rowColumns(), table.quotedName).arg(MaxCopiedRows + 1));
    if (int(r.rows.size()) > MaxCopiedRows) {
        copy->usable = false;
    } else {
        for (const pg::ResultRow& found : r.rows) {
            Row row(found.begin() + 1, found.end());
            for (std::size_t i = 0; i < table.fields.size(); ++i)
                if (table.fields[i].kind == FieldKind::Boolean)
                    row[i] = QVariant(row[i].isValid() && row[i].toBool());
            copy->rows.emplace(found.front().toLongLong(), std::move(row));
        }
    }
    TableCopy* made = copy->usable ? copy.get() : nullptr;
    copies_[table.sqlName] = std::move(copy);
    return made;
}

void PgConnection::copyWrote(const OpenTable& table, qint64 id, const Row* row) {
    const auto it = copies_.find(table.sqlName);
    if (it == copies_.end() || !it->second->usable)
        return;
    if (!row) {
        it->second->put(id, nullptr);
        return;
    }
    Row stored = *row;
    for (std::size_t i = 0; i < table.fields.size(); ++i)
        if (table.fields[i].kind == FieldKind::Boolean)
            stored[i] = QVariant(stored[i].isValid() && stored[i].toBool());
    it->second->put(id, &stored);
}

void PgConnection::forgetCopies(const QString& sqlName) {
    if (sqlName.isEmpty())
        copies_.clear();
    else
        copies_.erase(sqlName);
}

const SqlDialect& PgConnection::dialect() const { return postgresDialect(); }

std::optional<Connection::Found> PgConnection::answerFromMemory(const OpenTable& table, const Lookup& lookup) {
    if (writeGroups_ == 0 || lookup.empty())
        return std::nullopt;
    TableCopy* copy = copyOf(table);
    if (!copy)
        return std::nullopt;
    std::map<int, QVariant> byField;
    for (const auto& [field, value] : lookup) {
        const auto [it, added] = byField.emplace(field, value);
        if (!added && it->second != value)
            return Found{};  // one field, two values
    }
    std::vector<int> fields;
    Row probe(table.fields.size() + 1);
    for (const auto& [field, value] : byField) {
        fields.push_back(field);
        probe[std::size_t(field)] = value;
    }
    const auto& index = copy->index(maskOf(fields));
    const auto ids = index.constFind(lookupKey(probe, fields));
    Found found;
    if (ids != index.constEnd())
        for (qint64 id : ids.value())
            found.emplace_back(id, copy->rows.at(id));
    return found;
}

}  // namespace data
