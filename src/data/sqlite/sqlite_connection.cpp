#include "data/sqlite/sqlite_connection.h"

#include "data/core/open_table.h"
#include "data/core/table_copy.h"
#include "data/sqlite/sqlite_dialect.h"
#include "data/core/errors.h"

#include <algorithm>
#include <mutex>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QStringEncoder>
#include <sqlite3.h>

namespace data {

namespace {

constexpr qsizetype MaxCachedStatements = 128;

QString sqliteMessage(sqlite3* db, int rc) {
    const char* msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    return QString::fromUtf8(msg ? msg : sqlite3_errstr(rc));
}

}  // namespace

[[noreturn]] void throwSqliteError(sqlite3* db, int rc, const QString& context) {
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    QString message = sqliteMessage(db, rc);
    if (!context.isEmpty())
        message = context + QStringLiteral(": ") + message;
    if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw EngineError({EngineError::Entry{KeyViolationCode, QStringLiteral("Key violation.")},
                           EngineError::Entry{extended, message}});
    throw EngineError(message, extended);
}

SqliteStatement::SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, SqliteConnection* owner, QByteArray sql)
    : db_(db), stmt_(stmt), owner_(owner), sql_(std::move(sql)), writes_(!sqlite3_stmt_readonly(stmt)) {}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

void SqliteStatement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    bound_.clear();
}

namespace {

void keepBound(std::vector<QVariant>& bound, int index, const QVariant& value, sqlite3_stmt* stmt) {
    if (bound.empty())
        bound.reserve(std::size_t(std::max(index, sqlite3_bind_parameter_count(stmt))));
    if (int(bound.size()) < index)
        bound.resize(std::size_t(index));
    bound[std::size_t(index - 1)] = value;
}

}  // namespace

void SqliteStatement::bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(stmt_, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            rc = sqlite3_bind_int64(stmt_, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt_, index, value.toDouble());
            break;
        case QMetaType::QString: {
            // Into bytes kept for the purpose; SQLite copies them.
            const QString& text = *static_cast<const QString*>(value.constData());
            QStringEncoder toUtf8(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
            utf8_.resize(toUtf8.requiredSpace(text.size()));
            const char* end = toUtf8.appendToBuffer(utf8_.data(), text);
            rc = sqlite3_bind_text(stmt_, index, utf8_.constData(), int(end - utf8_.constData()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray utf8 = value.toString().toUtf8();
            rc = sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        throwSqliteError(db_, rc);
    if (writes_)
        keepBound(bound_, index, value, stmt_);
}

void SqliteStatement::bindInt(int index, qint64 value) {
    const int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK)
        throwSqliteError(db_, rc);
    if (writes_)
        keepBound(bound_, index, QVariant(value), stmt_);
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE) {
        if (owner_ && writes_)
            owner_->loggedWrite(sql_, bound_);
        return false;
    }
    const int extended = sqlite3_extended_errcode(db_);
    const QString message = QString::fromUtf8(sqlite3_errmsg(db_));
    sqlite3_reset(stmt_);
    if (owner_)
        owner_->failedInGroup();
    if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw EngineError({EngineError::Entry{KeyViolationCode, QStringLiteral("Key violation.")},
                           EngineError::Entry{extended, message}});
    throw EngineError(message, extended);
}

int SqliteStatement::columnCount() const { return sqlite3_column_count(stmt_); }

namespace {

// A column's value is taken once from the statement and read from there:
// the connection's lock is taken once instead of for every question about
// it. The statement is this thread's while it is stepped.
template <typename MakeText>
QVariant columnValue(sqlite3_stmt* stmt, int index, MakeText makeText) {
    sqlite3_value* value = sqlite3_column_value(stmt, index);
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(value));
    case SQLITE_NULL:
        return QVariant();
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        return QVariant(makeText(text, sqlite3_value_bytes(value)));
    }
    }
}

}  // namespace

QVariant SqliteStatement::column(int index) const {
    return columnValue(stmt_, index, [](const char* text, int size) { return QString::fromUtf8(text, size); });
}

QVariant SqliteStatement::column(int index, TextCache& texts) const {
    return columnValue(stmt_, index, [&texts](const char* text, int size) { return texts.text(text, size); });
}

qint64 SqliteStatement::columnInt(int index) const { return sqlite3_column_int64(stmt_, index); }

// The values SQLite holds in the kinds the fields want are taken straight
// from it, the rest as column() takes them.
void SqliteStatement::record(const OpenTable& table, Row& into) {
    readHeldRecord(*this, table, into, [this](int column) {
        sqlite3_value* value = sqlite3_column_value(stmt_, column);
        switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            return HeldValue{HeldValue::As::Null};
        case SQLITE_INTEGER:
            return HeldValue{HeldValue::As::Integer, qint64(sqlite3_value_int64(value))};
        case SQLITE_TEXT:
            return HeldValue{HeldValue::As::Text, 0, reinterpret_cast<const char*>(sqlite3_value_text(value)),
                             sqlite3_value_bytes(value)};
        default:
            return HeldValue{};
        }
    });
}

void prepareSqlite() {
    static std::once_flag once;
    // Refused once SQLite is running (another library started it): then it
    // simply keeps counting.
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

std::shared_ptr<SqliteConnection> SqliteConnection::open(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw EngineError::missingTable(info.fileName(), info.absolutePath());
    if (!info.isFile() || !info.isReadable())
        throw EngineError(QStringLiteral("Table \"%1\" cannot be read.").arg(path));
    return std::shared_ptr<SqliteConnection>(new SqliteConnection(openHandle(path), path));
}

sqlite3* SqliteConnection::openHandle(const QString& path) {
    prepareSqlite();
    sqlite3* db = nullptr;
    const QByteArray nativePath = path.toUtf8();
    // A table's connection is only ever used by the window thread (the
    // background backup opens connections of its own), so SQLite need not
    // take the connection's lock around every call: in the loops that is a
    // lock and an unlock for each value read or bound.
    int rc = sqlite3_open_v2(nativePath.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = sqliteMessage(db, rc);
        sqlite3_close(db);
        throw EngineError(QStringLiteral("Table \"%1\" cannot be opened: %2").arg(path, message), rc);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 2000);
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"}) {
        rc = sqlite3_exec(db, pragma, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            continue;
        const int code = sqlite3_extended_errcode(db);
        const QString message = sqliteMessage(db, rc);
        sqlite3_close(db);
        if ((code & 0xff) == SQLITE_NOTADB)
            throw EngineError::foreignTable(path, code);
        throw EngineError(QStringLiteral("Table \"%1\" cannot be opened: %2").arg(path, message), code);
    }
    return db;
}

SqliteConnection::LogState SqliteConnection::logState() const {
#ifndef Q_OS_UNIX
    // Elsewhere a lock belongs to the handle that took it, and the size a
    // folder lists for an open file may lag behind.
    return LogState::Ours;
#else
    sqlite3_file* log = nullptr;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) != SQLITE_OK || !log || !log->pMethods)
        return LogState::Empty;  // no log open yet
    sqlite3_int64 ours = 0;
    if (log->pMethods->xFileSize(log, &ours) != SQLITE_OK)
        return LogState::Ours;
    // The same file seen through our descriptor and by its name has one
    // size and one header; a log made anew has header values of its own
    // (the salts). Two logs still empty cannot be told apart. Reading the
    // log by its name is harmless: SQLite locks the table file and the
    // index beside it, never the log.
    const QString logPath = path_ + QStringLiteral("-wal");
    const QFileInfo onDisk(logPath);
    if (!onDisk.exists() || onDisk.size() != ours)
        return LogState::NotOurs;
    if (ours == 0)
        return LogState::Empty;
    constexpr int HeaderSize = 32;
    char header[HeaderSize] = {};
    if (ours < HeaderSize || log->pMethods->xRead(log, header, HeaderSize, 0) != SQLITE_OK)
        return LogState::Ours;
    QFile named(logPath);
    if (!named.open(QIODevice::ReadOnly))
        return LogState::NotOurs;
    return named.read(HeaderSize) == QByteArray(header, HeaderSize) ? LogState::Ours : LogState::NotOurs;
#endif
}

void SqliteConnection::reopen() {
    // Our log is no longer the table's: it must neither be folded into the
    // table nor removed by its name, which is now another's log.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    forgetStatements();
    forgetCopies();
    groupLog_.clear();
    groupTransaction_ = false;
    writesSinceCheck_ = 0;
    // Closed first, so that the new handle takes the locks afresh.
    sqlite3_close_v2(db_);
    db_ = nullptr;
    try {
        db_ = openHandle(path_);
    } catch (const EngineError&) {
        sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE, nullptr);
        throw;
    }
    bumpGeneration();
}

void SqliteConnection::takeBackIfLost() {
    if (!groupTransaction_ && sqlite3_get_autocommit(db_) && logState() != LogState::Ours)
        reopen();  // an empty log cannot be told from another's: opened again, since nothing of ours is in it
}

void SqliteConnection::checkCommitReachedTheTable() {
    const bool wroteSinceLastCheck = writesSinceCheck_ > 0;
    writesSinceCheck_ = 0;
    if (!wroteSinceLastCheck || logState() != LogState::NotOurs)
        return;
    reopen();
    throw EngineError(ErrorKind::LogTakenAway, path_, QString(),
                      QStringLiteral("The table's log was removed by another program while it was open; "
                                     "the writes committed since the last check may be lost."));
}

SqliteConnection::~SqliteConnection() {
    if (!sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    forgetStatements();
    copies_.clear();
    sqlite3_close(db_);
}

void SqliteConnection::forgetStatements() {
    recent_ = {};
    cache_.clear();
}

Statement& SqliteConnection::prepare(const QString& sql) {
    // A string of its own (not raw data of another's) cannot change under
    // a copy of it: the same characters at the same place are the same text.
    const bool owned = sql.data_ptr().isMutable();
    if (owned)
        for (const Recent& recent : recent_)
            if (recent.statement && recent.sql.constData() == sql.constData() && recent.sql.size() == sql.size()) {
                recent.statement->reset();
                return *recent.statement;
            }
    SqliteStatement* statement = nullptr;
    if (const auto it = cache_.constFind(sql); it != cache_.constEnd()) {
        statement = it.value().get();
        statement->reset();
    } else {
        if (cache_.size() >= MaxCachedStatements)
            forgetStatements();
        sqlite3_stmt* stmt = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        const int rc = sqlite3_prepare_v3(db_, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (rc != SQLITE_OK)
            throwSqliteError(db_, rc);
        auto made = std::make_shared<SqliteStatement>(db_, stmt, this, utf8);
        statement = made.get();
        cache_.insert(sql, std::move(made));
    }
    if (owned) {
        recent_[nextRecent_] = {sql, statement};
        nextRecent_ = (nextRecent_ + 1) % recent_.size();
    }
    return *statement;
}

void SqliteConnection::exec(const QString& sql) {
    forgetCopies();  // it may write anything
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        throwSqliteError(db_, rc);
}

namespace {
constexpr qint64 GroupCommitIntervalMs = 200;
}  // namespace

void SqliteConnection::runTransactionStatement(const char* sql) {
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throwSqliteError(db_, rc);
}

void SqliteConnection::beginGroupTransaction() {
    takeBackIfLost();
    runTransactionStatement("BEGIN");
    groupTransaction_ = true;
    groupLog_.clear();
    groupStartedMs_ = steadyMs();
}

void SqliteConnection::commitGroupTransaction() {
    groupTransaction_ = false;
    groupLog_.clear();
    if (!sqlite3_get_autocommit(db_)) {
        runTransactionStatement("COMMIT");
        checkCommitReachedTheTable();
    }
}

// The log is folded into the table once, when a loop ends, rather than each
// time it passes a thousand pages: the loop neither waits for the disk
// meanwhile nor copies a page it writes again into the table twice. The
// commits are as safe as before: none of them waits for the disk either.
constexpr int PagesBeforeFolding = 1000;  // SQLite's own default

void SqliteConnection::beginWriteGroup() {
    if (writeGroups_ == 0) {
        forgetCopies();
        sqlite3_wal_autocheckpoint(db_, 0);
    }
    if (writeGroups_++ == 0 && sqlite3_get_autocommit(db_))
        beginGroupTransaction();
}

void SqliteConnection::endWriteGroup() {
    if (writeGroups_ == 0 || --writeGroups_ > 0)
        return;
    forgetCopies();
    const auto fold = qScopeGuard([this] {
        sqlite3_wal_autocheckpoint(db_, PagesBeforeFolding);
        sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    });
    commitGroupTransaction();
}

void SqliteConnection::wrote() {
    if (writeGroups_ == 0) {
        // A write of its own is committed already.
        if (sqlite3_get_autocommit(db_))
            checkCommitReachedTheTable();
        return;
    }
    if (steadyMs() - groupStartedMs_ < GroupCommitIntervalMs)
        return;
    commitGroupTransaction();
    beginGroupTransaction();
}

void SqliteConnection::loggedWrite(const QByteArray& sql, std::vector<QVariant>& values) {
    ++writesSinceCheck_;
    if (!writingRecord_)
        forgetCopies();
    // The statement is reset after the write; its values are not needed there.
    if (groupTransaction_)
        groupLog_.push_back({sql, std::move(values)});
}

void SqliteConnection::failedInGroup() {
    forgetCopies();
    if (!groupTransaction_ || !sqlite3_get_autocommit(db_))
        return;
    // SQLite gave up the whole transaction, not only the failed statement.
    std::vector<LoggedWrite> log = std::move(groupLog_);
    beginGroupTransaction();
    for (const LoggedWrite& write : log) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, write.sql.constData(), int(write.sql.size()), &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            throwSqliteError(db_, sqlite3_errcode(db_), QStringLiteral("Writing again after a failure"));
        }
        SqliteStatement again(db_, stmt);
        for (std::size_t i = 0; i < write.values.size(); ++i)
            again.bind(int(i) + 1, write.values[i]);
        again.step();
        groupLog_.push_back(write);
    }
}

qint64 SqliteConnection::lastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }

int SqliteStatement::changes() const { return sqlite3_changes(db_); }

const SqlDialect& SqliteConnection::dialect() const { return sqliteDialect(); }

// SQLite refuses at prepare time what is beyond its limits: the depth of an
// expression, the number of terms.
void SqliteConnection::checkWithinLimits(const QString& sql) {
    try {
        prepare(sql);
    } catch (const EngineError& e) {
        const int primary = e.code() & 0xff;
        if (primary != SQLITE_ERROR && primary != SQLITE_TOOBIG)
            throw;
        std::vector<EngineError::Entry> entries{{0, QStringLiteral("查询条件太多或太复杂，数据库无法执行。")}};
        entries.insert(entries.end(), e.entries().begin(), e.entries().end());
        throw EngineError(std::move(entries));
    }
}

qint64 SqliteConnection::insertRow(const OpenTable& table, const std::vector<int>& fields, Row& row) {
    takeBackIfLost();
    Statement& st = prepare(table.insertSql(fields));
    for (std::size_t i = 0; i < fields.size(); ++i)
        st.bind(int(i) + 1, row[std::size_t(fields[i])]);
    {
        const QScopedValueRollback<bool> keepingCopies(writingRecord_, true);
        st.step();
    }
    st.reset();
    const qint64 id = lastInsertRowId();
    if (TableCopy* copy = usableCopy(table)) {
        // A field left out took its default: the record is read as stored.
        const Row stored = readCurrent(table, id, nullptr);
        copy->put(id, stored.empty() ? nullptr : &stored);
    }
    return id;
}

bool SqliteConnection::updateRow(const OpenTable& table, qint64 id, const std::vector<int>& fields, Row& row,
                                 const Row&) {
    takeBackIfLost();
    Statement& st = prepare(table.updateSql(fields));
    int n = 0;
    for (int i : fields)
        st.bind(++n, row[std::size_t(i)]);
    st.bindInt(++n, id);
    {
        const QScopedValueRollback<bool> keepingCopies(writingRecord_, true);
        st.step();
    }
    st.reset();
    const bool stored = sqlite3_changes(db_) > 0;
    if (stored)
        copyWrote(table, id, &row);
    return stored;
}

bool SqliteConnection::removeRow(const OpenTable& table, qint64 id, const Row&) {
    takeBackIfLost();
    Statement& st = prepare(QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(table.quotedName));
    st.bindInt(1, id);
    {
        const QScopedValueRollback<bool> keepingCopies(writingRecord_, true);
        st.step();
    }
    st.reset();
    const bool removed = sqlite3_changes(db_) > 0;
    if (removed)
        copyWrote(table, id, nullptr);
    return removed;
}

// ---- lookups from a copy ------------------------------------------------------

TableCopy* SqliteConnection::usableCopy(const OpenTable& table) {
    if (lastCopied_ == &table && lastCopiedName_.constData() == table.sqlName.constData())
        return lastCopy_;
    const auto it = copies_.find(table.sqlName);
    if (it == copies_.end())
        return nullptr;
    lastCopied_ = &table;
    lastCopiedName_ = table.sqlName;
    lastCopy_ = it->second->usable ? it->second.get() : nullptr;
    return lastCopy_;
}

TableCopy* SqliteConnection::copyOf(const OpenTable& table) {
    if (TableCopy* copy = usableCopy(table))
        return copy;
    if (copies_.count(table.sqlName))
        return nullptr;  // too large to copy
    auto copy = std::make_unique<TableCopy>();
    Statement& st = prepare(QStringLiteral("SELECT %1 FROM %2 LIMIT %3").arg(table.rowColumns(), table.quotedName).arg(TableCopy::MaxRows + 1));
    int rows = 0;
    while (copy->usable && st.step()) {
        if (++rows > TableCopy::MaxRows) {
            copy->usable = false;
            break;
        }
        const Row row = readRecord(table, st);
        copy->put(st.columnInt(0), &row);
    }
    st.reset();
    TableCopy* made = copy->usable ? copy.get() : nullptr;
    copies_[table.sqlName] = std::move(copy);
    return made;
}

// The record as updated (every field of it, as the query holds it) or
// deleted (null) goes into the copy.
void SqliteConnection::copyWrote(const OpenTable& table, qint64 id, const Row* row) {
    if (TableCopy* copy = usableCopy(table))
        copy->put(id, row);
}

void SqliteConnection::forgetCopies() {
    copies_.clear();
    lastCopied_ = nullptr;
    lastCopy_ = nullptr;
}

std::optional<Connection::Found> SqliteConnection::answerFromMemory(const OpenTable& table, const Lookup& lookup) {
    if (writeGroups_ == 0 || lookup.empty())
        return std::nullopt;
    // SQLite compares a number field by its affinity, not by the text.
    for (const auto& [field, value] : lookup)
        if (table.fields[std::size_t(field)].kind != FieldKind::Text)
            return std::nullopt;
    TableCopy* copy = copyOf(table);
    if (!copy)
        return std::nullopt;
    return copy->find(lookup);
}

int SqliteConnection::likePatternLimit() const { return sqlite3_limit(db_, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1); }

}  // namespace data
