#include "data/engine/undo_scope.h"

#include "data/engine/engine.h"
#include "data/core/errors.h"
#include "data/engine/query.h"

#include <algorithm>

namespace data {

namespace {

// The table as the journal is given it: by its name, once the store is known
// to hold it.
QString tableOf(const Engine& engine, const QString& tableName) {
    if (tableName.isEmpty())  // a closed query
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset."));
    if (!engine.hasTable(tableName))
        throw EngineError(QStringLiteral("找不到表“%1”。").arg(tableName));
    return tableName;
}

}  // namespace

UndoPart shownRows(const Query& query) {
    return {UndoPart::Kind::ShownRows, tableOf(query.engine(), query.tableName()), query.rowIds()};
}

UndoPart wholeTable(const Engine& engine, const QString& tableName) {
    return {UndoPart::Kind::WholeTable, tableOf(engine, tableName), {}};
}

UndoPart addedRows(const Query& query) {
    return {UndoPart::Kind::AddedRows, tableOf(query.engine(), query.tableName()), {}};
}

UndoScope::UndoScope(Engine& engine, const QString& command, const QString& window, const std::vector<UndoPart>& parts)
    : journal_(engine.undoJournal()) {
    if (journal_.openScopes++ > 0)
        return;
    journal_.sealDue();
    // A walk over an empty result changes nothing.
    const bool nothing = std::all_of(parts.begin(), parts.end(), [](const UndoPart& part) {
        return part.kind == UndoPart::Kind::ShownRows && part.rowIds.empty();
    });
    if (nothing)
        return;
    try {
        id_ = journal_.record(command, window, parts);
    } catch (...) {
        --journal_.openScopes;
        throw;
    }
}

UndoScope::~UndoScope() {
    --journal_.openScopes;
    if (id_ == 0)
        return;
    try {
        journal_.seal(id_);
    } catch (const std::exception&) {
        // Sealed before the next recorded command, when the journal is next
        // opened, or when the command is undone, whichever comes first.
        journal_.sealsDue.push_back(id_);
    }
}

}  // namespace data
