#include "orders_fixture.h"

#include "orders/bulk_orders.h"

#include <stdexcept>

namespace {

class BulkOrders : public TablesTest<OrderTables> {
protected:
    void addOrders(int n, bool counted = false) {
        for (int i = 1; i <= n; ++i)
            addOrder(*orders, QStringLiteral("M%1").arg(i, 2, 10, QLatin1Char('0')),
                     {{QStringLiteral("40"), i}, {QStringLiteral("已统计"), counted}});
    }
};

TEST_F(BulkOrders, MarkCountedMarksEveryShownRow) {
    for (bool alreadyCounted : {false, true}) {
        SCOPED_TRACE(alreadyCounted);
        orders->setSql(QStringLiteral("select * from dd.db"));
        orders->open();
        while (!orders->isEmpty())
            orders->remove();
        addOrders(5, alreadyCounted);
        RecordingSink sink;
        EXPECT_EQ(orders::markCounted(*orders, sink), 5);
        EXPECT_EQ(sink.textsOf(kit::ProgressPanel),
                  (QStringList{"此表共有记录5条:未完成:4@已完成:1@已求和:1", "此表共有记录5条:未完成:3@已完成:2@已求和:3",
                               "此表共有记录5条:未完成:2@已完成:3@已求和:6", "此表共有记录5条:未完成:1@已完成:4@已求和:10",
                               "此表共有记录5条:未完成:0@已完成:5@已求和:15"}));
        EXPECT_EQ(sink.textsOf(kit::CountPanel), QStringList{"5"});
        EXPECT_EQ(sink.writes.back().first, kit::CountPanel);
        EXPECT_EQ(sink.eventTurns, 5);
        EXPECT_EQ(openQuery(QStringLiteral("select * from dd.db where 已统计=true"))->recordCount(), 5);
    }
}

TEST_F(BulkOrders, MarkCountedWalksTheNotCountedResultOnce) {
    addOrders(3);
    addOrder(*orders, QStringLiteral("C1"), {{QStringLiteral("已统计"), true}});
    orders->setSql(QStringLiteral("select * from dd.db where 已统计=false"));
    orders->open();
    RecordingSink sink;
    EXPECT_EQ(orders::markCounted(*orders, sink), 3);
    EXPECT_EQ(orders->recordCount(), 3);  // they stay until the query is opened again
    EXPECT_EQ(sink.textsOf(kit::CountPanel), QStringList{"3"});
    orders->open();
    EXPECT_EQ(orders->recordCount(), 0);
}

TEST_F(BulkOrders, MarkCountedOnAnEmptyResult) {
    RecordingSink sink;
    EXPECT_EQ(orders::markCounted(*orders, sink), 0);
    EXPECT_EQ(sink.writes, (std::vector<std::pair<int, QString>>{{kit::CountPanel, QStringLiteral("0")}}));
}

TEST_F(BulkOrders, DeleteRemovesExactlyTheShownRows) {
    for (int i = 1; i <= 10; ++i)
        addOrder(*orders, QStringLiteral("D%1").arg(i, 2, 10, QLatin1Char('0')), {{QStringLiteral("件数"), i % 2}});
    addOrder(*orders, QStringLiteral("D11"), {{QStringLiteral("件数"), 1}});
    orders->setSql(QStringLiteral("select * from dd.db where 件数=1"));
    orders->open();
    ASSERT_EQ(orders->recordCount(), 6);
    RecordingSink sink;
    EXPECT_EQ(orders::deleteShownOrders(*orders, sink), 6);
    const QStringList texts = sink.textsOf(kit::ProgressPanel);
    ASSERT_EQ(texts.size(), 7);
    EXPECT_EQ(texts[0], QStringLiteral("此表共有记录5条:未完成:5@已完成:1"));
    EXPECT_EQ(texts[1], QStringLiteral("此表共有记录4条:未完成:4@已完成:2"));
    EXPECT_EQ(texts[5], QStringLiteral("此表共有记录0条:未完成:0@已完成:6"));
    EXPECT_EQ(texts[6], QStringLiteral("删除完毕"));
    EXPECT_EQ(sink.eventTurns, 6);
    EXPECT_TRUE(orders->isEmpty());
    auto all = openQuery(QStringLiteral("select * from dd.db"));
    EXPECT_EQ(column(*all, QStringLiteral("批号")), (QStringList{"D02", "D04", "D06", "D08", "D10"}));
}

TEST_F(BulkOrders, DeleteOnAnEmptyResultOnlyReportsTheEnd) {
    RecordingSink sink;
    EXPECT_EQ(orders::deleteShownOrders(*orders, sink), 0);
    EXPECT_EQ(sink.writes, (std::vector<std::pair<int, QString>>{{kit::ProgressPanel, QStringLiteral("删除完毕")}}));
}

TEST_F(BulkOrders, BusyDuringTheLoopAndFreedHoweverItEnds) {
    using Operation = int (*)(data::Query&, kit::StatusSink&);
    for (Operation operation : {orders::markCounted, orders::deleteShownOrders}) {
        orders->setSql(QStringLiteral("select * from dd.db"));
        orders->open();
        while (!orders->isEmpty())
            orders->remove();
        addOrders(4);

        RecordingSink failing;
        int turns = 0;
        failing.onEvents = [&] {
            EXPECT_TRUE(orders->isBusy());
            if (++turns == 3)
                throw std::runtime_error("refused");
        };
        EXPECT_THROW(operation(*orders, failing), std::runtime_error);
        EXPECT_FALSE(orders->isBusy());
        // the two rows handled before the failure stay handled; the end is not reported
        EXPECT_FALSE(failing.textsOf(kit::ProgressPanel).contains(QStringLiteral("删除完毕")));
        EXPECT_TRUE(failing.textsOf(kit::CountPanel).isEmpty());
        EXPECT_TRUE(failing.textsOf(kit::ProgressPanel).last().contains(QStringLiteral("@已完成:2")));

        RecordingSink sink;
        sink.onEvents = [&] { EXPECT_TRUE(orders->isBusy()); };
        operation(*orders, sink);
        EXPECT_FALSE(orders->isBusy());
    }
}

}  // namespace
