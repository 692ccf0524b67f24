#include "data/engine/engine.h"

#include "data/core/errors.h"
#include "data/core/undo_journal.h"
#include "data/engine/open_store.h"
#include "data/engine/query.h"

#include <QDir>

namespace data {

Engine::Engine(QString location)
    : Engine(openStore(location.isEmpty() ? QDir::currentPath() : std::move(location))) {}

Engine::Engine(std::unique_ptr<Store> store) : store_(std::move(store)), location_(store_->location()) {
    store_->setConflictResolver(resolver_);
    QObject::connect(store_.get(), &Store::othersWrote, store_.get(),
                     [this](const QString& table, const QList<qint64>& ids, bool everyRecord) {
                         tellQueries(table, ids, everyRecord);
                     });
    QObject::connect(store_.get(), &Store::reconnected, store_.get(), [this] { reopenResults(); });
}

Engine::~Engine() {
    undo_.reset();
    open_.clear();
    selects_.clear();
    store_.reset();
}

UndoJournal& Engine::undoJournal() {
    if (!undo_) {
        undo_ = store_->openUndoJournal([this](const QString& name) -> OpenTable& { return *table(name); });
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

std::unique_ptr<CommandLock> Engine::lockCommand(const QString& command) { return store_->lockCommand(command); }

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

std::shared_ptr<OpenTable> Engine::table(const QString& name) {
    const QString key = name.toLower();
    if (auto it = open_.find(key); it != open_.end())
        return it->second;
    std::shared_ptr<OpenTable> table = store_->openTable(name);
    table->connection->setConflictResolver(resolver_);
    table->connection->onIdReplaced([this](const OpenTable& replacedIn, qint64 oldId, qint64 newId) {
        for (std::size_t i = 0; i < queries_.size(); ++i)
            if (queries_[i]->isOpen() && queries_[i]->tableName().compare(replacedIn.fileName, Qt::CaseInsensitive) == 0)
                queries_[i]->takeReplacedId(oldId, newId);
    });
    open_[key] = table;
    return table;
}

// Another desk wrote the table: the open results on it hear of it.
void Engine::tellQueries(const QString& table, const QList<qint64>& ids, bool everyRecord) {
    const std::vector<qint64> written(ids.begin(), ids.end());
    for (std::size_t i = 0; i < queries_.size(); ++i) {
        Query* query = queries_[i];
        if (query->isOpen() && query->tableName().compare(table, Qt::CaseInsensitive) == 0)
            query->takeNewsOf(written, everyRecord);
    }
}

// The store is back after it was lost: results not being edited are read
// again; those being edited are told that every record may have changed.
void Engine::reopenResults() {
    for (std::size_t i = 0; i < queries_.size(); ++i) {
        Query* query = queries_[i];
        if (!query->isOpen())
            continue;
        if (query->isEditing() || query->isBusy()) {
            query->takeNewsOf({}, true);
            continue;
        }
        try {
            query->reopen();
        } catch (const EngineError&) {
            // Shown when the clerk next works with it.
        }
    }
}

}  // namespace data
