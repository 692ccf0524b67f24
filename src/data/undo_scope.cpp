#include "data/undo_scope.h"

#include "data/engine.h"
#include "data/errors.h"
#include "data/query.h"

#include <algorithm>

namespace data {

namespace {

QString tablePath(const Engine& engine, const QString& tableName) {
    if (tableName.isEmpty())  // a closed query
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset."));
    const QString path = engine.resolve(tableName);
    if (path.isEmpty())
        throw EngineError(QStringLiteral("找不到表“%1”。").arg(tableName));
    return path;
}

}  // namespace

UndoPart shownRows(const Query& query) {
    return {UndoPart::Kind::ShownRows, tablePath(query.engine(), query.tableName()), query.rowIds()};
}

UndoPart wholeTable(const Engine& engine, const QString& tableName) {
    return {UndoPart::Kind::WholeTable, tablePath(engine, tableName), {}};
}

UndoPart addedRows(const Query& query) {
    return {UndoPart::Kind::AddedRows, tablePath(query.engine(), query.tableName()), {}};
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
