#include "table_fixture.h"

namespace {

using data::Query;

// The same statement texts opened again and again, as lookups do.
class StatementReuse : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        writer = openQuery(QStringLiteral("select * from dd.db"));
    }
    std::unique_ptr<Query> writer;
};

TAVREL_ON_BOTH_STORES(StatementReuse);

// Results of every size read back whole, each time the text is opened again,
// rows added in between included.
TEST_P(StatementReuse, ResultsOfAnySizeReadBackAfterEveryOpen) {
    struct Case {
        int rows;
    };
    for (const Case& c : {Case{0}, Case{1}, Case{2}, Case{8}, Case{9}, Case{64}, Case{65}, Case{150}}) {
        SCOPED_TRACE(c.rows);
        const QString order = QStringLiteral("N%1").arg(c.rows);
        const QString text = QStringLiteral("select * from dd.db where 单号='%1'").arg(order);
        Query lookup(*engine);
        for (int round = 0; round < 2; ++round) {
            const int expected = round == 0 ? c.rows / 2 : c.rows;
            for (int i = lookup.isOpen() ? lookup.recordCount() : 0; i < expected; ++i)
                addOrder(*writer, QStringLiteral("%1-%2").arg(order).arg(i, 3, 10, QLatin1Char('0')),
                         {{QStringLiteral("单号"), order}, {QStringLiteral("件数"), i}});
            lookup.setSql(text);
            lookup.open();
            ASSERT_EQ(lookup.recordCount(), expected);
            int row = 0;
            for (lookup.last(); !lookup.bof() && row < expected; lookup.prior(), ++row)
                EXPECT_EQ(lookup.field(QStringLiteral("件数")).asInteger(), expected - 1 - row);
        }
    }
}

// A lookup that found one row last time reads its rows with their ids; the
// next open sees what was written in between, however many rows it finds.
TEST_P(StatementReuse, ASmallResultReadWithItsIdsStaysLive) {
    const QString text = QStringLiteral("select * from dd.db where 单号='L'");
    addOrder(*writer, QStringLiteral("L-000"), {{QStringLiteral("单号"), QStringLiteral("L")}, {QStringLiteral("件数"), 1}});
    Query lookup(*engine);
    lookup.setSql(text);
    lookup.open();
    ASSERT_EQ(lookup.recordCount(), 1);

    // The same row changed, then many more added.
    writer->first();
    writer->edit();
    writer->field(QStringLiteral("件数")).setInteger(5);
    writer->post();
    lookup.open();
    ASSERT_EQ(lookup.recordCount(), 1);
    EXPECT_EQ(lookup.field(QStringLiteral("件数")).asInteger(), 5);

    for (int i = 1; i < 100; ++i)
        addOrder(*writer, QStringLiteral("L-%1").arg(i, 3, 10, QLatin1Char('0')),
                 {{QStringLiteral("单号"), QStringLiteral("L")}, {QStringLiteral("件数"), 100 + i}});
    lookup.open();
    ASSERT_EQ(lookup.recordCount(), 100);
    int row = 0;
    for (lookup.first(); !lookup.eof(); lookup.next(), ++row)
        EXPECT_EQ(lookup.field(QStringLiteral("件数")).asInteger(), row == 0 ? 5 : 100 + row) << "row " << row;
    EXPECT_EQ(row, 100);
}

TEST_P(StatementReuse, ATextThatFailsFailsEveryTime) {
    struct Case {
        const char* text;
    };
    for (const Case& c : {Case{"select * from dd.db where 没有='1'"}, Case{"select * from none.db"}, Case{"select * frm dd.db"}}) {
        SCOPED_TRACE(c.text);
        Query q(*engine);
        for (int round = 0; round < 2; ++round) {
            q.setSql(QString::fromUtf8(c.text));
            EXPECT_THROW(q.open(), data::EngineError);
            EXPECT_FALSE(q.isOpen());
        }
    }
}

}  // namespace
