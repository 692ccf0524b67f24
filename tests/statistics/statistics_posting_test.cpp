#include "statistics_fixture.h"

namespace {

using StatisticsPosting = TablesTest<StatisticsTables>;

// The row as edited, the row as stored.
TEST_F(StatisticsPosting, PairsAndSequenceAreRebuiltOnEveryPost) {
    struct Case {
        const char* name;
        QString supplier, sole;
        std::vector<std::pair<int, QVariant>> sizes;  // all other sizes 0
        QVariant typedPairs;
        qint64 pairs;
        QString sequence;  // "-": no value
    };
    const Case cases[] = {
        {"sum of the sizes", "鑫达", "D-1", {{38, 15}, {39, 10}}, {}, 25, "鑫达D-1"},
        {"a typed total is replaced", "鑫达", "D-1", {{40, 3}}, 99, 3, "鑫达D-1"},
        {"sizes typed as text", "华兴", "R-1", {{33, "7"}, {48, " 2"}}, {}, 9, "华兴R-1"},
        {"negative sizes count", "华兴", "R-1", {{33, 7}, {34, -2}}, {}, 5, "华兴R-1"},
        {"no supplier", "", "D-1", {{40, 1}}, {}, 1, "D-1"},
        {"nothing to join", "", "", {}, {}, 0, "-"},
        {"quotes stay", "O'Brien", "D'1", {{41, 4}}, {}, 4, "O'BrienD'1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        statistics->append();
        statistics->field(QStringLiteral("供应商")).setText(c.supplier);
        statistics->field(QStringLiteral("鞋底型号")).setText(c.sole);
        statistics->field(QStringLiteral("顺序")).setText(QStringLiteral("old"));
        for (const QString& size : data::sizeFieldNames())
            statistics->field(size).setInteger(0);
        for (const auto& [size, value] : c.sizes)
            statistics->field(QString::number(size)).setValue(value);
        if (c.typedPairs.isValid())
            statistics->field(QStringLiteral("双数")).setValue(c.typedPairs);
        statistics->post();
        auto stored = openQuery(QStringLiteral("select * from xdtj.db"));
        stored->last();
        EXPECT_EQ(stored->field(QStringLiteral("双数")).value(), QVariant(c.pairs));
        const data::Field sequence = stored->field(QStringLiteral("顺序"));
        EXPECT_EQ(sequence.isNull() ? QStringLiteral("-") : sequence.asText(), c.sequence);
    }
}

// A hand edit: raising a size raises the total; an emptied size counts as 0.
TEST_F(StatisticsPosting, EditsOfAStoredRow) {
    addStatisticsRow("鑫达", "D-1", {{40, 3}, {41, 1}});
    statistics->first();
    statistics->edit();
    statistics->field(QStringLiteral("40")).setText(QStringLiteral("5"));
    statistics->field(QStringLiteral("供应商")).setText(QStringLiteral("华兴"));
    statistics->post();
    EXPECT_EQ(storedStatistics(), QStringList{statisticsRow("华兴", "D-1", {{40, 5}, {41, 1}})});

    // An emptied size counts as 0, as it does in the order window.
    statistics->edit();
    statistics->field(QStringLiteral("40")).clear();
    statistics->post();
    EXPECT_EQ(statistics->state(), data::Query::State::Browse);
    auto stored = openQuery(QStringLiteral("select * from xdtj.db"));
    EXPECT_EQ(stored->field(QStringLiteral("双数")).value(), QVariant(qint64(1)));
}

TEST_F(StatisticsPosting, TextThatIsNoNumberIsRefusedWhenTyped) {
    addStatisticsRow("鑫达", "D-1", {{40, 3}});
    statistics->first();
    statistics->edit();
    try {
        statistics->field(QStringLiteral("40")).setText(QStringLiteral("3x"));
        ADD_FAILURE() << "the text was taken";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.kind(), data::ErrorKind::NotWholeNumber);
        EXPECT_EQ(e.subject(), QStringLiteral("40"));
        EXPECT_EQ(e.value(), QStringLiteral("3x"));
    }
}

}  // namespace
