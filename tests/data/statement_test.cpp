#include "data/lang/catalogue_lookup.h"
#include "data/lang/statement.h"
#include "table_fixture.h"

namespace {

TEST(QuotedLiteral, DoublesQuotes) {
    EXPECT_EQ(data::quotedLiteral(QStringLiteral("A1")), QStringLiteral("'A1'"));
    EXPECT_EQ(data::quotedLiteral(QStringLiteral("O'Neil's")), QStringLiteral("'O''Neil''s'"));
    EXPECT_EQ(data::quotedLiteral(QString()), QStringLiteral("''"));
}

// A literal appended to a statement begun, and the catalogue lookup built
// from two of them: every quote doubled, wherever it stands.
TEST(QuotedLiteral, AppendedKeepsWhatWentBefore) {
    struct Case {
        QString text, literal;
    };
    const Case cases[] = {
        {"", "''"},          {"'", "''''"},         {"''", "''''''"},       {"'A", "'''A'"},
        {"A'", "'A'''"},     {"A''B", "'A''''B'"},  {"黑'棕'", "'黑''棕'''"}, {"a b", "'a b'"},
    };
    for (const Case& c : cases) {
        QString statement = QStringLiteral("x=");
        data::appendQuotedLiteral(statement, c.text);
        EXPECT_EQ(statement, QStringLiteral("x=") + c.literal) << c.text.toStdString();
        EXPECT_EQ(data::quotedLiteral(c.text), c.literal);
        EXPECT_EQ(data::catalogueLookupStatement(c.text, QStringLiteral("黑'")),
                  QStringLiteral("select * from shoes.db WHERE 鞋的型号=") + c.literal + QStringLiteral(" AND 颜色='黑''' "));
    }
}

TEST(ParseSelect, AcceptsTheStatementsTheProgramSends) {
    const char* statements[] = {
        "select * from dd.db",
        "SELECT * FROM DD.DB WHERE 批号='A1' AND 已统计=TRUE",
        "select * from XdTJ.db where 鞋底型号='X' and 供应商=''",
        "select * from dd.db where 1=1 and (批号 LIKE '%a%' or 单号 like '%b%')",
        "  select   *\nfrom   dd.db   where(批号='x')OR(批号='y')  ",
        "select * from dd.db where 1=1 and 鞋的型号='A''B'",
        "select * from dd.db where 已统计=false",
        "select * from dd.db where 33='5'",
        "select * from dd.db where 颜色 like '%\\%%' escape '\\' and ((批号='a') or (批号='b'))",
    };
    for (const char* s : statements) {
        SCOPED_TRACE(s);
        EXPECT_NO_THROW(data::parseSelect(QString::fromUtf8(s)));
    }
    const auto st = data::parseSelect(QStringLiteral("select * from dd.db where 鞋的型号='A''B'"));
    ASSERT_TRUE(st.condition);
    EXPECT_EQ(st.condition->b.text, QStringLiteral("A'B"));
    EXPECT_EQ(st.table, QStringLiteral("dd.db"));
}

TEST(ParseSelect, RejectsWhatIsOutsideTheLanguageSayingWhere) {
    struct Case {
        const char* statement;
        const char* fragment;
    };
    const Case cases[] = {
        {"delete from dd.db", "\"select\" was expected at position 1"},
        {"select 批号 from dd.db", "\"*\" was expected at position 8"},
        {"select * from dd.db where", "at the end"},
        {"select * from dd.db where 批号='A", "a text literal is not closed at position 30"},
        {"select * from dd.db where 批号 <> 'A'", "\"=\" or LIKE was expected"},
        {"select * from dd.db where (批号='A'", "\")\" was expected at the end"},
        {"select * from dd.db order by 批号", "unexpected \"order\""},
        {"select * from dd.db; drop table dd", "unexpected \";\""},
        {"select * from dd.db where 颜色 like '%a%' escape 'ab'", "one character in quotes was expected after ESCAPE"},
        {"select * from dd.db where 颜色 like '%a%' escape", "one character in quotes was expected after ESCAPE at the end"},
        {"select * from dd.db where 颜色 = 'a' escape 'b'", "unexpected \"escape\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        try {
            data::parseSelect(QString::fromUtf8(c.statement));
            ADD_FAILURE() << "accepted";
        } catch (const data::EngineError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment))) << e.message().toStdString();
        }
    }
}

// Brackets cost stack while parsing: a hundred levels are taken, deeper ones
// are refused with a message; chains of any length cost none.
TEST(ParseSelect, NestingIsLimitedAndChainsAreFlat) {
    auto nested = [](int depth) {
        return QStringLiteral("select * from dd.db where ") + QStringLiteral("(").repeated(depth) + QStringLiteral("批号='A'") +
               QStringLiteral(")").repeated(depth);
    };
    EXPECT_EQ(data::parseSelect(nested(100)).condition->kind, data::Condition::Kind::Equals);
    for (int depth : {101, 100000}) {
        try {
            data::parseSelect(nested(depth));
            ADD_FAILURE() << depth << " levels accepted";
        } catch (const data::EngineError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("查询语句的括号嵌套超过100层，无法执行。"));
        }
    }

    // ((a or b) or c) or d, a or (b or (c or d)) and the plain chain are one OR of four.
    QString leftNested = QStringLiteral("批号='0'");
    for (int i = 1; i < 4; ++i)
        leftNested = QStringLiteral("(%1) or 批号='%2'").arg(leftNested).arg(i);
    for (const QString& where : {leftNested, QStringLiteral("批号='0' or (批号='1' or (批号='2' or 批号='3'))"),
                                 QStringLiteral("批号='0' or 批号='1' or 批号='2' or 批号='3'")}) {
        const auto st = data::parseSelect(QStringLiteral("select * from dd.db where ") + where);
        ASSERT_EQ(st.condition->kind, data::Condition::Kind::Or) << where.toStdString();
        ASSERT_EQ(st.condition->terms.size(), 4u) << where.toStdString();
        EXPECT_EQ(st.condition->terms[3].b.text, QStringLiteral("3"));
    }

    QString chain = QStringLiteral("select * from dd.db where 1=1 and (批号='0'");
    for (int i = 1; i < 100000; ++i)
        chain += QStringLiteral(" or 批号='%1'").arg(i);
    const auto st = data::parseSelect(chain + QLatin1Char(')'));
    ASSERT_EQ(st.condition->kind, data::Condition::Kind::And);
    EXPECT_EQ(st.condition->terms[1].terms.size(), 100000u);
}

// Matching, checked against a real table.
class Matching : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        auto q = openQuery(QStringLiteral("select * from dd.db"));
        addOrder(*q, QStringLiteral("A1"), {{QStringLiteral("鞋的型号"), QStringLiteral("ab-1")}, {QStringLiteral("已统计"), true}});
        addOrder(*q, QStringLiteral("A2"), {{QStringLiteral("鞋的型号"), QStringLiteral("AB-2")}, {QStringLiteral("颜色"), QStringLiteral("黑")}});
        addOrder(*q, QStringLiteral("B'3"), {{QStringLiteral("鞋的型号"), QStringLiteral("")}, {QStringLiteral("已统计"), false}});
        addOrder(*q, QStringLiteral("a1"), {{QStringLiteral("33"), 5}});
        addOrder(*q, QStringLiteral("C4"), {{QStringLiteral("鞋的型号"), QStringLiteral("5%_\\x")}});
    }
};

TAVREL_ON_BOTH_STORES(Matching);

TEST_P(Matching, ConditionsSelectTheExpectedBatches) {
    struct Case {
        const char* statement;
        const char* batches;
    };
    const Case cases[] = {
        {"select * from dd.db", "A1,A2,B'3,a1,C4"},
        {"select * from dd.db where 批号='A1'", "A1"},              // = is exact, case too
        {"SELECT * FROM DD.DB WHERE 批号='A1' AND 已统计=TRUE", "A1"},
        {"select * from dd.db where 已统计=false", "A2,B'3,a1,C4"},   // never-set flags count as false
        {"select * from dd.db where 已统计=true", "A1"},
        {"select * from dd.db where 鞋的型号 like '%ab%'", "A1,A2"},  // LIKE ignores ASCII case
        {"select * from dd.db where 鞋的型号 LIKE '%%'", "A1,A2,C4"},    // a blank field never matches LIKE
        {"select * from dd.db where 鞋的型号=''", "B'3,a1"},         // empty text and no value are one
        {"select * from dd.db where 批号='B''3'", "B'3"},
        {"select * from dd.db where 1=1 and (批号='A2' or 批号='a1')", "A2,a1"},
        {"select * from dd.db where 1=1", "A1,A2,B'3,a1,C4"},
        {"select * from dd.db where 1=2", ""},
        {"select * from dd.db where 33='5'", "a1"},
        {"select * from dd.db where 颜色 like '%黑%' and 已统计=false", "A2"},
        {"select * from dd.db where 批号='A1' or 批号='A2' and 已统计=true", "A1"},  // AND binds tighter
        // Escaped wildcards and the escape character itself are plain characters.
        {"select * from dd.db where 鞋的型号 like '%\\%%' escape '\\'", "C4"},
        {"select * from dd.db where 鞋的型号 like '%\\_%' escape '\\'", "C4"},
        {"select * from dd.db where 鞋的型号 like '%\\\\%' escape '\\'", "C4"},
        {"select * from dd.db where 鞋的型号 like '%5!%!_%' escape '!'", "C4"},
        {"select * from dd.db where 鞋的型号 like '%B\\-%' escape '\\'", "A1,A2"},
        // Unescaped, they stay wildcards; patterns other than '%text%' keep LIKE's meaning.
        {"select * from dd.db where 鞋的型号 like '%_%'", "A1,A2,C4"},
        {"select * from dd.db where 鞋的型号 like 'ab%'", "A1,A2"},
        {"select * from dd.db where 鞋的型号 like '%-1'", "A1"},
        {"select * from dd.db where 鞋的型号 like 'ab-_'", "A1,A2"},
        {"select * from dd.db where 鞋的型号 like '%\\x' escape '\\'", "C4"},
        {"select * from dd.db where 鞋的型号 like '%x\\' escape '\\'", ""},  // a trailing escape never matches
        {"select * from dd.db where 鞋的型号 like '%%%' escape '%'", ""},
        // Chains of one field, gathered into one test, with other terms beside them.
        {"select * from dd.db where 批号='A1' or 批号='zz' or 批号='C4' or 已统计=true", "A1,C4"},
        {"select * from dd.db where 33='5' or 33=6 or 33=''", "A1,A2,B'3,a1,C4"},
        {"select * from dd.db where 33=5 or 33='6'", "a1"},
        {"select * from dd.db where 鞋的型号 like '%-2%' or 鞋的型号 like '%X%' or 批号 like '%b''%'", "A2,B'3,C4"},
        {"select * from dd.db where (鞋的型号 like '%-%' or 鞋的型号 like '%zz%') and (批号='A1' or 批号='A2')", "A1,A2"},
        {"select * from dd.db where 1=2 or 1=1 or 批号='none'", "A1,A2,B'3,a1,C4"},
        {"select * from dd.db where 1=1 and 1=2 and 批号='A1'", ""},
    };
    data::Query q(*engine);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        q.setSql(QString::fromUtf8(c.statement));
        q.open();
        EXPECT_EQ(column(q, QStringLiteral("批号")).join(QLatin1Char(',')), QString::fromUtf8(c.batches));
        EXPECT_EQ(q.recordCount(), QString::fromUtf8(c.batches).isEmpty() ? 0 : QString::fromUtf8(c.batches).count(',') + 1);
    }
}

TEST_P(Matching, UnknownTableOrFieldIsAnEngineErrorNamingIt) {
    struct Case {
        const char* statement;
        const char* fragment;
    };
    const Case cases[] = {
        {"select * from orders.db", "\"orders.db\" does not exist"},
        {"select * from dd.db where 型号='A'", "Unknown field \"型号\" at position 27"},
        {"select * from dd.db where 批号=true", "not a logical field"},
        {"select * from dd.db where 'A' like 批号", "A field name was expected before LIKE"},
        {"select * from dd.db where 1=1 or 型号='A'", "Unknown field \"型号\""},  // decided, but still checked
    };
    // Statements beyond what SQLite takes are refused with a message of their own.
    QString alternating = QStringLiteral("批号='x'");
    for (int i = 0; i < 90; ++i)
        alternating = QStringLiteral("批号='%1' %2 (%3)").arg(i).arg(i % 2 ? QStringLiteral("or") : QStringLiteral("and"), alternating);
    const std::pair<QString, QString> refused[] = {
        {alternating, QStringLiteral("查询条件太多或太复杂，数据库无法执行。")},
        {QStringLiteral("鞋的型号 like 'a%1%'").arg(QString(50000, QLatin1Char('x'))), QStringLiteral("模糊查询的匹配内容超过50000字节，无法执行。")},
    };
    data::Query q(*engine);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        q.setSql(QString::fromUtf8(c.statement));
        try {
            q.open();
            ADD_FAILURE() << "opened";
        } catch (const data::EngineError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment))) << e.message().toStdString();
        }
        EXPECT_FALSE(q.isOpen());
    }
    for (const auto& [where, message] : refused) {
        q.setSql(QStringLiteral("select * from dd.db where ") + where);
        if (GetParam() == Store::Server) {
            // The server takes them; they find nothing.
            q.open();
            EXPECT_EQ(q.recordCount(), 0);
            continue;
        }
        try {
            q.open();
            ADD_FAILURE() << "opened";
        } catch (const data::EngineError& e) {
            EXPECT_EQ(e.message(), message);
        }
        EXPECT_FALSE(q.isOpen());
    }
}

TEST_P(Matching, ValueWithQuoteBuiltByTheHelperFindsItsRecord) {
    data::Query q(*engine);
    q.setSql(QStringLiteral("select * from dd.db where 批号=") + data::quotedLiteral(QStringLiteral("B'3")));
    q.open();
    EXPECT_EQ(column(q, QStringLiteral("批号")), QStringList{QStringLiteral("B'3")});
}

// The catalogue lookup finds the record of exactly that model and colour.
TEST_P(Matching, CatalogueLookupFindsExactlyItsModelAndColour) {
    auto shoes = openQuery(QStringLiteral("select * from shoes.db"));
    for (const auto& [model, colour] : std::vector<std::pair<QString, QString>>{
             {"8012", "黑"}, {"8012", "黑/BLACK"}, {"18012", "黑"}, {"O'B", ""}, {"A''1", "棕"}, {"", "白"}}) {
        shoes->append();
        shoes->field(QStringLiteral("鞋的型号")).setText(model);
        shoes->field(QStringLiteral("颜色")).setText(colour);
        shoes->post();
    }
    struct Case {
        QString model, colour, found;
    };
    const Case cases[] = {
        {"8012", "黑", "8012/黑"},
        {"8012", "黑/BLACK", "8012/黑/BLACK"},
        {"801", "黑", ""},
        {"8012", "棕", ""},
        {"O'B", "", "O'B/"},
        {"O'B", "黑", ""},
        {"A''1", "棕", "A''1/棕"},
        {"A'1", "棕", ""},
        {"", "白", "/白"},
        {"8012' or '1'='1", "黑", ""},
    };
    data::Query q(*engine);
    for (const Case& c : cases) {
        q.setSql(data::catalogueLookupStatement(c.model, c.colour));
        q.open();
        QStringList found;
        for (q.first(); !q.eof(); q.next())
            found << q.field(QStringLiteral("鞋的型号")).asText() + QLatin1Char('/') + q.field(QStringLiteral("颜色")).asText();
        EXPECT_EQ(found.join(QLatin1Char(',')), c.found) << c.model.toStdString() << " " << c.colour.toStdString();
    }
}

}  // namespace
