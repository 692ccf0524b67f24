#include "orders_fixture.h"

#include "orders/order_messages.h"

#include <QDir>
#include <sqlite3.h>

namespace {

using Fields = QList<QPair<QString, QVariant>>;

class OrderPosting : public TablesTest<OrderTables> {};

TEST_F(OrderPosting, StoresWholeNumbersColourNamesAndThePairsTotal) {
    struct Case {
        const char* name;
        Fields typed;
        qint64 cases, pairs;
        QString colour;
    };
    const Case cases[] = {
        {"only the batch number", {}, 0, 0, {}},
        {"total is the sum of sizes, not times cases",
         {{"件数", 3}, {"36", 12}, {"37", 24}}, 3, 36, {}},
        {"a typed total is replaced", {{"双数", 99}, {"40", 60}}, 0, 60, {}},
        {"sizes typed as text", {{"33", "5"}, {"48", " 7"}}, 0, 12, {}},
        {"shorthand colour", {{"颜色", "zy"}}, 0, 0, "棕油"},
        {"shorthand colour in capitals", {{"颜色", "HBL"}}, 0, 0, "黑/BLACK"},
        {"other colour unchanged", {{"颜色", "zyx"}}, 0, 0, "zyx"},
        {"chinese colour unchanged", {{"颜色", "红"}}, 0, 0, "红"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString batch = QStringLiteral("B%1").arg(++n);
        addOrder(*orders, batch, c.typed);
        EXPECT_EQ(stored(batch, QStringLiteral("件数")), QVariant(c.cases));
        EXPECT_EQ(stored(batch, QStringLiteral("双数")), QVariant(c.pairs));
        EXPECT_EQ(stored(batch, QStringLiteral("颜色")).toString(), c.colour);
        for (const QString& size : data::sizeFieldNames())
            EXPECT_TRUE(stored(batch, size).isValid()) << size.toStdString() << " left empty";
    }
}

TEST_F(OrderPosting, EmptyCountsOfAnEditedRowBecomeZero) {
    addOrder(*orders, QStringLiteral("E1"), {{QStringLiteral("34"), 4}, {QStringLiteral("35"), 6}});
    goTo(QStringLiteral("E1"));
    orders->edit();
    orders->field(QStringLiteral("34")).clear();
    orders->field(QStringLiteral("件数")).clear();
    orders->post();
    EXPECT_EQ(stored(QStringLiteral("E1"), QStringLiteral("34")), QVariant(qint64(0)));
    EXPECT_EQ(stored(QStringLiteral("E1"), QStringLiteral("件数")), QVariant(qint64(0)));
    EXPECT_EQ(stored(QStringLiteral("E1"), QStringLiteral("双数")), QVariant(qint64(6)));
}

TEST_F(OrderPosting, DuplicateBatchNumberIsReportedOnceAndTheNewRowDropped) {
    addOrder(*orders, QStringLiteral("D1"), {{QStringLiteral("件数"), 2}});
    EXPECT_THROW(addOrder(*orders, QStringLiteral("D1"), {{QStringLiteral("件数"), 9}}), data::SilentAbort);
    EXPECT_EQ(duplicateMessages, 1);
    EXPECT_FALSE(orders->isEditing());
    EXPECT_EQ(orders->recordCount(), 1);
    EXPECT_EQ(orders->rowCount(), 1);
    EXPECT_EQ(storedOrderCount(), 1);
    EXPECT_EQ(stored(QStringLiteral("D1"), QStringLiteral("件数")), QVariant(qint64(2)));
}

TEST_F(OrderPosting, DuplicateOnEditRevertsTheRecord) {
    addOrder(*orders, QStringLiteral("D1"));
    addOrder(*orders, QStringLiteral("D2"), {{QStringLiteral("件数"), 5}});
    goTo(QStringLiteral("D2"));
    orders->edit();
    orders->field(QStringLiteral("批号")).setText(QStringLiteral("D1"));
    EXPECT_THROW(orders->post(), data::SilentAbort);
    EXPECT_EQ(duplicateMessages, 1);
    EXPECT_EQ(orders->field(QStringLiteral("批号")).asText(), QStringLiteral("D2"));
    EXPECT_EQ(stored(QStringLiteral("D2"), QStringLiteral("件数")), QVariant(qint64(5)));
}

TEST_F(OrderPosting, OtherFailuresAreLeftToTheCaller) {
    // A trigger beside the engine refuses every insert with an error that is no key violation.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QDir(dir.path()).filePath(QStringLiteral("dd.db")).toUtf8().constData(), &db), SQLITE_OK);
    const QString table = data::ordersTable().sqlName;
    const QString trigger = QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON %1 BEGIN SELECT RAISE(ABORT, 'refused'); END")
                                .arg(data::quotedIdentifier(table));
    ASSERT_EQ(sqlite3_exec(db, trigger.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    orders->append();
    orders->field(QStringLiteral("批号")).setText(QStringLiteral("X1"));
    try {
        orders->post();
        FAIL() << "the post went through";
    } catch (const data::EngineError& error) {
        EXPECT_FALSE(error.isKeyViolation());
    }
    EXPECT_EQ(duplicateMessages, 0);
    EXPECT_EQ(orders->state(), data::Query::State::Insert);
}

TEST(OrderMessages, ZeroCasesMessage) {
    EXPECT_EQ(orders::zeroCasesMessage(3), QStringLiteral("有3行件数为0，未作处理！"));
    EXPECT_EQ(orders::orderNumberLeadingZeroMessage(), QString::fromUtf8("厂内单号不能以\u201c0\u201c开头！"));
}

}  // namespace
