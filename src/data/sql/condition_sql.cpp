#include "data/sql/prepared_select.h"

#include "data/core/errors.h"
#include "data/core/sql_dialect.h"

#include <QSet>
#include <iterator>
#include <map>
#include <optional>

// How a parsed condition becomes the WHERE clause of the table's store, in the
// dialect the store supplies.

namespace data {

namespace {

// A piece of SQL with the parameters it binds, in order.
struct Sql {
    QString text;
    std::vector<QVariant> parameters;
};

// A LIKE pattern of the form '%text%' (any number of % on either side, none
// and no _ inside, escaped characters counting as themselves) is a
// containment test of that text. Anything else is left to LIKE.
std::optional<QString> containedText(const QString& pattern, const QString& escape) {
    const bool escapes = !escape.isEmpty();
    const QChar esc = escapes ? escape[0] : QChar();
    // An escape character that is itself a wildcard changes what the
    // wildcards mean; such patterns go to LIKE as they are.
    if (escapes && (esc == QLatin1Char('%') || esc == QLatin1Char('_')))
        return std::nullopt;
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < n && pattern[i] == QLatin1Char('%'))
        ++i;
    if (i == 0)
        return std::nullopt;
    QString text;
    while (i < n) {
        const QChar c = pattern[i];
        if (escapes && c == esc) {
            if (i + 1 == n)
                return std::nullopt;  // an escape with nothing after it never matches
            text += pattern[i + 1];
            i += 2;
        } else if (c == QLatin1Char('%')) {
            break;
        } else if (c == QLatin1Char('_')) {
            return std::nullopt;
        } else {
            text += c;
            ++i;
        }
    }
    const qsizetype textEnd = i;
    for (; i < n; ++i)
        if (pattern[i] != QLatin1Char('%'))
            return std::nullopt;
    if (textEnd == n && !text.isEmpty())
        return std::nullopt;  // '%text' tests the end only
    return text;
}

QString asciiUpper(QString text) {
    for (QChar& c : text)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - ('a' - 'A'));
    return text;
}

// The values as one JSON array of strings and integers, for json_each().
QString jsonArray(const std::vector<QVariant>& values) {
    QString json;
    json.reserve(qsizetype(values.size()) * 12 + 2);
    json += QLatin1Char('[');
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            json += QLatin1Char(',');
        if (values[i].typeId() == QMetaType::LongLong) {
            json += QString::number(values[i].toLongLong());
            continue;
        }
        json += QLatin1Char('"');
        for (const QChar c : values[i].toString()) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
                json += QLatin1Char('\\');
                json += c;
            } else if (c.unicode() < 0x20) {
                json += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            } else {
                json += c;
            }
        }
        json += QLatin1Char('"');
    }
    json += QLatin1Char(']');
    return json;
}

class Translator {
public:
    Translator(const OpenTable& table, const SqlDialect& dialect) : table_(table), dialect_(dialect) {}

    Sql translate(const Condition& c) {
        switch (c.kind) {
        case Condition::Kind::And:
        case Condition::Kind::Or:
            return chain(c);
        case Condition::Kind::Equals:
            return equals(c.a, c.b);
        case Condition::Kind::Like:
            return like(c);
        }
        return {};
    }

private:
    // SQLite nests a chain "a OR b OR c ..." one level per term and refuses
    // expressions deeper than 1000 levels; chains longer than this are
    // bracketed in groups of this many.
    static constexpr std::size_t GroupSize = 64;

    static constexpr const char* True = "TRUE";
    static constexpr const char* False = "FALSE";

    // The terms of an OR or AND. Under OR, the equalities of one field with
    // a value become one membership test and the containments of one field
    // one containment test, in the place of their first term. Constant
    // terms decide the chain or drop out (every term is still checked);
    // repeated terms without values count once.
    Sql chain(const Condition& c) {
        const bool isOr = c.kind == Condition::Kind::Or;
        const QString decisive = QLatin1String(isOr ? True : False);
        const QString neutral = QLatin1String(isOr ? False : True);

        struct Item {
            Sql sql;
            int field = -1;  // for a gathered test: the field
            bool contains = false;
            std::vector<QVariant> values;
        };
        std::vector<Item> items;
        std::map<std::pair<int, bool>, std::size_t> gathered;  // (field, contains) -> item
        auto gather = [&](int field, bool contains, QVariant value) {
            const auto key = std::make_pair(field, contains);
            auto it = gathered.find(key);
            if (it == gathered.end()) {
                it = gathered.emplace(key, items.size()).first;
                items.push_back({{}, field, contains, {}});
            }
            items[it->second].values.push_back(std::move(value));
        };
        QSet<QString> seen;
        bool decided = false;

        for (const Condition& term : c.terms) {
            if (isOr) {
                if (std::optional<std::pair<int, QVariant>> eq = gatherableEquality(term)) {
                    gather(eq->first, false, std::move(eq->second));
                    continue;
                }
                if (std::optional<std::pair<int, QString>> in = gatherableContainment(term)) {
                    gather(in->first, true, QVariant(in->second));
                    continue;
                }
            }
            Sql sql = translate(term);
            decided = decided || sql.text == decisive;
            if (decided || sql.text == neutral)
                continue;
            if (sql.parameters.empty()) {
                if (seen.contains(sql.text))
                    continue;
                seen.insert(sql.text);
            }
            items.push_back({std::move(sql), -1, false, {}});
        }

        if (decided)
            return {decisive, {}};
        std::vector<Sql> pieces;
        pieces.reserve(items.size());
        for (Item& item : items) {
            if (item.field < 0)
                pieces.push_back(std::move(item.sql));
            else if (item.contains)
                pieces.push_back(containment(item.field, item.values));
            else
                pieces.push_back(membership(item.field, item.values));
        }
        if (pieces.empty())
            return {neutral, {}};
        return joined(std::move(pieces), QLatin1String(isOr ? " OR " : " AND "));
    }

    // Pieces joined flat, or, past GroupSize, in bracketed groups of groups.
    static Sql joined(std::vector<Sql> pieces, const QString& op) {
        while (pieces.size() > GroupSize) {
            std::vector<Sql> groups;
            for (std::size_t i = 0; i < pieces.size(); i += GroupSize) {
                std::vector<Sql> group(std::make_move_iterator(pieces.begin() + i),
                                       std::make_move_iterator(pieces.begin() + std::min(pieces.size(), i + GroupSize)));
                groups.push_back(bracketed(std::move(group), op));
            }
            pieces = std::move(groups);
        }
        if (pieces.size() == 1)
            return std::move(pieces.front());
        return bracketed(std::move(pieces), op);
    }

    static Sql bracketed(std::vector<Sql> pieces, const QString& op) {
        if (pieces.size() == 1)
            return std::move(pieces.front());
        Sql out;
        out.text = QLatin1Char('(');
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                out.text += op;
            out.text += pieces[i].text;
            std::move(pieces[i].parameters.begin(), pieces[i].parameters.end(), std::back_inserter(out.parameters));
        }
        out.text += QLatin1Char(')');
        return out;
    }

    // A field compared with a value that is not empty: the value as it is
    // bound. Values holding NUL stay on their own, as JSON would cut them.
    std::optional<std::pair<int, QVariant>> gatherableEquality(const Condition& c) const {
        if (c.kind != Condition::Kind::Equals)
            return std::nullopt;
        const int fa = fieldOf(c.a);
        const int fb = fieldOf(c.b);
        if ((fa < 0) == (fb < 0))
            return std::nullopt;
        const Operand& value = fa >= 0 ? c.b : c.a;
        const int field = fa >= 0 ? fa : fb;
        if (table_.fields[field].kind == FieldKind::Boolean || value.kind == Operand::Kind::Logical ||
            value.kind == Operand::Kind::Name || value.text.isEmpty() || value.text.contains(QChar(0)))
            return std::nullopt;
        if (refusedByNumberField(field, value.text))
            return std::nullopt;
        return std::make_pair(field, boundValue(field, value));
    }

    std::optional<std::pair<int, QString>> gatherableContainment(const Condition& c) const {
        if (c.kind != Condition::Kind::Like || c.b.kind != Operand::Kind::Text)
            return std::nullopt;
        const int field = fieldOf(c.a);
        if (field < 0)
            return std::nullopt;
        std::optional<QString> text = containedText(c.b.text, c.escape);
        if (!text || text->contains(QChar(0)))
            return std::nullopt;
        return std::make_pair(field, *text);
    }

    // A Number operand names a field when the table has a field of that name
    // (the size fields "33" to "48"); otherwise it is a number.
    int fieldOf(const Operand& op) const {
        if (op.kind != Operand::Kind::Name && op.kind != Operand::Kind::Number)
            return -1;
        const int index = table_.fieldIndex(op.text);
        if (index < 0 && op.kind == Operand::Kind::Name)
            throw EngineError(QStringLiteral("Unknown field \"%1\" at position %2 in table \"%3\".")
                                  .arg(op.text)
                                  .arg(op.position)
                                  .arg(table_.fileName));
        return index;
    }

    QVariant boundValue(int field, const Operand& value) const {
        if (value.kind == Operand::Kind::Number && table_.fields[field].kind == FieldKind::Integer)
            return QVariant(value.text.toLongLong());
        return QVariant(value.text);
    }

    Sql equals(const Operand& a, const Operand& b) {
        int fa = fieldOf(a);
        int fb = fieldOf(b);
        if (fa < 0 && fb < 0)
            return {constantEquals(a, b), {}};
        if (fa >= 0 && fb >= 0)
            return {dialect_.sameValue(column(fa), column(fb)), {}};
        const Operand& value = fa >= 0 ? b : a;
        const int field = fa >= 0 ? fa : fb;
        const QString col = column(field);
        switch (table_.fields[field].kind) {
        case FieldKind::Boolean: {
            bool flag = false;
            if (value.kind == Operand::Kind::Logical || value.kind == Operand::Kind::Text)
                flag = value.text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
            else if (value.kind == Operand::Kind::Number)
                flag = value.text.toLongLong() != 0;
            // A flag that was never set counts as false.
            return {dialect_.flagIs(col, flag), {}};
        }
        case FieldKind::Integer:
        case FieldKind::Text:
            if (value.kind == Operand::Kind::Logical)
                throw EngineError(QStringLiteral("Field \"%1\" at position %2 is not a logical field.")
                                      .arg(table_.fields[field].name)
                                      .arg(fa >= 0 ? a.position : b.position));
            // Empty text and no value are one thing.
            if (value.kind == Operand::Kind::Text && value.text.isEmpty())
                return {(dialect_.numberFieldsHoldOnlyNumbers() && table_.fields[field].kind == FieldKind::Integer
                             ? QStringLiteral("(%1 IS NULL)")
                             : QStringLiteral("(%1 IS NULL OR %1 = '')"))
                            .arg(col),
                        {}};
            // The server refuses text that is no number for a number field;
            // no record holds it.
            if (refusedByNumberField(field, value.text))
                return {QLatin1String(False), {}};
            return {col + QStringLiteral(" = ?"), {boundValue(field, value)}};
        }
        return {};
    }

    static QString constantEquals(const Operand& a, const Operand& b) {
        const bool same = a.kind == b.kind ? (a.kind == Operand::Kind::Number ? a.text.toLongLong() == b.text.toLongLong()
                                                                              : a.text == b.text)
                                           : false;
        return QLatin1String(same ? True : False);
    }

    Sql like(const Condition& c) {
        const int field = fieldOf(c.a);
        if (field < 0)
            throw EngineError(QStringLiteral("A field name was expected before LIKE at position %1.").arg(c.a.position));
        if (c.b.kind != Operand::Kind::Text)
            throw EngineError(QStringLiteral("A text value was expected after LIKE at position %1.").arg(c.b.position));
        if (std::optional<QString> text = containedText(c.b.text, c.escape))
            return containment(field, {QVariant(*text)});
        // LIKE never matches a blank field: NULL LIKE anything is not true.
        const QString col = column(field);
        const int limit = table_.connection->likePatternLimit();
        if (c.b.text.toUtf8().size() > limit)
            throw EngineError(QStringLiteral("模糊查询的匹配内容超过%1字节，无法执行。").arg(limit));
        // SQLite's LIKE ignores the case of ASCII letters; the server's ILIKE too.
        const QString like = dialect_.caseBlindLike();
        if (c.escape.isEmpty())
            return {QStringLiteral("(%1 <> '' AND %1 %2 ?)").arg(col, like), {QVariant(c.b.text)}};
        return {QStringLiteral("(%1 <> '' AND %1 %2 ? ESCAPE ?)").arg(col, like), {QVariant(c.b.text), QVariant(c.escape)}};
    }

    // The field holds one of the texts, ignoring ASCII case as LIKE does; a
    // blank field holds none. The texts are upper-cased here as SQLite's
    // upper() does it (ASCII letters only), once instead of once a record.
    Sql containment(int field, const std::vector<QVariant>& texts) const {
        const QString col = column(field);
        std::vector<QVariant> upper;
        upper.reserve(texts.size());
        for (const QVariant& t : texts)
            upper.push_back(QVariant(asciiUpper(t.toString())));
        if (upper.size() == 1)
            return {dialect_.holdsText(col), std::move(upper)};
        return {dialect_.holdsAnyText(col), {QVariant(jsonArray(upper))}};
    }

    // The field equals one of the values.
    Sql membership(int field, const std::vector<QVariant>& values) const {
        const QString col = column(field);
        if (values.size() == 1)
            return {col + QStringLiteral(" = ?"), values};
        return {dialect_.isAnyOf(col, table_.fields[field].kind == FieldKind::Integer), {QVariant(jsonArray(values))}};
    }

    QString column(int field) const {
        return field < int(table_.quotedFields.size()) ? table_.quotedFields[field] : quotedIdentifier(table_.fields[field].name);
    }

    bool refusedByNumberField(int field, const QString& text) const {
        return dialect_.numberFieldsHoldOnlyNumbers() && table_.fields[field].kind == FieldKind::Integer &&
               !isWholeNumber(text);
    }

    static bool isWholeNumber(const QString& text) {
        bool ok = false;
        text.toLongLong(&ok);
        return ok;
    }

    const OpenTable& table_;
    const SqlDialect& dialect_;
};

}  // namespace

Lookup lookupEqualities(const Condition* condition, const OpenTable& table) {
    Lookup found;
    if (!condition)
        return found;
    std::vector<const Condition*> terms;
    if (condition->kind == Condition::Kind::And)
        for (const Condition& term : condition->terms)
            terms.push_back(&term);
    else
        terms.push_back(condition);
    for (const Condition* term : terms) {
        if (term->kind != Condition::Kind::Equals)
            return {};
        const bool nameFirst = term->a.kind == Operand::Kind::Name || term->a.kind == Operand::Kind::Number;
        const Operand& name = nameFirst ? term->a : term->b;
        const Operand& value = nameFirst ? term->b : term->a;
        const int field = table.fieldIndex(name.text);
        if (field < 0 || (name.kind != Operand::Kind::Name && name.kind != Operand::Kind::Number) ||
            value.kind != Operand::Kind::Text || value.text.isEmpty() || table.fieldIndex(value.text) >= 0)
            return {};
        const FieldKind kind = table.fields[std::size_t(field)].kind;
        if (kind == FieldKind::Boolean)
            return {};
        if (kind == FieldKind::Integer) {
            bool ok = false;
            const qint64 n = value.text.toLongLong(&ok);
            if (!ok)
                return {};
            found.emplace_back(field, QVariant(n));
        } else {
            found.emplace_back(field, QVariant(value.text));
        }
    }
    return found;
}

TranslatedCondition translateCondition(const Condition* condition, const OpenTable& table) {
    if (!condition)
        return {QStringLiteral("TRUE"), {}};
    Sql sql = Translator(table, table.connection->dialect()).translate(*condition);
    return {std::move(sql.text), std::move(sql.parameters)};
}

}  // namespace data
