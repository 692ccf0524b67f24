#include "data/sqlite/sqlite_store.h"

#include "data/core/errors.h"
#include "data/sqlite/sqlite_connection.h"
#include "data/sqlite/table_files.h"
#include "data/sqlite/table_keys.h"
#include "data/sqlite/undo_file.h"

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

class NoCommandLock : public CommandLock {};

}  // namespace

SqliteStore::SqliteStore(QString folder) : folder_(std::move(folder)) {}

bool SqliteStore::hasTable(const QString& name) const { return !tableFilePath(folder_, name).isEmpty(); }

std::shared_ptr<OpenTable> SqliteStore::openTable(const QString& name) {
    const QString path = tableFilePath(folder_, name);
    if (path.isEmpty())
        throw EngineError::missingTable(name, folder_);
    auto table = std::make_shared<OpenTable>();
    std::shared_ptr<SqliteConnection> connection = SqliteConnection::open(path);
    table->connection = connection;
    table->fileName = QFileInfo(path).fileName();
    table->sqlName = tableInFile(*connection);
    table->setFields(fieldsOf(*connection, table->sqlName));
    table->quotedName = quotedIdentifier(table->sqlName);
    bringKeyUpToDate(*table);
    opened_.push_back(path);
    return table;
}

void SqliteStore::bringKeyUpToDate(OpenTable& table) {
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

std::unique_ptr<UndoJournal> SqliteStore::openUndoJournal(OpenTables) { return openUndoFile(folder_); }

bool SqliteStore::hasUndoJournal() const { return QFileInfo::exists(QDir(folder_).filePath(undoFileName())); }

std::unique_ptr<CommandLock> SqliteStore::lockCommand(const QString&) { return std::make_unique<NoCommandLock>(); }

bool SqliteStore::holdsFile(const QString& path) const {
    const QString chosen = QFileInfo(path).canonicalFilePath();
    if (chosen.isEmpty())
        return false;
    QStringList held{QDir(folder_).filePath(undoFileName())};
    for (const QString& file : opened_)
        held << file;
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

}  // namespace data
