#include "statistics_fixture.h"

#include "statistics/aggregation.h"
#include "statistics/sole_assignment.h"

#include <array>
#include <map>
#include <random>
#include <stdexcept>

namespace {

class Aggregation : public TablesTest<StatisticsTables> {
protected:
    int run(RecordingSink& sink) { return statistics::aggregateOrders(*orders, *statistics, sink); }
};

TEST_F(Aggregation, TwoOrdersOfOnePairMakeOneRow) {
    addSoleOrder("A1", "D-1", "鑫达", {{38, 10}, {39, 10}});
    addSoleOrder("A2", "D-1", "鑫达", {{38, 5}});
    showAllOrders();
    RecordingSink sink;
    EXPECT_EQ(run(sink), 2);
    EXPECT_EQ(storedStatistics(), QStringList{statisticsRow("鑫达", "D-1", {{38, 15}, {39, 10}})});
    EXPECT_EQ(storedStatistics().first().section('|', 2, 3), QStringLiteral("25|鑫达D-1"));
    EXPECT_EQ(sink.textsOf(kit::ProgressPanel),
              (QStringList{"主表共有记录2条:未完成:1@已完成:1", "主表共有记录2条:未完成:0@已完成:2"}));
    EXPECT_EQ(sink.textsOf(kit::CountPanel), QStringList{"1"});
    EXPECT_EQ(sink.writes.back().first, kit::CountPanel);
    EXPECT_EQ(sink.eventTurns, 2);
    EXPECT_EQ(statistics->sql(), QStringLiteral("select * from XdTJ.db"));
    EXPECT_EQ(statistics->recordCount(), 1);
    EXPECT_TRUE(orders->eof());
    EXPECT_FALSE(orders->isBusy());
    EXPECT_FALSE(statistics->isBusy());
}

// Which rows the orders make, by their sole model and supplier.
TEST_F(Aggregation, OneRowPerSoleModelAndSupplier) {
    struct Order {
        const char* sole;
        const char* supplier;
        int size, pairs;
    };
    struct Case {
        const char* name;
        std::vector<Order> orders;
        QStringList expected;
    };
    const Case cases[] = {
        {"one sole model from two suppliers",
         {{"D-1", "鑫达", 38, 1}, {"D-1", "华兴", 38, 2}, {"D-1", "鑫达", 39, 3}},
         {statisticsRow("华兴", "D-1", {{38, 2}}), statisticsRow("鑫达", "D-1", {{38, 1}, {39, 3}})}},
        {"two sole models of one supplier",
         {{"D-1", "鑫达", 38, 1}, {"D-2", "鑫达", 38, 2}},
         {statisticsRow("鑫达", "D-1", {{38, 1}}), statisticsRow("鑫达", "D-2", {{38, 2}})}},
        {"unregistered orders meet in one row",
         {{"未登记", "未登记", 33, 4}, {"D-1", "鑫达", 48, 1}, {"未登记", "未登记", 48, 6}},
         {statisticsRow("未登记", "未登记", {{33, 4}, {48, 6}}), statisticsRow("鑫达", "D-1", {{48, 1}})}},
        {"an empty supplier is one value",
         {{"D-1", "", 40, 2}, {"D-1", "", 41, 3}},
         {statisticsRow("", "D-1", {{40, 2}, {41, 3}})}},
        {"empty sole model and supplier",
         {{"", "", 40, 2}, {"", "", 40, 3}},
         {statisticsRow("", "", {{40, 5}})}},
        {"quotes in both values",
         {{"D'1", "O'Brien", 40, 2}, {"D'1", "O'Brien", 40, 3}, {"D'1", "O''Brien", 40, 1}},
         {statisticsRow("O''Brien", "D'1", {{40, 1}}), statisticsRow("O'Brien", "D'1", {{40, 5}})}},
        {"trailing blank is another value",
         {{"D-1", "鑫达", 40, 2}, {"D-1 ", "鑫达", 40, 3}},
         {statisticsRow("鑫达", "D-1", {{40, 2}}), statisticsRow("鑫达", "D-1 ", {{40, 3}})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        emptyTables();
        int n = 0;
        for (const Order& o : c.orders)
            addSoleOrder(QStringLiteral("B%1").arg(++n), o.sole, o.supplier, {{o.size, o.pairs}});
        showAllOrders();
        RecordingSink sink;
        run(sink);
        QStringList expected = c.expected;
        expected.sort();
        EXPECT_EQ(storedStatistics(), expected);
        EXPECT_EQ(sink.textsOf(kit::CountPanel), QStringList{QString::number(c.expected.size())});
    }
}

TEST_F(Aggregation, LookupFindsExactlyItsSoleAndSupplier) {
    for (const auto& [supplier, sole] : std::vector<std::pair<QString, QString>>{
             {"鑫达", "D-1"}, {"鑫达", "D-1 "}, {"鑫达", "D-12"}, {"O'Brien", "D'1"}, {"", "D-1"}})
        addStatisticsRow(supplier, sole, {{40, 1}});
    struct Case {
        QString sole, supplier, found;
    };
    const Case cases[] = {
        {"D-1", "鑫达", "鑫达/D-1"},
        {"D-1 ", "鑫达", "鑫达/D-1 "},
        {"D-", "鑫达", ""},
        {"D'1", "O'Brien", "O'Brien/D'1"},
        {"D-1", "", "/D-1"},
        {"D-1", "鑫达' or '1'='1", ""},
    };
    for (const Case& c : cases) {
        statistics->setSql(statistics::statisticsLookupStatement(c.sole, c.supplier));
        statistics->open();
        QStringList found;
        for (statistics->first(); !statistics->eof(); statistics->next())
            found << statistics->field(QStringLiteral("供应商")).asText() + QLatin1Char('/') +
                         statistics->field(QStringLiteral("鞋底型号")).asText();
        EXPECT_EQ(found.join(QLatin1Char(',')), c.found) << c.sole.toStdString() << " " << c.supplier.toStdString();
    }
}

TEST_F(Aggregation, AnEmptyResultLeavesAnEmptyTable) {
    addStatisticsRow("旧厂", "D-9", {{40, 1}});
    addSoleOrder("A1", "D-1", "鑫达", {{38, 10}});
    orders->setSql(QStringLiteral("select * from dd.db where 批号='none'"));
    orders->open();
    RecordingSink sink;
    EXPECT_EQ(run(sink), 0);
    EXPECT_TRUE(storedStatistics().isEmpty());
    EXPECT_EQ(sink.textsOf(kit::CountPanel), QStringList{"0"});
    EXPECT_EQ(sink.textsOf(kit::ProgressPanel), QStringList{"主表共有记录0条:未完成:0@已完成:1"});
}

TEST_F(Aggregation, RunningTwiceGivesTheSameTable) {
    addSoleOrder("A1", "D-1", "鑫达", {{38, 10}});
    addSoleOrder("A2", "D-2", "鑫达", {{39, 7}});
    addSoleOrder("A3", "D-1", "鑫达", {{38, 1}, {47, 2}});
    const QStringList expected{statisticsRow("鑫达", "D-1", {{38, 11}, {47, 2}}), statisticsRow("鑫达", "D-2", {{39, 7}})};
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        showAllOrders();
        RecordingSink sink;
        run(sink);
        EXPECT_EQ(storedStatistics(), expected);
    }
}

TEST_F(Aggregation, EmptyingTheTableReportsEveryRow) {
    for (int i = 1; i <= 4; ++i)
        addStatisticsRow("鑫达", QStringLiteral("D-%1").arg(i), {{38, i}});
    RecordingSink sink;
    EXPECT_EQ(statistics::clearStatisticsTable(*statistics, sink), 4);
    EXPECT_EQ(sink.textsOf(kit::ProgressPanel),
              (QStringList{"主表共有记录3条:未完成:3@已完成:1", "主表共有记录2条:未完成:2@已完成:2",
                           "主表共有记录1条:未完成:1@已完成:3", "主表共有记录0条:未完成:0@已完成:4"}));
    EXPECT_EQ(sink.eventTurns, 4);
    EXPECT_TRUE(storedStatistics().isEmpty());
    EXPECT_FALSE(statistics->isBusy());

    RecordingSink none;
    EXPECT_EQ(statistics::clearStatisticsTable(*statistics, none), 0);
    EXPECT_TRUE(none.writes.empty());
}

// After an interrupted run the statistics query shows the last lookup, or is
// closed; the next run still starts from an empty table.
TEST_F(Aggregation, ARunAfterAnInterruptedOneStartsClean) {
    struct Case {
        const char* name;
        QString leftStatement;  // empty: the query is left closed
    };
    const Case cases[] = {
        {"lookup that finds nothing", statistics::statisticsLookupStatement("none", "none")},
        {"lookup that finds one row", statistics::statisticsLookupStatement("D-8", "旧厂")},
        {"closed", QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        emptyTables();
        addStatisticsRow("旧厂", "D-8", {{40, 1}});
        addStatisticsRow("旧厂", "D-9", {{40, 1}});
        addSoleOrder("A1", "D-1", "鑫达", {{38, 10}});
        showAllOrders();
        if (c.leftStatement.isEmpty()) {
            statistics->close();
        } else {
            statistics->setSql(c.leftStatement);
            statistics->open();
        }
        RecordingSink sink;
        run(sink);
        EXPECT_EQ(storedStatistics(), QStringList{statisticsRow("鑫达", "D-1", {{38, 10}})});
    }
}

TEST_F(Aggregation, AMissingSizeCountsAsNothing) {
    // Orders stored without the posting rule: sizes without value.
    {
        data::Query raw(*engine);
        raw.setSql(QStringLiteral("select * from dd.db"));
        raw.open();
        addOrder(raw, "A1", {{QStringLiteral("鞋底型号"), "D-1"}, {QStringLiteral("供应商"), "鑫达"}, {QStringLiteral("38"), 4}});
        addOrder(raw, "A2", {{QStringLiteral("鞋底型号"), "D-1"}, {QStringLiteral("供应商"), "鑫达"}, {QStringLiteral("39"), 2}});
    }
    showAllOrders();
    RecordingSink sink;
    run(sink);
    EXPECT_EQ(storedStatistics(), QStringList{statisticsRow("鑫达", "D-1", {{38, 4}, {39, 2}})});
}

// An error ends the run where it happens; the file holds the rows written so far.
TEST_F(Aggregation, AnErrorKeepsTheRowsWrittenSoFar) {
    for (int i = 1; i <= 4; ++i)
        addSoleOrder(QStringLiteral("A%1").arg(i), QStringLiteral("D-%1").arg(i), "鑫达", {{38, i}});
    showAllOrders();
    RecordingSink sink;
    sink.onEvents = [&] {
        EXPECT_TRUE(orders->isBusy());
        EXPECT_TRUE(statistics->isBusy());
        if (sink.eventTurns == 3)
            throw std::runtime_error("refused");
    };
    EXPECT_THROW(run(sink), std::runtime_error);
    EXPECT_FALSE(orders->isBusy());
    EXPECT_FALSE(statistics->isBusy());
    EXPECT_EQ(storedStatistics(), (QStringList{statisticsRow("鑫达", "D-1", {{38, 1}}), statisticsRow("鑫达", "D-2", {{38, 2}})}));
    EXPECT_TRUE(sink.textsOf(kit::CountPanel).isEmpty());
    EXPECT_EQ(statistics->sql(), statistics::statisticsLookupStatement("D-2", "鑫达"));
}

// A post refused at one order ends the run there.
TEST_F(Aggregation, ARefusedPostEndsTheRun) {
    addSoleOrder("A1", "D-1", "鑫达", {{38, 1}});
    addSoleOrder("A2", "D-2", "鑫达", {{38, 2}});
    showAllOrders();
    statistics->setBeforePost([](data::Query& q) {
        if (q.field(QStringLiteral("鞋底型号")).asText() == QLatin1String("D-2"))
            q.field(QStringLiteral("40")).setText(QStringLiteral("2.5"));
        statistics::applyStatisticsPostingRule(q);
    });
    RecordingSink sink;
    try {
        run(sink);
        ADD_FAILURE() << "the run went through";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'2.5' is not a valid integer value"));
    }
    EXPECT_EQ(storedStatistics(), QStringList{statisticsRow("鑫达", "D-1", {{38, 1}})});
    EXPECT_EQ(statistics->state(), data::Query::State::Insert);
}

// A few hundred random orders over a random catalogue, assigned and added up,
// against the table worked out here directly.
TEST_F(Aggregation, RandomOrdersMatchAPlainComputation) {
    std::mt19937 random(20261208);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const QStringList colours{"黑", "棕", "白", "卡其"};
    const QStringList suppliers{"鑫达", "华兴", "永利", "O'Brien", ""};
    struct Sole {
        QString sole, supplier;
    };
    std::map<QString, Sole> known;  // model + "/" + colour
    for (int m = 0; m < 25; ++m)
        for (const QString& colour : colours)
            if (pick(3) != 0) {
                const Sole s{QStringLiteral("D-%1").arg(pick(8)), suppliers[pick(suppliers.size())]};
                addCatalogueRow(QStringLiteral("M%1").arg(m), colour, s.sole, s.supplier);
                known[QStringLiteral("M%1/").arg(m) + colour] = s;
            }

    std::map<QString, std::array<qint64, 16>> expected;  // supplier + "|" + sole
    for (int i = 0; i < 300; ++i) {
        const QString model = QStringLiteral("M%1").arg(pick(28));  // some models are not in the catalogue
        const QString colour = colours[pick(colours.size())];
        std::array<qint64, 16> sizes{};
        QList<QPair<QString, QVariant>> fields{{QStringLiteral("鞋的型号"), model}, {QStringLiteral("颜色"), colour}};
        for (int s = 0; s < 16; ++s)
            if (pick(3) == 0) {
                sizes[s] = pick(50);
                fields.append({data::sizeFieldNames()[s], sizes[s]});
            }
        addOrder(*orders, QStringLiteral("R%1").arg(i, 4, 10, QLatin1Char('0')), fields);
        const auto found = known.find(model + QLatin1Char('/') + colour);
        const Sole s = found == known.end() ? Sole{"未登记", "未登记"} : found->second;
        auto& row = expected[s.supplier + QLatin1Char('|') + s.sole];
        for (int k = 0; k < 16; ++k)
            row[k] += sizes[k];
    }
    QStringList expectedRows;
    for (const auto& [key, sizes] : expected) {
        const QString supplier = key.section('|', 0, 0), sole = key.section('|', 1);
        qint64 total = 0;
        QStringList parts{supplier.isEmpty() ? "-" : supplier, sole};
        for (qint64 v : sizes)
            total += v;
        parts << QString::number(total) << supplier + sole;
        for (qint64 v : sizes)
            parts << QString::number(v);
        expectedRows << parts.join('|');
    }
    expectedRows.sort();

    addStatisticsRow("旧厂", "D-old", {{40, 1}});
    showAllOrders();
    RecordingSink sink;
    QStringList lines;
    statistics::assignSoles(*orders, *catalogue, [&](const QString& line) { lines << line; }, sink);
    showAllOrders();
    run(sink);
    EXPECT_EQ(storedStatistics(), expectedRows);
    EXPECT_EQ(sink.textsOf(kit::CountPanel), QStringList{QString::number(expectedRows.size())});
    EXPECT_EQ(lines.size(), int(openQuery(QStringLiteral("select * from dd.db where 供应商='未登记'"))->recordCount()));
}

}  // namespace
