#include "data/server/pg_connection.h"

#include "data/core/errors.h"
#include "data/core/open_table.h"
#include "data/server/pg_write_values.h"

#include <QScopeGuard>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <unordered_set>

// The writes a loop keeps back, sent together: in one transaction per batch,
// tried again after a deadlock, one by one after a refused record; and the
// records another desk changed meanwhile, merged or settled by the clerk.
namespace data {

using namespace pgwrites;

// ---- sending what was kept ---------------------------------------------------

void PgConnection::flush() {
    finishEarly();
    if (kept_.empty())
        return;
    std::vector<KeptWrite> writes = std::move(kept_);
    kept_.clear();
    keptIndex_.clear();
    if (keyedInsertsHeld_)
        return sendHeldBatch(writes);
    sendKept(writes);
}

// A loop walking a table reads the records ahead of it while the writes of
// those behind it are kept back or on their way: that read need not wait
// for them. Any read of a record written, and every other statement, first
// sends what was kept (flush), so that it finds what the loop wrote.
void PgConnection::flushBeforeReading(const OpenTable& table, bool range, const std::vector<QVariant>& ids) {
    const auto written = keptIndex_.find(&table);
    if (written == keptIndex_.end())
        return;
    const auto& kept = written->second;
    const bool touched = range ? keptWithin(table, ids.at(0).toLongLong(), ids.at(1).toLongLong())
                               : std::any_of(ids.begin(), ids.end(), [&](const QVariant& id) { return kept.count(id.toLongLong()) > 0; });
    if (touched)
        flush();
}

bool PgConnection::keptWithin(const OpenTable& table, qint64 firstId, qint64 lastId) const {
    const auto written = keptIndex_.find(&table);
    return written != keptIndex_.end() && std::any_of(written->second.begin(), written->second.end(), [&](const auto& entry) {
               return entry.first >= firstId && entry.first <= lastId;
           });
}

// ---- sending early ----------------------------------------------------------

// Inside a loop, updates of one table and the same fields go as soon as
// enough of them are kept, as one statement that is a transaction of its
// own (stored whole or not at all), and the loop goes on while the server
// stores them. The answer is taken before anything else goes on the session,
// and whenever it has come, at the loop's next write. A failed statement
// goes on as a failed batch does (sendKept); the records it did not find as
// they were read go again as a batch of their own, where they are settled.
bool PgConnection::canSendEarly() const {
    if (!inFlight_.empty() || readAheadInFlight_ || kept_.size() < earlyBatchRows_ || session_->inTransaction() || beforeBatchCommit_ ||
        afterBatchStatement_)
        return false;
    const KeptWrite& first = kept_.front();
    return std::all_of(kept_.begin(), kept_.end(), [&](const KeptWrite& w) {
        return w.kind == KeptWrite::Kind::Update && w.table == first.table && w.fieldMask == first.fieldMask;
    });
}

// Inserts held back with a key go early only when the loop says (sendHeldAhead):
// new records of one table and the same fields.
bool PgConnection::canSendHeldEarly() const {
    if (!keyedInsertsHeld_ || kept_.empty() || !inFlight_.empty() || readAheadInFlight_ || session_->inTransaction() || beforeBatchCommit_ ||
        afterBatchStatement_)
        return false;
    const KeptWrite& first = kept_.front();
    return std::all_of(kept_.begin(), kept_.end(), [&](const KeptWrite& w) {
        return w.kind == KeptWrite::Kind::Insert && w.table == first.table && w.fieldMask == first.fieldMask;
    });
}

void PgConnection::sendEarly() {
    // The first records kept go; the rest follows once they are stored.
    std::vector<KeptWrite> writes;
    if (kept_.size() <= earlyBatchMaxRows_) {
        writes = std::move(kept_);
        kept_.clear();
        keptIndex_.clear();
    } else {
        const auto end = kept_.begin() + std::ptrdiff_t(earlyBatchMaxRows_);
        writes.assign(std::make_move_iterator(kept_.begin()), std::make_move_iterator(end));
        kept_.erase(kept_.begin(), end);
        keptIndex_.clear();
        for (std::size_t i = 0; i < kept_.size(); ++i)
            keptIndex_[kept_[i].table][kept_[i].id] = i;
    }
    std::vector<const KeptWrite*> group;
    group.reserve(writes.size());
    for (const KeptWrite& w : writes)
        group.push_back(&w);
    auto [sql, params] = writes.front().kind == KeptWrite::Kind::Insert
                             ? insertStatement(*writes.front().table, writes.front().fieldMask, group)
                             : updateStatement(*writes.front().table, writes.front().fieldMask, group);
    try {
        commitWithoutWaiting();
        session_->send(sql, params, [this] { finishEarly(); });
    } catch (const EngineError&) {
        sendKept(writes);  // meets the failure again and tells what it leaves
        return;
    }
    inFlight_ = std::move(writes);
}

void PgConnection::finishEarly() {
    if (inFlight_.empty())
        return;
    std::vector<KeptWrite> writes = std::move(inFlight_);
    inFlight_.clear();
    // What the loop kept since waits: the batch sent goes first, as it would
    // have had the loop waited for it.
    std::vector<KeptWrite> later = std::move(kept_);
    auto laterIndex = std::move(keptIndex_);
    kept_.clear();
    keptIndex_.clear();
    try {
        std::optional<pg::Result> done;
        std::optional<EngineError> failed;
        try {
            done = session_->takeAnswer();
        } catch (const EngineError& e) {
            failed = e;
        }
        if (failed) {
            // Sent again with what the loop kept since, as one batch would
            // have been had the loop waited: tried again, stored after a
            // reconnect, or named.
            for (KeptWrite& w : later)
                writes.push_back(std::move(w));
            later.clear();
            laterIndex.clear();
            if (keyedInsertsHeld_ && writes.front().kind == KeptWrite::Kind::Insert)
                sendHeldBatch(writes, &*failed);  // told to the loop, whoever took the answer
            else
                sendKept(writes, &*failed);
        } else if (writes.front().kind == KeptWrite::Kind::Update && done->rows.size() != writes.size()) {
            std::unordered_set<qint64> returned;
            for (const pg::ResultRow& row : done->rows)
                returned.insert(row.front().toLongLong());
            std::vector<KeptWrite> missing;
            for (KeptWrite& w : writes)
                if (!returned.count(w.id))
                    missing.push_back(std::move(w));
            bumpGeneration();
            sendKept(missing);
        }
    } catch (EngineError& e) {
        // The loop went on past the batch that failed: what it wrote since
        // is not stored either, and the results read the table again.
        if (!later.empty()) {
            nameNotStored(e, later, 0);
            bumpGeneration();
            forgetCopies(QString());
        }
        throw;
    }
    kept_ = std::move(later);
    keptIndex_ = std::move(laterIndex);
}

void PgConnection::sendKept(std::vector<KeptWrite>& writes, const EngineError* earlyFailure) {
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
    if (!earlyFailure)
        beginning([this] { commitWithoutWaiting(); });
    // The batch is stored whole or not at all, so that a record refused in
    // it leaves nothing of it behind (see sendOneByOne).
    const bool nested = !earlyFailure && session_->inTransaction();
    const auto step = [this](const char* sql) {
        try {
            session_->exec(QString::fromLatin1(sql));
        } catch (const EngineError& e) {
            rethrow(e);
        }
    };
    for (int tries = 1;; ++tries) {
        // The statement sent early failed by itself: its transaction is over.
        const bool early = earlyFailure && tries == 1;
        if (!early)
            beginning([&] { step(nested ? "SAVEPOINT tavrel_batch" : "BEGIN"); });
        try {
            if (early)
                throw *earlyFailure;
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
            if (!early)
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
    forgetCopies(QString());
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
        forgetCopies(table.sqlName);
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
    const auto [sql, params] = insertStatement(table, mask, writes);
    run(sql, params);
}

std::pair<QString, std::vector<QVariant>> PgConnection::insertStatement(const OpenTable& table, quint64 mask,
                                                                        const std::vector<const KeptWrite*>& writes) const {
    const std::vector<int> fields = fieldsOfMask(mask);
    QStringList columns{QStringLiteral("tavrel_desk"), QStringLiteral("tavrel_desk_token"), QStringLiteral("rowid")};
    QStringList arrays{QStringLiteral("unnest(?::bigint[])")};
    std::vector<QVariant> ids;
    for (const KeptWrite* w : writes)
        ids.push_back(QVariant(w->id));
    std::vector<QVariant> params{QVariant(desk_), QVariant(deskToken_), array(std::move(ids))};
    for (int f : fields) {
        columns << table.quotedFields[std::size_t(f)];
        arrays << QStringLiteral("unnest(?::%1)").arg(arrayType(table.fields[std::size_t(f)].kind));
        std::vector<QVariant> values;
        for (const KeptWrite* w : writes)
            values.push_back(w->row[std::size_t(f)]);
        params.push_back(array(std::move(values)));
    }
    // The arrays are taken apart side by side in the select list, a row at a
    // time: unnest in FROM would first copy each of them out whole, which
    // cost the server about a third of the statement.
    return {QStringLiteral("INSERT INTO %1 (%2) SELECT ?::text, ?::text, %3")
                .arg(table.quotedName, columns.join(QLatin1Char(',')), arrays.join(QLatin1Char(','))),
            std::move(params)};
}

void PgConnection::sendUpdates(const OpenTable& table, quint64 mask, const std::vector<const KeptWrite*>& writes) {
    const auto [sql, params] = updateStatement(table, mask, writes);
    const pg::Result r = run(sql, params);
    settleMissing(r, writes, &PgConnection::settle);
}

std::pair<QString, std::vector<QVariant>> PgConnection::updateStatement(const OpenTable& table, quint64 mask,
                                                                        const std::vector<const KeptWrite*>& writes) const {
    const std::vector<int> fields = fieldsOfMask(mask);
    QStringList sets;
    QStringList columns{QStringLiteral("unnest(?::bigint[]) AS id"), QStringLiteral("unnest(?::bigint[]) AS ver")};
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
        columns << QStringLiteral("unnest(?::%1) AS %2").arg(arrayType(table.fields[std::size_t(f)].kind), name);
        std::vector<QVariant> values;
        for (const KeptWrite* w : writes)
            values.push_back(w->row[std::size_t(f)]);
        params.push_back(array(std::move(values)));
    }
    // Taken apart in a select list, as the inserts are.
    return {QStringLiteral("UPDATE %1 AS t SET %2, tavrel_version=t.tavrel_version+1, tavrel_desk=?, tavrel_desk_token=? "
                           "FROM (SELECT %3) AS v "
                           "WHERE t.rowid=v.id AND t.tavrel_version=v.ver RETURNING t.rowid")
                .arg(table.quotedName, sets.join(QLatin1Char(',')), columns.join(QLatin1Char(','))),
            std::move(params)};
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
        forgetCopies(table.sqlName);
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

}  // namespace data
