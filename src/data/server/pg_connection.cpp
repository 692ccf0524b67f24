#include "data/server/pg_connection.h"

#include "data/core/open_table.h"
#include "data/core/table_copy.h"
#include "data/core/errors.h"
#include "data/server/pg_dialect.h"
#include "data/server/pg_write_values.h"

#include <QScopeGuard>
#include <QStringList>
#include <unordered_set>

namespace data {

using namespace pgwrites;

namespace {

// Writes kept back are sent at least this often, and when this many wait.
constexpr qint64 SendIntervalMs = 200;
constexpr std::size_t MaxKeptWrites = 2000;
constexpr int IdsPerRequest = 256;

}  // namespace

// ---- statements -------------------------------------------------------------

class PgStatement : public Statement {
public:
    PgStatement(PgConnection& connection, QString sql) : connection_(connection), sql_(std::move(sql)) {}

    void reset() override {
        executed_ = false;
        position_ = -1;
        rows_ = {};
        parameters_.clear();
    }
    void bind(int index, const QVariant& value) override {
        if (int(parameters_.size()) < index)
            parameters_.resize(std::size_t(index));
        parameters_[std::size_t(index - 1)] = value;
    }
    void bindInt(int index, qint64 value) override { bind(index, QVariant(value)); }
    // Marks the statement as a read of the table's records by their ids
    // (prepareRowRead): by the ids bound, or by the range they give.
    void readsRowsOf(const OpenTable& table, bool range) {
        rowsOf_ = &table;
        range_ = range;
    }
    bool step() override {
        if (!executed_) {
            if (rowsOf_)
                connection_.flushBeforeReading(*rowsOf_, range_, parameters_);
            else
                connection_.flush();
            std::optional<pg::Rows> ahead;
            if (rowsOf_ && range_)
                ahead = connection_.rowsReadAhead(*rowsOf_, parameters_.at(0).toLongLong(), parameters_.at(1).toLongLong());
            rows_ = ahead ? std::move(*ahead) : connection_.runRows(sql_, parameters_);
            executed_ = true;
            position_ = -1;
        }
        return ++position_ < rows_.count();
    }
    int columnCount() const override { return rows_.count() == 0 ? 0 : rows_.columns(); }
    QVariant column(int index) const override { return rows_.value(position_, index); }
    QVariant column(int index, TextCache& texts) const override {
        if (rows_.kind(index) != pg::Rows::Kind::Text || rows_.isNull(position_, index))
            return column(index);
        return texts.text(rows_.bytes(position_, index), rows_.length(position_, index));
    }
    qint64 columnInt(int index) const override {
        if (rows_.kind(index) == pg::Rows::Kind::Integer)
            return rows_.integer(position_, index);
        return column(index).toLongLong();
    }
    void record(const OpenTable& table, Row& into) override;

private:
    PgConnection& connection_;
    QString sql_;
    std::vector<QVariant> parameters_;
    const OpenTable* rowsOf_ = nullptr;
    bool range_ = false;
    pg::Rows rows_;
    bool executed_ = false;
    int position_ = -1;
};


// The values in the kinds the fields want are taken straight from the
// answer, the rest as column() takes them.
void PgStatement::record(const OpenTable& table, Row& into) {
    readHeldRecord(*this, table, into, [this](int column) {
        if (rows_.isNull(position_, column))
            return HeldValue{HeldValue::As::Null};
        switch (rows_.kind(column)) {
        case pg::Rows::Kind::Boolean:
            return HeldValue{HeldValue::As::Boolean, rows_.boolean(position_, column) ? 1 : 0};
        case pg::Rows::Kind::Integer:
            return HeldValue{HeldValue::As::Integer, rows_.integer(position_, column)};
        case pg::Rows::Kind::Text:
            break;
        }
        return HeldValue{HeldValue::As::Text, 0, rows_.bytes(position_, column), rows_.length(position_, column)};
    });
}

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

pg::Rows PgConnection::runRows(const QString& sql, const std::vector<QVariant>& params) {
    finishEarly();  // its failure is told as it is, not as this statement's
    try {
        return session_->runRows(sql, params);
    } catch (const EngineError& e) {
        rethrow(e);
    }
}

pg::Result PgConnection::run(const QString& sql, const std::vector<QVariant>& params) {
    return pg::Session::resultOf(runRows(sql, params));
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
    EngineError::NotStored notStored;
    notStored.records = int(writes.size() - from);
    for (std::size_t i = from; i < writes.size(); ++i) {
        const KeptWrite& w = writes[i];
        if (w.kind == KeptWrite::Kind::Insert)
            notStored.inserts.emplace_back(w.table->sqlName, w.id);
        if (w.row.empty())
            continue;
        const int field = w.table->fieldIndex(QStringLiteral("批号"));
        if (field >= 0)
            notStored.names << w.row[std::size_t(field)].toString();
    }
    error.addNotStored(notStored);
}

Statement& PgConnection::prepare(const QString& sql) {
    std::shared_ptr<PgStatement>& st = statements_[sql];
    if (!st)
        st = std::make_shared<PgStatement>(*this, sql);
    st->reset();
    return *st;
}

Statement& PgConnection::prepareRowRead(const OpenTable& table, int count) {
    auto& st = static_cast<PgStatement&>(Connection::prepareRowRead(table, count));
    st.readsRowsOf(table, count <= 0);
    return st;
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
    inFlight_.clear();
    readAhead_.reset();
    readAheadInFlight_ = false;
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
        return def->uniqueKey.isEmpty() || keyedInsertsHeld_;
    for (int f : fields)
        if (def->uniqueKey.contains(table.fields[std::size_t(f)].name))
            return false;
    return true;
}

qint64 PgConnection::newId(const OpenTable& table) {
    std::vector<qint64>& free = freeIds_[&table];
    if (free.empty()) {
        // An import asks for ids about as often as it sends its rows.
        requestIds(table, keyedInsertsHeld_ ? 4 * IdsPerRequest : IdsPerRequest);
    }
    const qint64 id = free.back();
    free.pop_back();
    return id;
}

// More ids for new records of the table, taken after those already at hand
// (the last of the list goes first). The sequence is looked up once: named
// in the call to nextval, the lookup went with every id and cost more than
// the id itself.
void PgConnection::requestIds(const OpenTable& table, int count) {
    const pg::Result r = run(QStringLiteral("WITH s AS MATERIALIZED (SELECT pg_get_serial_sequence(?, 'rowid')::regclass AS seq) "
                                            "SELECT nextval(s.seq) FROM s CROSS JOIN generate_series(1, %1)")
                                 .arg(count),
                             {QVariant(table.quotedName)});
    std::vector<qint64> more;
    more.reserve(r.rows.size());
    for (auto it = r.rows.rbegin(); it != r.rows.rend(); ++it)
        more.push_back((*it)[0].toLongLong());
    std::vector<qint64>& free = freeIds_[&table];
    free.insert(free.begin(), more.begin(), more.end());
}

qint64 PgConnection::insertRow(const OpenTable& table, const std::vector<int>& fields, Row& row) {
    const std::size_t versionSlot = table.fields.size();
    if (canKeep(table, true, fields)) {
        if (refusedWhileHeld_) {
            const EngineError refused = std::move(*refusedWhileHeld_);
            refusedWhileHeld_.reset();
            throw refused;
        }
        qint64 id = 0;
        try {
            id = newId(table);  // may take the answer to the batch sent ahead
        } catch (const EngineError&) {
            refusedWhileHeld_.reset();  // told to the loop at this post
            throw;
        }
        row[versionSlot] = QVariant(qint64(1));
        keptIndex_[&table][id] = kept_.size();
        kept_.push_back({&table, KeptWrite::Kind::Insert, id, 1, maskOf(fields), row, {}});
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
        KeptWrite removal{&table, KeptWrite::Kind::Remove, id, version, 0, asRead, {}};  // before a flush changes what it refers to
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

// ---- groups -----------------------------------------------------------------

void PgConnection::beginWriteGroup() {
    if (writeGroups_++ > 0)
        return;
    groupStartedMs_ = steadyMs();
    beginBulkQuestions();
}

void PgConnection::endWriteGroup() {
    if (writeGroups_ == 0 || --writeGroups_ > 0)
        return;
    // The last batch's conflicts are still the command's.
    const auto questionsEnd = qScopeGuard([this] { endBulkQuestions(); });
    takeReadAhead();
    readAhead_.reset();
    keyedInsertsHeld_ = false;
    refusedWhileHeld_.reset();
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

void PgConnection::holdKeyedInserts() {
    if (writeGroups_ > 0)
        keyedInsertsHeld_ = true;
}

// A batch with inserts held back may be sent by whatever reads next, and the
// error it meets then reach the reader instead of the loop: the refusal is
// kept and told to the loop at its next insert or send, so that the loop
// still stops there, with the records not stored named.
void PgConnection::sendHeldBatch(std::vector<KeptWrite>& writes, const EngineError* earlyFailure) {
    try {
        sendKept(writes, earlyFailure);
    } catch (const EngineError& e) {
        refusedWhileHeld_ = e;
        throw;
    }
}

void PgConnection::sendHeld() { sendHeldWrites(false); }

// The inserts held go as one statement the loop does not wait for, once the
// batch sent before them is stored: the loop reads its next rows while the
// server stores these. A key refused among them is found at the loop's next
// write or send, and the records from it on are named as not stored.
void PgConnection::sendHeldAhead() { sendHeldWrites(true); }

void PgConnection::sendHeldWrites(bool ahead) {
    if (refusedWhileHeld_) {
        const EngineError refused = std::move(*refusedWhileHeld_);
        refusedWhileHeld_.reset();
        throw refused;
    }
    try {
        if (ahead) {
            finishEarly();
            if (canSendHeldEarly()) {
                // The ids of the next rows are taken now: asked for while
                // these are on their way, they would wait for them.
                const OpenTable& table = *kept_.front().table;
                if (freeIds_[&table].size() < kept_.size())
                    requestIds(table, std::max(int(kept_.size()), 4 * IdsPerRequest));
                sendEarly();
                return;
            }
        }
        flush();
    } catch (const EngineError&) {
        refusedWhileHeld_.reset();  // told now
        throw;
    }
}

void PgConnection::wrote() {
    if (writeGroups_ == 0)
        return;
    try {
        sendAsTheLoopWrites();
    } catch (const EngineError&) {
        refusedWhileHeld_.reset();  // told to the loop at this write
        throw;
    }
}

void PgConnection::sendAsTheLoopWrites() {
    // Looked for now and then: each look reads the socket.
    if (kept_.size() % 16 == 0) {
        if (!inFlight_.empty() && session_->answerArrived())
            finishEarly();
        else if (readAheadInFlight_ && session_->answerArrived())
            takeReadAhead();
        sendReadAhead();  // when it waited for a batch, and the batch is stored
    }
    // Inserts held back with a key go when the loop says (sendHeld), so that
    // a key refused is found between two of its rows.
    const bool due = !keyedInsertsHeld_ && steadyMs() - groupStartedMs_ >= SendIntervalMs;
    if (kept_.size() >= MaxKeptWrites || due) {
        // Sent now; the loop waits only for the batch already on its way
        // (or the read ahead), and goes on while the server stores these.
        finishEarly();
        takeReadAhead();
        if (canSendEarly())
            sendEarly();
        else
            flush();
        groupStartedMs_ = steadyMs();
    } else if (canSendEarly()) {
        sendEarly();
    }
}

// ---- lookups from a copy ------------------------------------------------------

TableCopy* PgConnection::copyOf(const OpenTable& table) {
    auto it = copies_.find(table.sqlName);
    if (it != copies_.end())
        return it->second->usable ? it->second.get() : nullptr;
    auto copy = std::make_unique<TableCopy>();
    flush();
    const pg::Result r = run(QStringLiteral("SELECT %1 FROM %2 LIMIT %3").arg(table.rowColumns(), table.quotedName).arg(TableCopy::MaxRows + 1));
    if (int(r.rows.size()) > TableCopy::MaxRows) {
        copy->usable = false;
    } else {
        for (const pg::ResultRow& found : r.rows) {
            Row row(found.begin() + 1, found.end());
            for (std::size_t i = 0; i < table.fields.size(); ++i)
                if (table.fields[i].kind == FieldKind::Boolean)
                    row[i] = QVariant(row[i].isValid() && row[i].toBool());
            copy->put(found.front().toLongLong(), &row);
        }
    }
    TableCopy* made = copy->usable ? copy.get() : nullptr;
    copies_[table.sqlName] = std::move(copy);
    return made;
}

void PgConnection::copyWrote(const OpenTable& table, qint64 id, const Row* row) {
    wroteRecord(table, id);
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
    // A range read before may be older than what the desk is now told.
    if (readAhead_ && (sqlName.isEmpty() || readAhead_->table->sqlName == sqlName))
        readAhead_->stale = true;
}

const SqlDialect& PgConnection::dialect() const { return postgresDialect(); }

std::optional<Connection::Found> PgConnection::answerFromMemory(const OpenTable& table, const Lookup& lookup) {
    if (writeGroups_ == 0 || lookup.empty())
        return std::nullopt;
    TableCopy* copy = copyOf(table);
    if (!copy)
        return std::nullopt;
    return copy->find(lookup);
}

}  // namespace data
