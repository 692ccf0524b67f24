#include "data/engine/query.h"

#include "data/sql/prepared_select.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace data {

namespace {

constexpr int RowsPerRead = 64;
// A result this small is taken for a lookup.
constexpr std::size_t SmallResultRows = 8;
// Many screens of rows, and few enough that a walk over a large result
// frees the rows it read while they are still near in memory.
constexpr std::size_t MaxCachedRows = 1024;

[[noreturn]] void notEditing() { throw EngineError(QStringLiteral("Dataset not in edit or insert mode.")); }

// Whether a field still holds the value it was read with: the types the
// records hold are compared directly, anything else as QVariant compares.
bool unchanged(const QVariant& now, const QVariant& read) {
    if (now.isValid() != read.isValid())
        return false;
    if (now.typeId() == read.typeId()) {
        switch (now.typeId()) {
        case QMetaType::QString: {
            // A value copied from the record shares its characters with it.
            const QString& a = *static_cast<const QString*>(now.constData());
            const QString& b = *static_cast<const QString*>(read.constData());
            return (a.size() == b.size() && a.constData() == b.constData()) || a == b;
        }
        case QMetaType::LongLong:
            return *static_cast<const qlonglong*>(now.constData()) == *static_cast<const qlonglong*>(read.constData());
        case QMetaType::Bool:
            return *static_cast<const bool*>(now.constData()) == *static_cast<const bool*>(read.constData());
        default:
            break;
        }
    }
    return now == read;
}

bool parseInteger(const QString& text, qint64& out) {
    bool ok = false;
    out = text.trimmed().toLongLong(&ok);
    return ok;
}

}  // namespace

// ---- Field ----------------------------------------------------------------

QString Field::name() const { return query_->fieldName(index_); }
FieldKind Field::kind() const { return query_->fieldKind(index_); }
QVariant Field::value() const { return query_->currentValue(index_); }
bool Field::isNull() const { return !query_->currentValue(index_).isValid(); }

QString Field::asText() const {
    const QVariant& v = query_->currentValue(index_);
    if (!v.isValid())
        return {};
    if (query_->table_->fields[std::size_t(index_)].kind == FieldKind::Boolean)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (v.typeId() == QMetaType::QString)
        return *static_cast<const QString*>(v.constData());
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

qint64 Field::integerOf(const QVariant& v) const {
    if (!v.isValid())
        return 0;
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return *static_cast<const qlonglong*>(v.constData());
    case QMetaType::Bool:
    case QMetaType::Int:
        return v.toLongLong();
    case QMetaType::Double:
        return qint64(std::nearbyint(v.toDouble()));
    default: {
        qint64 n = 0;
        if (!parseInteger(v.toString(), n))
            throw EngineError::notWholeNumber(name(), v.toString());
        return n;
    }
    }
}

bool Field::asBoolean() const {
    const QVariant& v = query_->currentValue(index_);
    if (!v.isValid())
        return false;
    if (v.typeId() == QMetaType::QString)
        return v.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || v.toString() == QLatin1String("1");
    return v.toLongLong() != 0;
}

void Field::setValue(const QVariant& value) { query_->setValue(index_, value); }
void Field::setText(const QString& text) { query_->setValue(index_, QVariant(text)); }

// ---- Query ----------------------------------------------------------------

Query::Query(Engine& engine, QObject* parent) : QObject(parent), engine_(engine) { engine_.addQuery(this); }

Query::~Query() { engine_.removeQuery(this); }


void Query::clearSql() {
    close();
    sqlLines_.clear();
}

void Query::addSql(const QString& line) {
    close();
    sqlLines_ << line;
}

void Query::setSql(const QString& text) {
    close();
    sqlLines_ = QStringList{text};
}

QString Query::tableName() const { return table_ ? table_->fileName : QString(); }

void Query::open() {
    close();
    const std::shared_ptr<const PreparedSelect> prepared = engine_.prepareSelect(sql());
    std::shared_ptr<OpenTable> table = prepared->table;
    const TranslatedCondition& where = prepared->where;

    // Without ORDER BY, SQLite may scan a small covering index instead of the
    // whole table; the ids are put into table order here. A statement that
    // found a row or a few last time (a lookup) reads its rows at once.
    std::vector<qint64> ids;
    std::vector<std::pair<qint64, Row>> rows;
    std::optional<Connection::Found> known = table->connection->answerFromMemory(*table, prepared->lookup);
    if (known) {
        for (const auto& [id, row] : *known)
            ids.push_back(id);
        if (known->size() > std::size_t(RowsPerRead))
            known->resize(std::size_t(RowsPerRead));
    } else {
        const bool readRows = prepared->smallResult;
        Statement& st = table->connection->prepare(readRows ? prepared->rowsSql : prepared->idsSql);
        for (std::size_t i = 0; i < where.parameters.size(); ++i)
            st.bind(int(i) + 1, where.parameters[i]);
        while (st.step()) {
            ids.push_back(st.columnInt(0));
            if (readRows && rows.size() < std::size_t(RowsPerRead))
                rows.emplace_back(ids.back(), readRow(*table, st));
        }
        st.reset();
        prepared->smallResult = ids.size() <= SmallResultRows;
    }
    std::sort(ids.begin(), ids.end());

    table_ = std::move(table);
    ids_ = std::move(ids);
    clearCache();
    cacheGeneration_ = generation();
    for (auto& [id, row] : rows)
        cacheRow(id, std::move(row));
    if (known)
        for (const auto& [id, row] : *known)
            cacheSlot(id) = *row;
    current_ = ids_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = ids_.empty();
    modified_ = false;
    changedElsewhere_ = false;
    state_ = State::Browse;
    emit resultReset();
    emit activeChanged(true);
    emit stateChanged(state_);
    emit currentChanged(recNo());
}

void Query::reopen() {
    const qint64 id = current_ >= 0 && current_ < int(ids_.size()) ? ids_[current_] : 0;
    const int place = recNo();
    open();
    const auto it = std::find(ids_.begin(), ids_.end(), id);
    if (it != ids_.end())
        moveTo(int(it - ids_.begin()) + 1);
    else if (place > 0)
        moveTo(place);
}

void Query::close() {
    if (state_ == State::Inactive)
        return;
    ids_.clear();
    clearCache();
    pending_.clear();
    current_ = -1;
    bof_ = eof_ = true;
    modified_ = false;
    state_ = State::Inactive;
    emit resultReset();
    emit activeChanged(false);
    emit stateChanged(state_);
}

void Query::notOpen() { throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset.")); }

void Query::noSuchField(int index) { throw EngineError(QStringLiteral("Field index %1 out of range.").arg(index)); }

void Query::setState(State state) {
    if (state_ == state)
        return;
    state_ = state;
    emit stateChanged(state_);
}

std::vector<qint64> Query::rowIds() const {
    std::vector<qint64> ids;
    ids.reserve(ids_.size());
    for (qint64 id : ids_)
        if (id != 0)
            ids.push_back(id);
    return ids;
}

int Query::recordCount() const { return int(ids_.size()) - (state_ == State::Insert ? 1 : 0); }

// ---- cursor ---------------------------------------------------------------

void Query::moveCursor(int row, bool atBof, bool atEof) {
    bof_ = atBof;
    eof_ = atEof;
    if (row != current_) {
        current_ = row;
        emit currentChanged(recNo());
    }
}

void Query::first() {
    checkOpen();
    checkBrowseMode();
    moveCursor(ids_.empty() ? -1 : 0, true, ids_.empty());
}

void Query::last() {
    checkOpen();
    checkBrowseMode();
    moveCursor(int(ids_.size()) - 1, ids_.empty(), true);
}

void Query::next() {
    checkOpen();
    checkBrowseMode();
    if (current_ + 1 < int(ids_.size()))
        moveCursor(current_ + 1, false, false);
    else
        eof_ = true;
}

void Query::prior() {
    checkOpen();
    checkBrowseMode();
    if (current_ > 0)
        moveCursor(current_ - 1, false, false);
    else
        bof_ = true;
}

void Query::moveTo(int recNo) {
    checkOpen();
    if (recNo == this->recNo() && !ids_.empty())
        return;
    checkBrowseMode();
    if (ids_.empty())
        return;
    const int row = std::clamp(recNo - 1, 0, int(ids_.size()) - 1);
    moveCursor(row, false, false);
}

// ---- fields ---------------------------------------------------------------


QString Query::fieldName(int index) const {
    checkField(index);
    return table_->fields[index].name;
}

FieldKind Query::fieldKind(int index) const {
    checkField(index);
    return table_->fields[index].kind;
}

int Query::fieldIndex(const QString& name) const { return table_ && isOpen() ? table_->fieldIndex(name) : -1; }

Field Query::field(const QString& name) {
    checkOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError::wrongLayout(table_->fileName, name);
    return Field(*this, index);
}

Field Query::field(int index) {
    checkField(index);
    return Field(*this, index);
}

QVariant Query::value(int index) const {
    checkField(index);
    if (current_ < 0)
        return {};
    return valueAt(current_, index);
}

const QVariant& Query::storedValue(int index) const {
    static const QVariant none;
    checkField(index);
    if (current_ < 0 || current_ >= int(ids_.size()))
        return none;
    if (isEditing())
        return pending_[std::size_t(index)];
    return storedRow(current_)[std::size_t(index)];
}

QVariant Query::valueAt(int row, int index) const {
    if (row < 0 || row >= int(ids_.size()) || index < 0 || index >= fieldCount())
        return {};
    if (isPendingRow(row))
        return pending_[index];
    return storedRow(row)[index];
}

void Query::setValue(int index, const QVariant& value) {
    checkField(index);
    if (!isEditing())
        notEditing();
    QVariant converted = convertForField(index, value);
    if (state_ == State::Edit && !asReadKept_ && !fieldSet_[std::size_t(index)]) {
        fieldSet_[std::size_t(index)] = 1;
        replaced_.emplace_back(index, std::move(pending_[std::size_t(index)]));
    }
    pending_[std::size_t(index)] = std::move(converted);
    modified_ = true;
    emit fieldChanged(index);
}

QVariant Query::convertForField(int index, const QVariant& value) const {
    // The values the loops set most are of the field's own kind already.
    const FieldKind kind = table_->fields[std::size_t(index)].kind;
    if (kind == FieldKind::Integer && value.typeId() == QMetaType::LongLong)
        return value;
    if (kind == FieldKind::Text && value.typeId() == QMetaType::QString)
        return static_cast<const QString*>(value.constData())->isEmpty() ? QVariant() : value;
    if (!value.isValid() || value.isNull())
        return {};
    const bool isText = value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
    switch (table_->fields[index].kind) {
    case FieldKind::Text: {
        QString text;
        if (value.typeId() == QMetaType::Double)
            text = QString::number(value.toDouble(), 'g', 15);
        else if (value.typeId() == QMetaType::Bool)
            text = value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        else
            text = value.toString();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case FieldKind::Integer:
        if (isText) {
            const QString text = value.toString();
            if (text.trimmed().isEmpty())
                return {};
            qint64 n = 0;
            if (!parseInteger(text, n))
                throw EngineError::notWholeNumber(table_->fields[index].name, text);
            return QVariant(n);
        }
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
            // Halves go to the even neighbour (the default rounding mode).
            return QVariant(qint64(std::nearbyint(value.toDouble())));
        }
        return QVariant(value.toLongLong());
    case FieldKind::Boolean:
        if (isText) {
            const QString text = value.toString().trimmed();
            if (text.isEmpty())
                return QVariant(false);
            if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1"))
                return QVariant(true);
            if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || text == QLatin1String("0"))
                return QVariant(false);
            throw EngineError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
        }
        return QVariant(value.toLongLong() != 0);
    }
    return {};
}

// ---- reading rows ---------------------------------------------------------

void Query::clearCache() const {
    while (!cache_.empty() && spareRows_.size() < MaxCachedRows)
        spareRows_.push_back(cache_.extract(cache_.begin()));
    cache_.clear();
    lastRead_ = nullptr;
    lastReadId_ = 0;
}

void Query::cacheRow(qint64 id, Row row) const {
    cacheSlot(id) = std::move(row);
}

Row& Query::cacheSlot(qint64 id) const {
    if (spareRows_.empty())
        return cache_[id];
    auto place = std::move(spareRows_.back());
    spareRows_.pop_back();
    place.key() = id;
    auto inserted = cache_.insert(std::move(place));
    if (!inserted.inserted)
        spareRows_.push_back(std::move(inserted.node));
    return inserted.position->second;
}

void Query::dropStaleRows() const {
    const quint64 now = generation();
    if (now != cacheGeneration_) {
        clearCache();
        cacheGeneration_ = now;
    }
}

const Row& Query::storedRow(int row) const {
    dropStaleRows();
    const qint64 id = ids_[row];
    if (lastRead_ && lastReadId_ == id)
        return *lastRead_;
    auto it = cache_.find(id);
    if (it == cache_.end()) {
        loadRows(row);
        it = cache_.find(id);
        if (it == cache_.end())  // removed from the table meanwhile
            it = cache_.emplace(id, Row(table_->fields.size() + 1)).first;
    }
    lastReadId_ = id;
    lastRead_ = &it->second;
    return it->second;
}

// The ids a read for the row takes: that row's and those after it (or
// before it near the end), as many at once as the store reads best, less
// those cached (all of them when the cache is to be cleared first); and the
// row after the last one looked at.
std::pair<std::vector<qint64>, int> Query::idsToRead(int row, bool cacheCleared) const {
    const int perRead = table_->connection->rowsPerRead();
    int start = row;
    if (start + perRead > int(ids_.size()))
        start = std::max(0, int(ids_.size()) - perRead);
    std::vector<qint64> wanted;
    wanted.reserve(std::size_t(perRead));
    int r = start;
    for (; r < int(ids_.size()) && int(wanted.size()) < perRead; ++r)
        if (ids_[r] != 0 && (cacheCleared || !cache_.count(ids_[r])))
            wanted.push_back(ids_[r]);
    return {std::move(wanted), r};
}

namespace {

// A walk in table order wants ids that follow each other closely: they are
// read as one range, the few rows between them left unread.
bool readAsRange(const std::vector<qint64>& wanted) {
    const auto count = qint64(wanted.size());
    return count > 8 && std::is_sorted(wanted.begin(), wanted.end()) && wanted.back() - wanted.front() < 2 * count;
}

}  // namespace

void Query::loadRows(int row) const {
    if (cache_.size() >= MaxCachedRows)
        clearCache();
    const auto [wanted, after] = idsToRead(row, false);
    const int count = int(wanted.size());
    if (readAsRange(wanted)) {
        Statement& st = table_->connection->prepareRowRead(*table_, 0);
        st.bindInt(1, wanted.front());
        st.bindInt(2, wanted.back());
        while (st.step()) {
            const qint64 id = st.columnInt(0);
            if (std::binary_search(wanted.begin(), wanted.end(), id))
                st.record(*table_, cacheSlot(id));
        }
        st.reset();
        // The walk's next read, which finds the cache full and clears it, is
        // known now: a store may read it while the walk works through these.
        if (after < int(ids_.size()) && cache_.size() >= MaxCachedRows) {
            const std::vector<qint64> next = idsToRead(after, true).first;
            if (readAsRange(next))
                table_->connection->readAhead(*table_, next.front(), next.back());
        }
        return;
    }
    // A result of a row or a few (a lookup) is read by a statement of that
    // size: binding and matching unused ids costs more than the read itself.
    const int perRead = table_->connection->rowsPerRead();
    const int marks = count <= 1 ? 1 : count <= 8 ? 8 : count <= RowsPerRead ? RowsPerRead : perRead;
    Statement& st = table_->connection->prepareRowRead(*table_, marks);
    for (int i = 0; i < marks; ++i)
        st.bindInt(i + 1, i < count ? wanted[std::size_t(i)] : -1);
    while (st.step())
        st.record(*table_, cacheSlot(st.columnInt(0)));
    st.reset();
}

Row Query::readRow(const OpenTable& table, Statement& st) { return readRecord(table, st); }

void Query::beginBusy() {
    if (busy_++ > 0)
        return;
    if (table_) {
        writeGroup_ = table_->connection;
        writeGroup_->beginWriteGroup();
    }
    emit busyChanged(true);
}

void Query::endBusy() {
    if (busy_ == 0 || --busy_ > 0)
        return;
    emit busyChanged(false);
    if (writeGroup_) {
        std::shared_ptr<Connection> group = std::move(writeGroup_);
        group->endWriteGroup();  // a failed commit is reported like any engine error
    }
}

void Query::holdKeyedInserts() {
    if (writeGroup_)
        writeGroup_->holdKeyedInserts();
}

void Query::sendHeldWrites() { sendHeld(&Connection::sendHeld); }

void Query::sendHeldWritesAhead() { sendHeld(&Connection::sendHeldAhead); }

void Query::sendHeld(void (Connection::*send)()) {
    if (!writeGroup_)
        return;
    try {
        ((*writeGroup_).*send)();
    } catch (const EngineError& error) {
        dropRowsNotStored(error);
        if (postError_ && postError_(*this, error) == PostErrorAction::Abort)
            throw SilentAbort();
        throw;
    }
}

// Records this result showed as stored were not (held back behind one the
// store refused): they leave it, the record being inserted with them.
void Query::dropRowsNotStored(const EngineError& error) {
    if (!table_ || error.notStored().inserts.empty())
        return;
    std::unordered_set<qint64> gone;
    for (const auto& [table, id] : error.notStored().inserts)
        if (table == table_->sqlName)
            gone.insert(id);
    if (gone.empty())
        return;
    bool pendingGone = false;
    for (int row = int(ids_.size()) - 1; row >= 0; --row) {
        const qint64 id = ids_[row];
        if (id == 0 || !gone.count(id))
            continue;
        pendingGone = pendingGone || (row == current_ && isEditing());
        ids_.erase(ids_.begin() + row);
        cache_.erase(id);
        if (current_ > row || current_ >= int(ids_.size()))
            --current_;
        emit rowRemoved(row);
    }
    lastRead_ = nullptr;
    if (pendingGone) {
        pending_.clear();
        modified_ = false;
        setState(State::Browse);
    }
    bof_ = eof_ = ids_.empty();
    emit currentChanged(recNo());
}

// ---- editing --------------------------------------------------------------

void Query::edit() {
    checkOpen();
    if (isEditing())
        return;
    if (ids_.empty()) {
        append();
        return;
    }
    pending_ = storedRow(current_);
    asRead_.clear();
    asReadKept_ = false;
    replaced_.clear();
    fieldSet_.assign(pending_.size(), 0);
    modified_ = false;
    changedElsewhere_ = false;
    setState(State::Edit);
}

void Query::insert() {
    checkOpen();
    checkBrowseMode();
    const int row = std::max(current_, 0);
    ids_.insert(ids_.begin() + row, 0);
    pending_ = emptyRow();
    modified_ = false;
    current_ = row;
    bof_ = eof_ = false;
    emit rowInserted(row);
    setState(State::Insert);
    emit currentChanged(recNo());
}

void Query::append() {
    checkOpen();
    checkBrowseMode();
    ids_.push_back(0);
    pending_ = emptyRow();
    modified_ = false;
    current_ = int(ids_.size()) - 1;
    bof_ = eof_ = false;
    emit rowInserted(current_);
    setState(State::Insert);
    emit currentChanged(recNo());
}

void Query::cancel() {
    if (state_ == State::Insert) {
        const int row = current_;
        ids_.erase(ids_.begin() + row);
        pending_.clear();
        modified_ = false;
        current_ = std::min(row, int(ids_.size()) - 1);
        emit rowRemoved(row);
        setState(State::Browse);
        emit currentChanged(recNo());
    } else if (state_ == State::Edit) {
        pending_.clear();
        modified_ = false;
        setState(State::Browse);
        emit rowChanged(current_);
    }
}

void Query::checkBrowseMode() {
    if (!isEditing())
        return;
    if (modified_)
        post();
    else
        cancel();
}

void Query::post() {
    checkOpen();
    if (!isEditing())
        notEditing();
    if (beforePost_)
        beforePost_(*this);
    engine_.sealDueUndoRecords();
    bool stored = true;
    try {
        stored = storePending();
    } catch (const EngineError& error) {
        // A new record the store took, followed by a failure of writes held
        // back with it (a batch sent ahead) whose error accounts for them, is
        // stored unless the error names it among those not stored: the
        // result shows it as stored.
        const bool accounted = error.storedAfterReconnecting() > 0 || error.notStored().records > 0;
        if (accounted && state_ == State::Insert && current_ >= 0 && ids_[std::size_t(current_)] != 0 &&
            !namesAsNotStored(error, ids_[std::size_t(current_)]))
            finishPost();
        dropRowsNotStored(error);
        if (postError_ && postError_(*this, error) == PostErrorAction::Abort) {
            cancel();
            throw SilentAbort();
        }
        throw;
    }
    if (!stored) {
        takeTheirs();
        return;
    }
    finishPost();
}

void Query::finishPost() {
    pending_.clear();
    modified_ = false;
    changedElsewhere_ = false;
    bof_ = eof_ = false;
    setState(State::Browse);
    emit rowChanged(current_);
}

bool Query::namesAsNotStored(const EngineError& error, qint64 id) const {
    const auto& inserts = error.notStored().inserts;
    return std::any_of(inserts.begin(), inserts.end(),
                       [&](const auto& insert) { return insert.second == id && insert.first == table_->sqlName; });
}

Row Query::emptyRow() const {
    Row row(table_->fields.size() + 1);
    row.back() = QVariant(qint64(0));
    return row;
}

bool Query::storePending() {
    dropStaleRows();
    if (state_ == State::Insert) {
        const qint64 id = insertPending();
        ids_[current_] = id;
        Row stored = pending_;
        for (std::size_t i = 0; i < table_->fields.size(); ++i)
            if (table_->fields[i].kind == FieldKind::Boolean && !stored[i].isValid())
                stored[i] = QVariant(false);
        cacheRow(id, std::move(stored));
    } else if (!updatePending()) {
        return false;
    } else {
        wroteThrough();
        // The values move into the cache once the write is through; post()
        // clears what is left of them, the storage of the row they replace,
        // which the next edit fills again.
        cache_[ids_[current_]].swap(pending_);
        return true;
    }
    wroteThrough();
    return true;
}

void Query::wroteThrough() {
    ++table_->writes;
    cacheGeneration_ = generation();
    table_->connection->wrote();
}

qint64 Query::insertPending() {
    std::vector<int> bound;
    for (std::size_t i = 0; i < table_->fields.size(); ++i)
        if (pending_[i].isValid())
            bound.push_back(int(i));
    return table_->connection->insertRow(*table_, bound, pending_);
}

// The record being edited as it was read: the pending values with the
// values before of the fields set.
const Row& Query::recordAsRead() {
    if (!asReadKept_) {
        asRead_ = pending_;
        for (const auto& [index, before] : replaced_)
            asRead_[std::size_t(index)] = before;
        replaced_.clear();
        asReadKept_ = true;
    }
    return asRead_;
}

// The fields whose pending values differ from the record as read, in
// ascending order.
std::vector<int> Query::changedFields() const {
    std::vector<int> changed;
    if (asReadKept_) {
        for (std::size_t i = 0; i < table_->fields.size(); ++i)
            if (!unchanged(pending_[i], asRead_[i]))
                changed.push_back(int(i));
        return changed;
    }
    for (const auto& [index, before] : replaced_)
        if (!unchanged(pending_[std::size_t(index)], before))
            changed.push_back(index);
    std::sort(changed.begin(), changed.end());
    return changed;
}

bool Query::updatePending() {
    // Against the record as it was when the edit began: the cache may hold
    // another desk's newer record by now.
    std::vector<int> changed = changedFields();
    if (changed.empty())
        return true;
    // Another desk may have changed the record since it was read: what only
    // one desk changed merges, and the clerk settles what both changed. The
    // record may change again while that is stored; a few rounds settle it.
    constexpr int Rounds = 3;
    for (int round = 0; round < Rounds; ++round) {
        static const Row notNeeded;
        const Row& asRead = table_->connection->readsRecordAsRead() ? recordAsRead() : notNeeded;
        if (table_->connection->updateRow(*table_, ids_[current_], changed, pending_, asRead))
            return true;
        Conflict conflict = conflictOver(ids_[current_], recordAsRead(), pending_, false);
        if (conflict.gone())
            return keepOrDropDeleted(conflict);
        conflict.contested = contestedFields(asRead_, pending_, conflict.theirs, changed);
        if (!conflict.contested.empty() && chooseInConflict(conflict) == ConflictChoice::TakeTheirs)
            changed = withoutFields(changed, conflict.contested);
        if (changed.empty()) {
            theirs_ = std::move(conflict.theirs);
            return false;
        }
        // The edit now stands on the other desk's record.
        pending_ = mergedRow(conflict.theirs, pending_, changed);
        asRead_ = std::move(conflict.theirs);
    }
    throw EngineError(ErrorKind::ChangedElsewhere, table_->fileName, QString(),
                      QStringLiteral("The record was changed again by another desk while it was being stored."));
}

// The record being stored was deleted by another desk: the clerk keeps it,
// stored again as a new record, or lets it go.
bool Query::keepOrDropDeleted(Conflict& conflict) {
    if (chooseInConflict(conflict) == ConflictChoice::TakeTheirs) {
        theirs_.clear();
        return false;
    }
    std::vector<int> bound;
    for (std::size_t i = 0; i < table_->fields.size(); ++i)
        if (pending_[i].isValid())
            bound.push_back(int(i));
    const qint64 id = table_->connection->insertRow(*table_, bound, pending_);
    const qint64 oldId = ids_[current_];
    cache_.erase(oldId);
    ids_[current_] = id;
    table_->connection->tellIdReplaced(*table_, oldId, id);  // the other results holding it
    return true;
}

Conflict Query::conflictOver(qint64 id, const Row& asRead, const Row& mine, bool deleting) const {
    Conflict conflict;
    conflict.table = table_->fileName;
    for (const FieldInfo& f : table_->fields)
        conflict.fields << f.name;
    conflict.id = id;
    conflict.asRead = asRead;
    conflict.mine = mine;
    conflict.deleting = deleting;
    conflict.theirs = table_->connection->readCurrent(*table_, id, &conflict.theirDesk);
    return conflict;
}

ConflictChoice Query::chooseInConflict(Conflict& conflict) const {
    return table_->connection->askInConflict(conflict);
}

// The clerk took the other desk's record: what was typed is dropped and the
// record shows what is stored now, or leaves the result when it is gone.
void Query::takeTheirs() {
    const int row = current_;
    const qint64 id = ids_[row];
    Row theirs = std::move(theirs_);
    theirs_.clear();
    pending_.clear();
    modified_ = false;
    changedElsewhere_ = false;
    ++table_->writes;
    cacheGeneration_ = generation();
    clearCache();
    setState(State::Browse);
    if (theirs.empty()) {
        ids_.erase(ids_.begin() + row);
        current_ = std::min(row, int(ids_.size()) - 1);
        bof_ = eof_ = ids_.empty();
        emit rowRemoved(row);
        emit currentChanged(recNo());
        return;
    }
    cacheRow(id, std::move(theirs));
    emit rowChanged(row);
}

void Query::takeNewsOf(const std::vector<qint64>& ids, bool everyRow) {
    if (!isOpen())
        return;
    if (everyRow) {
        clearCache();
    } else {
        for (qint64 id : ids)
            cache_.erase(id);
        lastRead_ = nullptr;
    }
    if (state_ == State::Edit && current_ >= 0 &&
        (everyRow || std::find(ids.begin(), ids.end(), ids_[current_]) != ids.end()) && !changedElsewhere_) {
        changedElsewhere_ = true;
        emit currentChangedElsewhere();
    }
    emit rowsRefreshed();
}

void Query::takeReplacedId(qint64 oldId, qint64 newId) {
    if (!isOpen())
        return;
    const auto it = std::find(ids_.begin(), ids_.end(), oldId);
    if (it == ids_.end())
        return;
    *it = newId;
    cache_.erase(oldId);  // read again under the new id
    lastRead_ = nullptr;
    emit rowChanged(int(it - ids_.begin()));
}

void Query::remove() {
    checkOpen();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    cancel();
    if (ids_.empty())
        throw EngineError(QStringLiteral("Cannot perform this operation on an empty dataset."));
    const int row = current_;
    engine_.sealDueUndoRecords();
    const Row stored = storedRow(row);
    if (!table_->connection->removeRow(*table_, ids_[row], stored)) {
        Conflict conflict = conflictOver(ids_[row], stored, stored, true);
        conflict.contested = differingFields(stored, conflict.theirs, table_->fields.size());
        // A record stored again unchanged is deleted without a question.
        if (!conflict.gone()) {
            if (!conflict.contested.empty() && chooseInConflict(conflict) == ConflictChoice::TakeTheirs) {
                wroteThrough();
                clearCache();
                cacheRow(ids_[row], std::move(conflict.theirs));
                emit rowChanged(row);
                return;
            }
            if (!table_->connection->removeRow(*table_, ids_[row], conflict.theirs))
                throw EngineError(ErrorKind::ChangedElsewhere, table_->fileName, conflict.theirDesk,
                                  QStringLiteral("The record was changed again by another desk while it was being deleted."));
        }
    }
    wroteThrough();
    cache_.erase(ids_[row]);
    lastRead_ = nullptr;
    ids_.erase(ids_.begin() + row);
    current_ = std::min(row, int(ids_.size()) - 1);
    bof_ = eof_ = ids_.empty();
    emit rowRemoved(row);
    emit currentChanged(recNo());
}

Query::PostErrorHook duplicateKeyHook(std::function<void()> showDuplicate) {
    return [showDuplicate = std::move(showDuplicate)](Query&, const EngineError& error) {
        if (!error.isKeyViolation())
            return Query::PostErrorAction::Fail;
        if (showDuplicate)
            showDuplicate();
        return Query::PostErrorAction::Abort;
    };
}

}  // namespace data
