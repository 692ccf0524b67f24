#pragma once

#include "data/core/open_table.h"
#include "data/lang/statement.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace data {

// A condition turned into the SQL of the table's store, with every literal as
// a bound parameter.
struct TranslatedCondition {
    QString sql;  // "1" when there is no condition
    std::vector<QVariant> parameters;
};

// Resolves field names against the table. Throws EngineError for an unknown
// field or a comparison the language does not allow. Equalities of one field
// under one OR become a single membership test and contains-patterns
// ('%text%') of one field a single containment test, each with all its
// values in one parameter; long chains are bracketed in groups, so that any
// number of terms stays within what SQLite parses.
TranslatedCondition translateCondition(const Condition* condition, const OpenTable& table);

// The equalities of a lookup condition (see PreparedSelect::lookup); empty
// when the condition is anything else.
Lookup lookupEqualities(const Condition* condition, const OpenTable& table);

// A statement ready to run: its open table and its condition.
struct PreparedSelect {
    std::shared_ptr<OpenTable> table;
    TranslatedCondition where;
    QString idsSql;   // the ids of the matching rows
    QString rowsSql;  // the ids and every field of the matching rows
    // When the condition is only equalities of fields with non-empty values
    // joined by AND (a lookup): the field indexes and values, by field.
    Lookup lookup;
    // Whether the last open of this statement found a row or a few (a
    // lookup): such a result is read together with its ids.
    mutable bool smallResult = false;
};

}  // namespace data
