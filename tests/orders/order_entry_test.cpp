#include "orders_fixture.h"

#include "orders/order_entry.h"
#include "orders/order_messages.h"

namespace {

using orders::OrderEntryOutcome;
using orders::OrderEntryRequest;

class OrderEntry : public TablesTest<OrderTables> {
protected:
    QStringList storedBatches() {
        auto all = openQuery(QStringLiteral("select * from dd.db"));
        return column(*all, QStringLiteral("批号"));
    }
};

TEST(BatchNumbers, PaddedToThreeDigitsAtLeast) {
    const std::pair<int, const char*> cases[] = {
        {0, "100000"}, {1, "100001"}, {2, "100002"}, {12, "100012"}, {123, "100123"}, {1234, "1001234"},
    };
    for (const auto& [running, expected] : cases)
        EXPECT_EQ(orders::batchNumber(QStringLiteral("100"), running), QString::fromUtf8(expected));
}

TEST_F(OrderEntry, GeneratesConsecutiveOrders) {
    struct Case {
        const char* number;
        int start, count;
        QStringList batches;
    };
    const Case cases[] = {
        {"100", 1, 3, {"100001", "100002", "100003"}},
        {"200", 98, 3, {"200098", "200099", "200100"}},
        {"300", 999, 2, {"300999", "3001000"}},
        {"A01", 5, 1, {"A01005"}},
    };
    QStringList all;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const QString number = QString::fromUtf8(c.number);
        EXPECT_EQ(orders::enterOrders(*orders, {number, c.start, c.count}), OrderEntryOutcome::Generated);
        all += c.batches;
        EXPECT_EQ(storedBatches(), all);
        for (const QString& batch : c.batches) {
            EXPECT_EQ(stored(batch, QStringLiteral("单号")).toString(), number);
            EXPECT_EQ(stored(batch, QStringLiteral("件数")), QVariant(qint64(0)));
            EXPECT_EQ(stored(batch, QStringLiteral("双数")), QVariant(qint64(0)));
            EXPECT_EQ(stored(batch, QStringLiteral("48")), QVariant(qint64(0)));
            EXPECT_EQ(stored(batch, QStringLiteral("已统计")), QVariant(false));
        }
        EXPECT_EQ(orders->sql(), orders::notCountedStatement());
        EXPECT_TRUE(orders->isOpen());
    }
}

TEST_F(OrderEntry, ShowsOnlyTheNotCountedOrdersAfterwards) {
    addOrder(*orders, QStringLiteral("OLD1"), {{QStringLiteral("已统计"), true}});
    addOrder(*orders, QStringLiteral("OLD2"));
    orders::enterOrders(*orders, {QStringLiteral("100"), 1, 2});
    EXPECT_EQ(column(*orders, QStringLiteral("批号")), (QStringList{"OLD2", "100001", "100002"}));
}

TEST_F(OrderEntry, ZeroRowsOnlySwitchesTheStatement) {
    addOrder(*orders, QStringLiteral("OLD1"), {{QStringLiteral("已统计"), true}});
    for (int count : {0, -2}) {
        EXPECT_EQ(orders::enterOrders(*orders, {QStringLiteral("100"), 1, count}), OrderEntryOutcome::Generated);
        EXPECT_EQ(storedOrderCount(), 1);
        EXPECT_EQ(orders->sql(), orders::notCountedStatement());
        EXPECT_EQ(orders->recordCount(), 0);
    }
}

TEST_F(OrderEntry, RefusedOrderNumbersTouchNothing) {
    struct Case {
        QString number;
        OrderEntryOutcome outcome;
        QString message;
    };
    const Case cases[] = {
        {QStringLiteral("0123"), OrderEntryOutcome::RefusedLeadingZero, QStringLiteral("厂内单号不能以“0“开头！")},
        {QStringLiteral("0"), OrderEntryOutcome::RefusedLeadingZero, QStringLiteral("厂内单号不能以“0“开头！")},
        {QString(), OrderEntryOutcome::RefusedEmptyNumber, QStringLiteral("厂内单号不能为空！")},
    };
    addOrder(*orders, QStringLiteral("OLD1"), {{QStringLiteral("已统计"), true}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number.toStdString());
        EXPECT_EQ(orders::enterOrders(*orders, {c.number, 1, 3}), c.outcome);
        EXPECT_EQ(orders::refusalMessage(c.outcome), c.message);
        EXPECT_EQ(storedOrderCount(), 1);
        EXPECT_EQ(orders->sql(), QStringLiteral("select * from dd.db"));
        EXPECT_EQ(orders->recordCount(), 1);
    }
    EXPECT_TRUE(orders::refusalMessage(OrderEntryOutcome::Generated).isEmpty());
}

TEST_F(OrderEntry, DuplicateEndsTheRunSilently) {
    orders::enterOrders(*orders, {QStringLiteral("100"), 3, 1});
    orders->setSql(QStringLiteral("select * from dd.db"));
    orders->open();
    // 100001 and 100002 go in, 100003 exists, 100004 and 100005 never come
    EXPECT_THROW(orders::enterOrders(*orders, {QStringLiteral("100"), 1, 5}), data::SilentAbort);
    EXPECT_EQ(duplicateMessages, 1);
    EXPECT_EQ(storedBatches(), (QStringList{"100003", "100001", "100002"}));
    EXPECT_EQ(orders->sql(), QStringLiteral("select * from dd.db"));
    EXPECT_FALSE(orders->isEditing());
}

TEST_F(OrderEntry, RunningTheSameEntryTwiceAddsNothingMore) {
    orders::enterOrders(*orders, {QStringLiteral("100"), 1, 3});
    EXPECT_THROW(orders::enterOrders(*orders, {QStringLiteral("100"), 1, 3}), data::SilentAbort);
    EXPECT_EQ(duplicateMessages, 1);
    EXPECT_EQ(storedOrderCount(), 3);
}

TEST_F(OrderEntry, NegativeStartIsRefused) {
    EXPECT_THROW(orders::enterOrders(*orders, {QStringLiteral("100"), -5, 2}), std::invalid_argument);
    EXPECT_EQ(storedOrderCount(), 0);
}

}  // namespace
