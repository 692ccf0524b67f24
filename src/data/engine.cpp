#include "data/engine.h"

#include "data/errors.h"
#include "data/server_link.h"
#include "data/sqlite_connection.h"
#include "data/undo_journal.h"

#include <QDir>
#include <QFileInfo>

namespace data {

namespace {

FieldKind kindOfDeclaredType(const QString& declared) {
    const QString upper = declared.toUpper();
    if (upper.contains(QLatin1String("BOOL")))
        return FieldKind::Boolean;
    if (upper.contains(QLatin1String("INT")))
        return FieldKind::Integer;
    return FieldKind::Text;
}

// The name of the one table a table file holds.
QString tableInFile(SqliteConnection& conn) {
    Statement& st = conn.prepare(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY rowid"));
    if (!st.step())
        throw EngineError(QStringLiteral("Table \"%1\" holds no table.").arg(conn.path()));
    const QString name = st.column(0).toString();
    st.reset();
    return name;
}

std::vector<FieldInfo> fieldsOf(SqliteConnection& conn, const QString& sqlName) {
    std::vector<FieldInfo> fields;
    Statement& st = conn.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?) ORDER BY cid"));
    st.bind(1, sqlName);
    while (st.step())
        fields.push_back({st.column(0).toString(), kindOfDeclaredType(st.column(1).toString())});
    return fields;
}

}  // namespace

int OpenTable::fieldIndex(const QString& name) const {
    // Names are nearly always written as declared.
    if (const auto it = indexByName.constFind(name); it != indexByName.constEnd())
        return it.value();
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QString OpenTable::rowColumns() const {
    QStringList columns{QStringLiteral("rowid")};
    for (const QString& f : quotedFields)
        columns << f;
    columns << versionColumn;
    return columns.join(QLatin1Char(','));
}

const QString& OpenTable::readRowsSql(int count) const {
    QString& sql = readRowsSql_[count];
    if (sql.isEmpty())
        sql = QStringLiteral("SELECT %1 FROM %2 WHERE rowid IN (%3)")
                  .arg(rowColumns(), quotedName, QStringLiteral("?,").repeated(count - 1) + QLatin1Char('?'));
    return sql;
}

bool isServerLocation(const QString& location) {
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

Engine::Engine(QString location)
    : directory_(location.isEmpty() ? QDir::currentPath() : std::move(location)) {
    if (isServerLocation(directory_))
        server_ = std::make_unique<ServerLink>(*this, directory_, resolver_);
}

Engine::~Engine() {
    undo_.reset();
    open_.clear();
    selects_.clear();
    server_.reset();
}

UndoJournal& Engine::undoJournal() {
    if (!undo_) {
        undo_ = server_ ? server_->openUndoJournal() : openUndoFile(directory_);
        holdTablesForJournal();
    }
    return *undo_;
}

void Engine::sealDueUndoRecords() {
    if (undo_ && undo_->openScopes == 0 && !undo_->sealsDue.empty())
        undo_->sealDue();
}

void Engine::addQuery(Query* query) { queries_.push_back(query); }

void Engine::removeQuery(Query* query) { std::erase(queries_, query); }

namespace {
class NoCommandLock : public CommandLock {};
}  // namespace

std::unique_ptr<CommandLock> Engine::lockCommand(const QString& command) {
    if (server_)
        return server_->lockCommand(command);
    return std::make_unique<NoCommandLock>();
}

void Engine::setUndoJournal(std::unique_ptr<UndoJournal> journal) {
    undo_ = std::move(journal);
    if (undo_)
        holdTablesForJournal();
}

// The journal's own connection to a table file shares the program's hold on
// it with the table's connection: that one must hold it soundly first.
void Engine::holdTablesForJournal() {
    undo_->beforeTouchingTables = [this] {
        for (const auto& [name, table] : open_)
            table->connection->regainHold();
    };
}

QString Engine::resolve(const QString& name) const {
    if (server_) {
        const TableDef* def = tableDefOfFile(name);
        return def ? def->sqlName : QString();
    }
    const QDir dir(directory_);
    if (QFileInfo::exists(dir.filePath(name)))
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

bool Engine::holdsFile(const QString& path) const {
    if (server_)
        return false;
    const QString chosen = QFileInfo(path).canonicalFilePath();
    if (chosen.isEmpty())
        return false;
    QStringList held{QDir(directory_).filePath(undoFileName())};
    for (const auto& [key, table] : open_)
        held << resolve(table->fileName);
    for (const QString& file : held) {
        const QString canonical = QFileInfo(file).canonicalFilePath();
        if (canonical.isEmpty())
            continue;
        for (const char* companion : {"", "-wal", "-shm", "-journal"})
            if (chosen == canonical + QLatin1String(companion))
                return true;
    }
    return false;
}

QString OpenTable::updateSql(const std::vector<int>& fieldIndexes) const { return writeSql(true, fieldIndexes); }
QString OpenTable::insertSql(const std::vector<int>& fieldIndexes) const { return writeSql(false, fieldIndexes); }

QString OpenTable::writeSql(bool update, const std::vector<int>& fieldIndexes) const {
    quint64 key = 0;
    const bool keyed = fields.size() <= 64;
    if (keyed) {
        for (int i : fieldIndexes)
            key |= quint64(1) << i;
        QHash<quint64, QString>& kept = update ? updateSql_ : insertSql_;
        if (const auto it = kept.constFind(key); it != kept.constEnd())
            return it.value();
    }
    QStringList parts;
    for (int i : fieldIndexes)
        parts << (update ? quotedFields[i] + QStringLiteral("=?") : quotedFields[i]);
    QString sql;
    if (update)
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(quotedName, parts.join(QLatin1Char(',')));
    else if (parts.isEmpty())
        sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quotedName);
    else
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quotedName, parts.join(QLatin1Char(',')), QStringLiteral("?,").repeated(parts.size() - 1) + QLatin1Char('?'));
    if (keyed)
        (update ? updateSql_ : insertSql_).insert(key, sql);
    return sql;
}

std::shared_ptr<OpenTable> Engine::table(const QString& name) {
    const QString key = name.toLower();
    if (auto it = open_.find(key); it != open_.end())
        return it->second;

    if (server_) {
        auto table = server_->openTable(name);
        table->connection->setConflictResolver(resolver_);
        open_[key] = table;
        return table;
    }
    const QString path = resolve(name);
    if (path.isEmpty())
        throw EngineError::missingTable(name, directory_);
    auto table = std::make_shared<OpenTable>();
    std::shared_ptr<SqliteConnection> connection = SqliteConnection::open(path);
    table->connection = connection;
    table->connection->setConflictResolver(resolver_);
    table->fileName = QFileInfo(path).fileName();
    table->sqlName = tableInFile(*connection);
    table->fields = fieldsOf(*connection, table->sqlName);
    table->quotedName = quotedIdentifier(table->sqlName);
    for (const FieldInfo& f : table->fields) {
        table->indexByName.insert(f.name, int(table->quotedFields.size()));
        table->quotedFields.push_back(quotedIdentifier(f.name));
    }
    bringKeyUpToDate(*table);
    open_[key] = table;
    return table;
}

void Engine::bringKeyUpToDate(OpenTable& table) {
    for (const TableDef* def : allTables()) {
        if (def->sqlName.compare(table.sqlName, Qt::CaseInsensitive) != 0)
            continue;
        try {
            const std::vector<KeyClash> found = data::bringKeyUpToDate(*table.connection, *def, table.fileName);
            keyClashes_.insert(keyClashes_.end(), found.begin(), found.end());
        } catch (const EngineError&) {
            // A table that cannot be written now (read-only, locked) keeps its
            // key until it is next opened; its writes fail on their own.
        }
    }
}

}  // namespace data
