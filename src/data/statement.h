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

// A search term as a statement can hold it: without NUL characters, which
// no clerk types and which would cut a pattern short.
QString searchableText(const QString& text);

// What follows LIKE to find the text anywhere in a field, literally: the
// quoted pattern '%text%', and when the text holds %, _ or \ those are
// escaped with \ and ESCAPE '\' follows.
QString containsPattern(const QString& text);

// A parsed condition of the statement language: comparisons joined by AND
// and OR, with parentheses.
struct Operand {
    enum class Kind { Name, Text, Number, Logical };
    Kind kind;
    QString text;  // name, text of the literal (quotes removed), digits, or "true"/"false"
    int position;  // 1-based character position in the statement
};

// A chain of AND or OR is one node holding all its terms, however the text
// bracketed it: "(a or b) or c" gives one OR of three comparisons.
struct Condition {
    enum class Kind { And, Or, Equals, Like };
    Kind kind;
    std::vector<Condition> terms;  // And, Or: two or more, none of the node's own kind
    Operand a, b;                  // Equals, Like
    QString escape;                // Like: the character of its ESCAPE clause, empty without one
};

// Brackets nested deeper than this are refused with a message.
inline constexpr int MaxStatementNesting = 100;

struct SelectStatement {
    QString table;                        // as written, e.g. "XdTJ.db"
    std::unique_ptr<Condition> condition;  // null: every record
};

// Parses "select * from <table> [where <condition>]", where a comparison is
// operand = operand or field LIKE 'pattern' [ESCAPE 'c']. Throws EngineError
// naming what was wrong and where. Neither the length of a statement nor the
// length of its chains costs stack; only bracket nesting does, and that is
// limited by MaxStatementNesting.
SelectStatement parseSelect(const QString& text);

// A condition turned into SQLite SQL with every literal as a bound parameter.
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
std::vector<std::pair<int, QVariant>> lookupEqualities(const Condition* condition, const OpenTable& table);

// A statement ready to run: its open table and its condition.
struct PreparedSelect {
    std::shared_ptr<OpenTable> table;
    TranslatedCondition where;
    QString idsSql;   // the ids of the matching rows
    QString rowsSql;  // the ids and every field of the matching rows
    // When the condition is only equalities of fields with non-empty values
    // joined by AND (a lookup): the field indexes and values, by field.
    std::vector<std::pair<int, QVariant>> lookup;
    // Whether the last open of this statement found a row or a few (a
    // lookup): such a result is read together with its ids.
    mutable bool smallResult = false;
};

}  // namespace data
