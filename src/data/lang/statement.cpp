#include "data/lang/statement.h"

#include "data/core/errors.h"


namespace data {

QString quotedLiteral(const QString& text) {
    QString quoted;
    appendQuotedLiteral(quoted, text);
    return quoted;
}

void appendQuotedLiteral(QString& out, QStringView text) {
    const QChar quote = QLatin1Char('\'');
    out.reserve(out.size() + text.size() + 2);
    out += quote;
    for (qsizetype from = 0;;) {
        const qsizetype at = text.indexOf(quote, from);
        if (at < 0) {
            out += text.mid(from);
            break;
        }
        out += text.mid(from, at + 1 - from);
        out += quote;
        from = at + 1;
    }
    out += quote;
}

QString twoValueLookup(QStringView head, const QString& first, QStringView middle, const QString& second) {
    QString statement;
    statement.reserve(head.size() + middle.size() + first.size() + second.size() + 8);
    statement += head;
    appendQuotedLiteral(statement, first);
    statement += middle;
    appendQuotedLiteral(statement, second);
    statement += QLatin1Char(' ');
    return statement;
}

QString searchableText(const QString& text) {
    QString kept = text;
    kept.remove(QChar(0));
    return kept;
}

QString containsPattern(const QString& text) {
    const QChar escape = QLatin1Char('\\');
    QString pattern;
    pattern.reserve(text.size() + 2);
    bool escaped = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == escape) {
            pattern += escape;
            escaped = true;
        }
        pattern += c;
    }
    const QString quoted = quotedLiteral(QLatin1Char('%') + pattern + QLatin1Char('%'));
    return escaped ? quoted + QStringLiteral(" ESCAPE ") + quotedLiteral(escape) : quoted;
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
            st.condition = std::make_unique<Condition>(parseChain(Condition::Kind::Or));
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
        static const char* const keywords[] = {"select", "from", "where", "and", "or", "like", "escape", "true", "false"};
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

    // A chain of one kind; a bracketed chain of the same kind joins it.
    Condition parseChain(Condition::Kind kind) {
        Condition chain{kind, {}, {}, {}, {}};
        for (;;) {
            Condition term = kind == Condition::Kind::Or ? parseChain(Condition::Kind::And) : parseFactor();
            if (term.kind == kind)
                std::move(term.terms.begin(), term.terms.end(), std::back_inserter(chain.terms));
            else
                chain.terms.push_back(std::move(term));
            if (!isWord(kind == Condition::Kind::Or ? "or" : "and"))
                break;
            ++pos_;
        }
        if (chain.terms.size() == 1) {
            Condition only = std::move(chain.terms.front());
            return only;
        }
        return chain;
    }

    Condition parseFactor() {
        if (current().kind == Token::Kind::Symbol && current().text == QLatin1String("(")) {
            if (++nesting_ > MaxStatementNesting)
                throw EngineError(QStringLiteral("查询语句的括号嵌套超过%1层，无法执行。").arg(MaxStatementNesting));
            ++pos_;
            Condition inner = parseChain(Condition::Kind::Or);
            expectSymbol(")");
            --nesting_;
            return inner;
        }
        Condition node{Condition::Kind::Equals, {}, {}, {}, {}};
        node.a = parseOperand();
        if (current().kind == Token::Kind::Symbol && current().text == QLatin1String("=")) {
            node.kind = Condition::Kind::Equals;
        } else if (isWord("like")) {
            node.kind = Condition::Kind::Like;
        } else {
            fail(QStringLiteral("\"=\" or LIKE was expected"), current());
        }
        ++pos_;
        node.b = parseOperand();
        if (node.kind == Condition::Kind::Like && isWord("escape")) {
            ++pos_;
            const Token& escape = current();
            if (escape.kind != Token::Kind::Text || escape.text.size() != 1 || escape.text[0].isSurrogate() || escape.text[0].isNull())
                fail(QStringLiteral("one character in quotes was expected after ESCAPE"), escape);
            node.escape = escape.text;
            ++pos_;
        }
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
    int nesting_ = 0;
};

}  // namespace

SelectStatement parseSelect(const QString& text) { return Parser(text).parse(); }

}  // namespace data
