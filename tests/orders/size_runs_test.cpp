#include "orders_fixture.h"

#include "orders/size_runs.h"

#include <stdexcept>

namespace {

class SizeRuns : public TablesTest<OrderTables> {};

using Operation = int (*)(data::Query&, kit::StatusSink&);

TEST_F(SizeRuns, MultiplyAndDivideEveryRow) {
    struct Case {
        const char* name;
        Operation operation;
        int cases;
        std::vector<qint64> before, after;
        qint64 pairs;
    };
    const Case cases[] = {
        {"multiply", orders::multiplyByCases, 3, sizeRun({{36, 2}, {37, 4}, {38, 2}}), sizeRun({{36, 6}, {37, 12}, {38, 6}}), 24},
        {"divide back", orders::divideByCases, 3, sizeRun({{36, 6}, {37, 12}, {38, 6}}), sizeRun({{36, 2}, {37, 4}, {38, 2}}), 8},
        {"half down to even", orders::divideByCases, 2, sizeRun({{41, 25}}), sizeRun({{41, 12}}), 12},
        {"half up to even", orders::divideByCases, 2, sizeRun({{41, 35}}), sizeRun({{41, 18}}), 18},
        {"nearest", orders::divideByCases, 3, sizeRun({{33, 10}, {48, 11}}), sizeRun({{33, 3}, {48, 4}}), 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        orders->setSql(QStringLiteral("select * from dd.db"));
        orders->open();
        while (!orders->isEmpty())
            orders->remove();
        QList<QPair<QString, QVariant>> sizes;
        for (int i = 0; i < 16; ++i)
            sizes << qMakePair(data::sizeFieldNames()[i], QVariant(c.before[i]));
        addSizedOrder(QStringLiteral("R1"), c.cases, sizes);
        addSizedOrder(QStringLiteral("R2"), c.cases, sizes);

        RecordingSink sink;
        EXPECT_EQ(c.operation(*orders, sink), 0);
        for (const char* batch : {"R1", "R2"}) {
            goTo(QString::fromUtf8(batch));
            EXPECT_EQ(sizesOfCurrent(), c.after) << batch;
            EXPECT_EQ(stored(QString::fromUtf8(batch), QStringLiteral("双数")), QVariant(c.pairs)) << batch;
        }
    }
}

TEST_F(SizeRuns, MultiplyTwiceMultipliesTwice) {
    addSizedOrder(QStringLiteral("R1"), 2, {{QStringLiteral("40"), 3}});
    RecordingSink sink;
    orders::multiplyByCases(*orders, sink);
    orders::multiplyByCases(*orders, sink);
    EXPECT_EQ(stored(QStringLiteral("R1"), QStringLiteral("40")), QVariant(qint64(12)));
}

TEST_F(SizeRuns, ProgressCountsEveryRowAndRowsWithoutCasesAreSkipped) {
    for (Operation operation : {orders::multiplyByCases, orders::divideByCases}) {
        orders->setSql(QStringLiteral("select * from dd.db"));
        orders->open();
        while (!orders->isEmpty())
            orders->remove();
        addSizedOrder(QStringLiteral("R1"), 2, {{QStringLiteral("40"), 4}});
        addSizedOrder(QStringLiteral("R2"), 0, {{QStringLiteral("40"), 5}});
        addSizedOrder(QStringLiteral("R3"), 2, {{QStringLiteral("40"), 6}});
        addSizedOrder(QStringLiteral("R4"), 0, {{QStringLiteral("40"), 7}});
        addSizedOrder(QStringLiteral("R5"), 1, {{QStringLiteral("40"), 8}});
        // a stored total that the posting rule would correct shows whether R2 was posted
        auto raw = openQuery(QStringLiteral("select * from dd.db where 批号='R2'"));
        raw->edit();
        raw->field(QStringLiteral("双数")).setInteger(77);
        raw->post();

        RecordingSink sink;
        EXPECT_EQ(operation(*orders, sink), 2);
        EXPECT_EQ(sink.textsOf(kit::ProgressPanel),
                  (QStringList{"主表共有记录5条:未完成:4@已完成:1", "主表共有记录5条:未完成:3@已完成:2",
                               "主表共有记录5条:未完成:2@已完成:3", "主表共有记录5条:未完成:1@已完成:4",
                               "主表共有记录5条:未完成:0@已完成:5"}));
        EXPECT_EQ(sink.writes.size(), 5u);
        EXPECT_EQ(sink.eventTurns, 5);
        EXPECT_EQ(orders->recNo(), 5);
        EXPECT_EQ(stored(QStringLiteral("R2"), QStringLiteral("40")), QVariant(qint64(5)));
        EXPECT_EQ(stored(QStringLiteral("R2"), QStringLiteral("双数")), QVariant(qint64(77)));
        EXPECT_EQ(stored(QStringLiteral("R4"), QStringLiteral("40")), QVariant(qint64(7)));
        const bool multiplied = operation == orders::multiplyByCases;
        EXPECT_EQ(stored(QStringLiteral("R1"), QStringLiteral("40")), QVariant(qint64(multiplied ? 8 : 2)));
        EXPECT_EQ(stored(QStringLiteral("R3"), QStringLiteral("40")), QVariant(qint64(multiplied ? 12 : 3)));
    }
}

TEST_F(SizeRuns, OnlyTheRowsOfTheResultChange) {
    for (int i = 1; i <= 10; ++i)
        addSizedOrder(QStringLiteral("S%1").arg(i, 2, 10, QLatin1Char('0')), 2, {{QStringLiteral("35"), 1}});
    orders->setSql(QStringLiteral("select * from dd.db where 批号='S02' or 批号='S05' or 批号='S09'"));
    orders->open();
    RecordingSink sink;
    orders::multiplyByCases(*orders, sink);
    EXPECT_EQ(sink.textsOf(kit::ProgressPanel).last(), QStringLiteral("主表共有记录3条:未完成:0@已完成:3"));
    QStringList doubled;
    for (int i = 1; i <= 10; ++i) {
        const QString batch = QStringLiteral("S%1").arg(i, 2, 10, QLatin1Char('0'));
        if (stored(batch, QStringLiteral("35")).toLongLong() == 2)
            doubled << batch;
    }
    EXPECT_EQ(doubled, (QStringList{"S02", "S05", "S09"}));
}

TEST_F(SizeRuns, EmptyResultLeavesTheStatusAlone) {
    RecordingSink sink;
    EXPECT_EQ(orders::multiplyByCases(*orders, sink), 0);
    EXPECT_TRUE(sink.writes.empty());
}

TEST_F(SizeRuns, QueryIsBusyDuringTheLoopAndFreeAfterwards) {
    addSizedOrder(QStringLiteral("R1"), 2, {{QStringLiteral("40"), 4}});
    addSizedOrder(QStringLiteral("R2"), 2, {{QStringLiteral("40"), 4}});
    for (Operation operation : {orders::multiplyByCases, orders::divideByCases}) {
        RecordingSink sink;
        std::vector<bool> busy;
        sink.onEvents = [&] { busy.push_back(orders->isBusy()); };
        operation(*orders, sink);
        EXPECT_EQ(busy, (std::vector<bool>{true, true}));
        EXPECT_FALSE(orders->isBusy());
    }
    // a failure inside the loop frees the query too
    RecordingSink failing;
    failing.onEvents = [] { throw std::runtime_error("stop"); };
    EXPECT_THROW(orders::multiplyByCases(*orders, failing), std::runtime_error);
    EXPECT_FALSE(orders->isBusy());
}

TEST_F(SizeRuns, ShiftsRotateTheCurrentRow) {
    struct Case {
        const char* name;
        void (*shift)(data::Query&);
        std::vector<qint64> after;
    };
    const Case cases[] = {
        {"up", orders::shiftSizeRunUp, sizeRun({{33, 9}, {34, 5}, {41, 7}})},
        {"down", orders::shiftSizeRunDown, sizeRun({{39, 7}, {47, 9}, {48, 5}})},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString batch = QStringLiteral("T%1").arg(++n);
        addSizedOrder(batch, 4, {{QStringLiteral("33"), 5}, {QStringLiteral("40"), 7}, {QStringLiteral("48"), 9}});
        goTo(batch);
        c.shift(*orders);
        EXPECT_FALSE(orders->isEditing());
        EXPECT_EQ(orders->field(QStringLiteral("批号")).asText(), batch);
        EXPECT_EQ(sizesOfCurrent(), c.after);
        EXPECT_EQ(stored(batch, QStringLiteral("双数")), QVariant(qint64(21)));
        EXPECT_EQ(stored(batch, QStringLiteral("件数")), QVariant(qint64(4)));
    }
}

TEST_F(SizeRuns, ShiftUpThenDownRestoresTheRow) {
    QList<QPair<QString, QVariant>> sizes;
    std::vector<qint64> start;
    for (int i = 0; i < 16; ++i) {
        sizes << qMakePair(data::sizeFieldNames()[i], QVariant(i + 1));
        start.push_back(i + 1);
    }
    addSizedOrder(QStringLiteral("T1"), 1, sizes);
    orders::shiftSizeRunUp(*orders);
    EXPECT_EQ(sizesOfCurrent()[0], 16);
    orders::shiftSizeRunDown(*orders);
    EXPECT_EQ(sizesOfCurrent(), start);
}

TEST_F(SizeRuns, ShiftWithoutARowDoesNothing) {
    orders::shiftSizeRunUp(*orders);
    orders::shiftSizeRunDown(*orders);
    EXPECT_EQ(orders->rowCount(), 0);
    EXPECT_FALSE(orders->isEditing());
    EXPECT_EQ(storedOrderCount(), 0);
}

}  // namespace
