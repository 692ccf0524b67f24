#pragma once

#include "data/core/open_table.h"
#include "data/core/schema.h"
#include "data/core/store.h"

#include <QHash>
#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace data {

struct PreparedSelect;  // data/sql/prepared_select.h
class Query;            // data/engine/query.h

// The table engine: finds tables by the names statements give them ("dd.db")
// in its store, and keeps each table open once for all queries on it. The
// store is the folder of table files given (the working directory of the
// process unless told otherwise), or the server whose address is given.
class Engine {
public:
    explicit Engine(QString location = QString());
    explicit Engine(std::unique_ptr<Store> store);
    ~Engine();

    // The folder of the tables, or the server's address.
    const QString& location() const { return location_; }
    const QString& directory() const { return location_; }
    // Where the tables are kept.
    Store& store() const { return *store_; }

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

    // The open table a statement names ("dd.db", "XdTJ.db"); opens it on
    // first use. Throws EngineError when it is missing or unusable.
    std::shared_ptr<OpenTable> table(const QString& name);

    // Whether the store holds the table a statement names.
    bool hasTable(const QString& name) const { return store_->hasTable(name); }
    // Whether the file is one the store keeps open (see Store::holdsFile).
    bool holdsFile(const QString& path) const { return store_->holdsFile(path); }
    // Records found sharing a key when the tables were opened.
    const std::vector<KeyClash>& keyClashes() const { return store_->keyClashes(); }

    // A statement text parsed and translated for its table (statement.cpp).
    // What a text gives is kept, so a text met again costs one lookup; a
    // text that fails is not kept and fails again the same way.
    std::shared_ptr<const PreparedSelect> prepareSelect(const QString& text);

    // The journal of the bulk commands, kept by the store unless another
    // journal is given; opened on first use.
    UndoJournal& undoJournal();
    // Before a write outside any recorded command: records whose seal
    // failed are sealed first (see UndoJournal::sealsDue).
    void sealDueUndoRecords();
    void setUndoJournal(std::unique_ptr<UndoJournal> journal);

private:
    void holdTablesForJournal();
    void tellQueries(const QString& table, const QList<qint64>& ids, bool everyRecord);
    void reopenResults();

    std::unique_ptr<Store> store_;
    QString location_;
    std::unique_ptr<UndoJournal> undo_;
    QHash<QString, std::shared_ptr<const PreparedSelect>> selects_;
    qsizetype keptCharacters_ = 0;  // the length of the texts in selects_
    std::map<QString, std::shared_ptr<OpenTable>> open_;  // by lower-case file name
    std::shared_ptr<ConflictResolver> resolver_ = std::make_shared<ConflictResolver>();
    std::vector<Query*> queries_;
};

}  // namespace data
