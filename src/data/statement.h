#pragma once

#include "data/engine.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace data {

// The text of a literal as it stands in a statement: between single quotes,
// each quote inside doubled. Every statement built from user text uses it.
QString quotedLiteral(const QString& text);

// A parsed condition of the statement language: comparisons joined by AND
// and OR, with parentheses.
struct Operand {
    enum class Kind { Name, Text, Number, Logical };
    Kind kind;
    QString text;  // name, text of the literal (quotes removed), digits, or "true"/"false"
    int position;  // 1-based character position in the statement
};

struct Condition {
    enum class Kind { And, Or, Equals, Like };
    Kind kind;
    std::unique_ptr<Condition> left, right;  // And, Or
    Operand a, b;                            // Equals, Like
};

struct SelectStatement {
    QString table;                        // as written, e.g. "XdTJ.db"
    std::unique_ptr<Condition> condition;  // null: every record
};

// Parses "select * from <table> [where <condition>]". Throws EngineError
// naming what was wrong and where.
SelectStatement parseSelect(const QString& text);

// A condition turned into SQLite SQL with every literal as a bound parameter.
struct TranslatedCondition {
    QString sql;  // "1" when there is no condition
    std::vector<QVariant> parameters;
};

// Resolves field names against the table. Throws EngineError for an unknown
// field or a comparison the language does not allow.
TranslatedCondition translateCondition(const Condition* condition, const OpenTable& table);

// A statement ready to run: its open table and its condition.
struct PreparedSelect {
    std::shared_ptr<OpenTable> table;
    TranslatedCondition where;
    QString idsSql;   // the ids of the matching rows
    QString rowsSql;  // the ids and every field of the matching rows
    // Whether the last open of this statement found a row or a few (a
    // lookup): such a result is read together with its ids.
    mutable bool smallResult = false;
};

}  // namespace data
