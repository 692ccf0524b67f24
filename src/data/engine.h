#pragma once

#include "data/connection.h"
#include "data/schema.h"
#include "data/table_keys.h"

#include <QHash>
#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace data {

struct FieldInfo {
    QString name;
    FieldKind kind;
};

// An open table: its file (or its name on the server), the SQL table that
// holds it and its fields.
struct OpenTable {
    std::shared_ptr<Connection> connection;
    QString fileName;  // as found on disk; on a server the name of its file, "dd.db"
    QString sqlName;
    std::vector<FieldInfo> fields;
    // The column that holds a record's version, or "0" where records carry
    // none; read after the fields.
    QString versionColumn = QStringLiteral("0");
    // Writes made through this engine's queries, so that readers of the
    // table can tell when rows they hold may be stale.
    quint64 writes = 0;

    // The names as they stand in SQL, quoted once for every statement built
    // on the table.
    QString quotedName;
    std::vector<QString> quotedFields;
    QHash<QString, int> indexByName;  // field names as declared

    int fieldIndex(const QString& name) const;  // -1 when unknown

    // "SELECT rowid, <every field>, <version> FROM <table> WHERE rowid IN
    // (?, ...)" with `count` parameters, made on first use.
    const QString& readRowsSql(int count) const;

    // The columns read for a record: rowid, every field, the version.
    QString rowColumns() const;

    // "UPDATE <table> SET <field>=?, ... WHERE rowid=?" and "INSERT INTO
    // <table> (<field>, ...) VALUES (?, ...)" for the given fields in
    // ascending order, made once for each set of fields.
    QString updateSql(const std::vector<int>& fieldIndexes) const;
    QString insertSql(const std::vector<int>& fieldIndexes) const;

private:
    QString writeSql(bool update, const std::vector<int>& fieldIndexes) const;

    mutable std::map<int, QString> readRowsSql_;
    mutable QHash<quint64, QString> updateSql_, insertSql_;  // by the set of fields, one bit each
};

struct PreparedSelect;  // data/statement.h
class UndoJournal;      // data/undo_journal.h
class Query;            // data/query.h
class ServerLink;       // data/server_link.h

// Whether a place of tables is a PostgreSQL server ("postgresql://…",
// "postgres://…") rather than a folder.
bool isServerLocation(const QString& location);

// Held while a command that must not run at two desks at once runs.
class CommandLock {
public:
    virtual ~CommandLock() = default;
};

// The table engine: finds tables by bare file name in one directory (the
// working directory of the process unless told otherwise), case-insensitively,
// and keeps each table file open once for all queries on it. Given a server's
// address instead of a folder, it finds the same tables on that server.
class Engine {
public:
    explicit Engine(QString location = QString());
    ~Engine();

    // The folder of the tables, or the server's address.
    const QString& directory() const { return directory_; }
    const QString& location() const { return directory_; }
    bool isServer() const { return server_ != nullptr; }
    // The server's connection state and other desks' changes; null on table files.
    ServerLink* serverLink() const { return server_.get(); }

    // Asked when another desk changed or deleted a record this desk stores.
    // Without one, such a post fails with an error.
    void setConflictResolver(ConflictResolver resolver) { *resolver_ = std::move(resolver); }

    // Takes the lock of a command that must not run at two desks at once
    // ("鞋底统计"). On a server held by another desk it throws EngineError of
    // kind ServerBusy naming that desk; on table files it always succeeds.
    std::unique_ptr<CommandLock> lockCommand(const QString& command);

    // The live queries on this engine, for news of other desks' changes.
    void addQuery(Query* query);
    void removeQuery(Query* query);
    const std::vector<Query*>& queries() const { return queries_; }

    // The open table a statement names ("dd.db", "XdTJ.db"); opens it on
    // first use. Throws EngineError when it is missing or unusable.
    std::shared_ptr<OpenTable> table(const QString& name);

    // The path of the file a table name resolves to, or empty when none.
    QString resolve(const QString& name) const;

    // Whether the file is one the engine keeps open for the tables: a table
    // file, its log, the undo journal. Nothing else in the program may open
    // such a file: closing it would give up the locks SQLite holds on it.
    bool holdsFile(const QString& path) const;

    // A statement text parsed and translated for its table (statement.cpp).
    // What a text gives is kept, so a text met again costs one lookup; a
    // text that fails is not kept and fails again the same way.
    std::shared_ptr<const PreparedSelect> prepareSelect(const QString& text);

    // The journal of the bulk commands, "undo.db" beside the tables unless
    // another store is given; opened on first use.
    UndoJournal& undoJournal();
    // Before a write outside any recorded command: records whose seal
    // failed are sealed first (see UndoJournal::sealsDue).
    void sealDueUndoRecords();
    void setUndoJournal(std::unique_ptr<UndoJournal> journal);

    // Records found sharing a key while tables made by an earlier release
    // were opened (their key is then left as it was; see table_keys.h).
    const std::vector<KeyClash>& keyClashes() const { return keyClashes_; }

private:
    void bringKeyUpToDate(OpenTable& table);
    void holdTablesForJournal();
    std::shared_ptr<OpenTable> openServerTable(const QString& name);

    std::vector<KeyClash> keyClashes_;
    QString directory_;
    std::unique_ptr<UndoJournal> undo_;
    QHash<QString, std::shared_ptr<const PreparedSelect>> selects_;
    qsizetype keptCharacters_ = 0;  // the length of the texts in selects_
    std::map<QString, std::shared_ptr<OpenTable>> open_;  // by lower-case file name
    std::shared_ptr<ConflictResolver> resolver_ = std::make_shared<ConflictResolver>();
    std::vector<Query*> queries_;
    std::unique_ptr<ServerLink> server_;
};

}  // namespace data
