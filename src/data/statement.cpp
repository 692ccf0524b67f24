#include "data/statement.h"

#include "data/errors.h"

namespace data {

QString quotedLiteral(const QString& text) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

namespace {

struct Token {
    enum class Kind { Word, Text, Symbol, End };
    Kind kind;
    QString text;
    int position;  // 1-based
};

bool isSymbol(QChar c) {
    return c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char('=') || c == QLatin1Char('*') ||
           c == QLatin1Char(',') || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char(';');
}

bool isAsciiDigits(const QString& s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

class Parser {
public:
    explicit Parser(const QString& text) : text_(text) { tokenize(); }

    SelectStatement parse() {
        expectWord("select");
        expectSymbol("*");
        expectWord("from");
        SelectStatement st;
        const Token& table = current();
        if (table.kind != Token::Kind::Word || isKeyword(table.text))
            fail(QStringLiteral("a table name was expected"), table);
        st.table = table.text;
        ++pos_;
        if (isWord("where")) {
            ++pos_;
            st.condition = parseOr();
        }
        if (current().kind != Token::Kind::End)
            fail(QStringLiteral("unexpected \"%1\"").arg(current().text), current());
        return st;
    }

private:
    void tokenize() {
        int i = 0;
        const int n = int(text_.size());
        while (i < n) {
            const QChar c = text_[i];
            if (c.isSpace()) {
                ++i;
            } else if (c == QLatin1Char('\'')) {
                const int start = i++;
                QString value;
                bool closed = false;
                while (i < n) {
                    if (text_[i] == QLatin1Char('\'')) {
                        if (i + 1 < n && text_[i + 1] == QLatin1Char('\'')) {
                            value += QLatin1Char('\'');
                            i += 2;
                            continue;
                        }
                        closed = true;
                        ++i;
                        break;
                    }
                    value += text_[i++];
                }
                if (!closed)
                    fail(QStringLiteral("a text literal is not closed"), Token{Token::Kind::Text, {}, start + 1});
                tokens_.push_back({Token::Kind::Text, value, start + 1});
            } else if (isSymbol(c)) {
                tokens_.push_back({Token::Kind::Symbol, QString(c), i + 1});
                ++i;
            } else {
                const int start = i;
                while (i < n && !text_[i].isSpace() && !isSymbol(text_[i]) && text_[i] != QLatin1Char('\''))
                    ++i;
                tokens_.push_back({Token::Kind::Word, text_.mid(start, i - start), start + 1});
            }
        }
        tokens_.push_back({Token::Kind::End, QString(), n + 1});
    }

    static bool isKeyword(const QString& word) {
        static const char* const keywords[] = {"select", "from", "where", "and", "or", "like", "true", "false"};
        for (const char* k : keywords)
            if (word.compare(QLatin1String(k), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }

    const Token& current() const { return tokens_[pos_]; }

    bool isWord(const char* word) const {
        return current().kind == Token::Kind::Word && current().text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    void expectWord(const char* word) {
        if (!isWord(word))
            fail(QStringLiteral("\"%1\" was expected").arg(QLatin1String(word)), current());
        ++pos_;
    }

    void expectSymbol(const char* symbol) {
        if (current().kind != Token::Kind::Symbol || current().text != QLatin1String(symbol))
            fail(QStringLiteral("\"%1\" was expected").arg(QLatin1String(symbol)), current());
        ++pos_;
    }

    std::unique_ptr<Condition> parseOr() {
        auto left = parseAnd();
        while (isWord("or")) {
            ++pos_;
            auto node = std::make_unique<Condition>();
            node->kind = Condition::Kind::Or;
            node->left = std::move(left);
            node->right = parseAnd();
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<Condition> parseAnd() {
        auto left = parseFactor();
        while (isWord("and")) {
            ++pos_;
            auto node = std::make_unique<Condition>();
            node->kind = Condition::Kind::And;
            node->left = std::move(left);
            node->right = parseFactor();
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<Condition> parseFactor() {
        if (current().kind == Token::Kind::Symbol && current().text == QLatin1String("(")) {
            ++pos_;
            auto inner = parseOr();
            expectSymbol(")");
            return inner;
        }
        auto node = std::make_unique<Condition>();
        node->a = parseOperand();
        if (current().kind == Token::Kind::Symbol && current().text == QLatin1String("=")) {
            node->kind = Condition::Kind::Equals;
        } else if (isWord("like")) {
            node->kind = Condition::Kind::Like;
        } else {
            fail(QStringLiteral("\"=\" or LIKE was expected"), current());
        }
        ++pos_;
        node->b = parseOperand();
        return node;
    }

    Operand parseOperand() {
        const Token& t = current();
        Operand op{Operand::Kind::Name, t.text, t.position};
        if (t.kind == Token::Kind::Text) {
            op.kind = Operand::Kind::Text;
        } else if (t.kind == Token::Kind::Word && (isWord("true") || isWord("false"))) {
            op.kind = Operand::Kind::Logical;
            op.text = t.text.toLower();
        } else if (t.kind == Token::Kind::Word && !isKeyword(t.text)) {
            op.kind = isAsciiDigits(t.text) ? Operand::Kind::Number : Operand::Kind::Name;
        } else {
            fail(QStringLiteral("a field name or a value was expected"), t);
        }
        ++pos_;
        return op;
    }

    [[noreturn]] void fail(const QString& what, const Token& at) const {
        const QString near = at.kind == Token::Kind::End ? QStringLiteral("at the end") : QStringLiteral("at position %1").arg(at.position);
        throw EngineError(QStringLiteral("Invalid statement: %1 %2 in: %3").arg(what, near, text_.simplified()));
    }

    const QString& text_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

class Translator {
public:
    Translator(const OpenTable& table) : table_(table) {}

    QString translate(const Condition& c) {
        switch (c.kind) {
        case Condition::Kind::And:
        case Condition::Kind::Or: {
            // Left before right: the parameters are bound in the order of the text.
            const QString left = translate(*c.left);
            const QString right = translate(*c.right);
            return QStringLiteral("(%1 %2 %3)").arg(left, c.kind == Condition::Kind::And ? QStringLiteral("AND") : QStringLiteral("OR"), right);
        }
        case Condition::Kind::Equals:
            return equals(c.a, c.b);
        case Condition::Kind::Like:
            return like(c.a, c.b);
        }
        return {};
    }

    std::vector<QVariant> parameters;

private:
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

    QString parameter(const QVariant& value) {
        parameters.push_back(value);
        return QStringLiteral("?");
    }

    QString equals(const Operand& a, const Operand& b) {
        int fa = fieldOf(a);
        int fb = fieldOf(b);
        if (fa < 0 && fb < 0)
            return constantEquals(a, b);
        if (fa >= 0 && fb >= 0)
            return QStringLiteral("%1 IS %2").arg(column(fa), column(fb));
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
            return flag ? QStringLiteral("(coalesce(%1, 0) <> 0)").arg(col) : QStringLiteral("(coalesce(%1, 0) = 0)").arg(col);
        }
        case FieldKind::Integer:
        case FieldKind::Text:
            if (value.kind == Operand::Kind::Logical)
                throw EngineError(QStringLiteral("Field \"%1\" at position %2 is not a logical field.")
                                      .arg(table_.fields[field].name)
                                      .arg(fa >= 0 ? a.position : b.position));
            // Empty text and no value are one thing.
            if (value.kind == Operand::Kind::Text && value.text.isEmpty())
                return QStringLiteral("(%1 IS NULL OR %1 = '')").arg(col);
            if (value.kind == Operand::Kind::Number)
                return QStringLiteral("%1 = %2").arg(col, parameter(table_.fields[field].kind == FieldKind::Integer
                                                                        ? QVariant(value.text.toLongLong())
                                                                        : QVariant(value.text)));
            return QStringLiteral("%1 = %2").arg(col, parameter(value.text));
        }
        return {};
    }

    QString constantEquals(const Operand& a, const Operand& b) {
        const bool same = a.kind == b.kind ? (a.kind == Operand::Kind::Number ? a.text.toLongLong() == b.text.toLongLong()
                                                                              : a.text == b.text)
                                           : false;
        return same ? QStringLiteral("1") : QStringLiteral("0");
    }

    QString like(const Operand& a, const Operand& b) {
        const int field = fieldOf(a);
        if (field < 0)
            throw EngineError(QStringLiteral("A field name was expected before LIKE at position %1.").arg(a.position));
        if (b.kind != Operand::Kind::Text)
            throw EngineError(QStringLiteral("A text value was expected after LIKE at position %1.").arg(b.position));
        // LIKE never matches a blank field: NULL LIKE anything is not true.
        const QString col = column(field);
        return QStringLiteral("(%1 <> '' AND %1 LIKE %2)").arg(col, parameter(b.text));
    }

    QString column(int field) const {
        return field < int(table_.quotedFields.size()) ? table_.quotedFields[field] : quotedIdentifier(table_.fields[field].name);
    }

    const OpenTable& table_;
};

}  // namespace

SelectStatement parseSelect(const QString& text) { return Parser(text).parse(); }

std::shared_ptr<const PreparedSelect> Engine::prepareSelect(const QString& text) {
    constexpr qsizetype MaxKept = 4096;
    if (const auto it = selects_.constFind(text); it != selects_.constEnd())
        return it.value();
    const SelectStatement statement = parseSelect(text);
    auto prepared = std::make_shared<PreparedSelect>();
    prepared->table = table(statement.table);
    prepared->where = translateCondition(statement.condition.get(), *prepared->table);
    const OpenTable& t = *prepared->table;
    QStringList columns{QStringLiteral("rowid")};
    for (const QString& field : t.quotedFields)
        columns << field;
    prepared->idsSql = QStringLiteral("SELECT rowid FROM %1 WHERE %2").arg(t.quotedName, prepared->where.sql);
    prepared->rowsSql =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(columns.join(QLatin1Char(',')), t.quotedName, prepared->where.sql);
    if (selects_.size() >= MaxKept)
        selects_.clear();
    selects_.insert(text, prepared);
    return prepared;
}

TranslatedCondition translateCondition(const Condition* condition, const OpenTable& table) {
    if (!condition)
        return {QStringLiteral("1"), {}};
    Translator t(table);
    TranslatedCondition result;
    result.sql = t.translate(*condition);
    result.parameters = std::move(t.parameters);
    return result;
}

}  // namespace data
