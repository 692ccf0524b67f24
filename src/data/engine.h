#pragma once

#include "data/schema.h"
#include "data/sqlite_connection.h"
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

// An open table: its file, the SQLite table inside it and its fields.
struct OpenTable {
    std::shared_ptr<Connection> connection;
    QString fileName;  // as found on disk
    QString sqlName;
    std::vector<FieldInfo> fields;

    // The names as they stand in SQL, quoted once for every statement built
    // on the table.
    QString quotedName;
    std::vector<QString> quotedFields;
    QHash<QString, int> indexByName;  // field names as declared

    int fieldIndex(const QString& name) const;  // -1 when unknown

    // "SELECT rowid, <every field> FROM <table> WHERE rowid IN (?, ...)" with
    // `count` parameters, made on first use.
    const QString& readRowsSql(int count) const;

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

// The table engine: finds tables by bare file name in one directory (the
// working directory of the process unless told otherwise), case-insensitively,
// and keeps each table file open once for all queries on it.
class Engine {
public:
    explicit Engine(QString directory = QString());
    ~Engine();

    const QString& directory() const { return directory_; }

    // The open table a statement names ("dd.db", "XdTJ.db"); opens it on
    // first use. Throws EngineError when it is missing or unusable.
    std::shared_ptr<OpenTable> table(const QString& name);

    // The path of the file a table name resolves to, or empty when none.
    QString resolve(const QString& name) const;

    // A statement text parsed and translated for its table (statement.cpp).
    // What a text gives is kept, so a text met again costs one lookup; a
    // text that fails is not kept and fails again the same way.
    std::shared_ptr<const PreparedSelect> prepareSelect(const QString& text);

    // The journal of the bulk commands, "undo.db" beside the tables unless
    // another store is given; opened on first use.
    UndoJournal& undoJournal();
    void setUndoJournal(std::unique_ptr<UndoJournal> journal);

    // Records found sharing a key while tables made by an earlier release
    // were opened (their key is then left as it was; see table_keys.h).
    const std::vector<KeyClash>& keyClashes() const { return keyClashes_; }

private:
    void bringKeyUpToDate(OpenTable& table);

    std::vector<KeyClash> keyClashes_;
    QString directory_;
    std::unique_ptr<UndoJournal> undo_;
    QHash<QString, std::shared_ptr<const PreparedSelect>> selects_;
    qsizetype keptCharacters_ = 0;  // the length of the texts in selects_
    std::map<QString, std::shared_ptr<OpenTable>> open_;  // by lower-case file name
};

}  // namespace data
