#pragma once


#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace data {

// The text of a literal as it stands in a statement: between single quotes,
// each quote inside doubled. Every statement built from user text uses it.
QString quotedLiteral(const QString& text);
// Appends quotedLiteral(text) to out.
void appendQuotedLiteral(QString& out, QStringView text);
// "<head>'<first>' <middle>'<second>' " with both values quoted: the lookups
// of a record by two fields that the loops make for every record.
QString twoValueLookup(QStringView head, const QString& first, QStringView middle, const QString& second);

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

}  // namespace data
