#include "data/engine/engine.h"

#include "data/core/errors.h"
#include "data/sql/prepared_select.h"

namespace data {

std::shared_ptr<const PreparedSelect> Engine::prepareSelect(const QString& text) {
    // Statements are kept up to a number and a total length: a pasted list
    // makes statements of megabytes.
    constexpr qsizetype MaxKept = 4096;
    constexpr qsizetype MaxKeptCharacters = 16 * 1024 * 1024;
    if (const auto it = selects_.constFind(text); it != selects_.constEnd())
        return it.value();
    const SelectStatement statement = parseSelect(text);
    auto prepared = std::make_shared<PreparedSelect>();
    prepared->table = table(statement.table);
    prepared->where = translateCondition(statement.condition.get(), *prepared->table);
    prepared->lookup = lookupEqualities(statement.condition.get(), *prepared->table);
    const OpenTable& t = *prepared->table;
    prepared->idsSql = QStringLiteral("SELECT rowid FROM %1 WHERE %2").arg(t.quotedName, prepared->where.sql);
    prepared->rowsSql = QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(t.rowColumns(), t.quotedName, prepared->where.sql);
    t.connection->checkWithinLimits(prepared->idsSql);
    const qsizetype size = text.size();
    if (selects_.size() >= MaxKept || keptCharacters_ + size > MaxKeptCharacters) {
        selects_.clear();
        keptCharacters_ = 0;
    }
    if (size <= MaxKeptCharacters) {
        selects_.insert(text, prepared);
        keptCharacters_ += size;
    }
    return prepared;
}

}  // namespace data
