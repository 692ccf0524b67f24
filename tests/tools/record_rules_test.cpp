#include "paradox/record_rules.h"

#include "data/engine.h"
#include "data/query.h"
#include "data/table_files.h"
#include "qt_printing.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RecordRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        data::createTableFiles(dir.path());
        engine = std::make_unique<data::Engine>(dir.path());
    }

    std::unique_ptr<data::Query> pending(const QString& table, const QList<QPair<QString, QVariant>>& fields) {
        auto q = std::make_unique<data::Query>(*engine);
        q->setSql(QStringLiteral("select * from ") + table);
        q->open();
        q->append();
        for (const auto& [name, value] : fields)
            q->field(name).setValue(value);
        return q;
    }

    QTemporaryDir dir;
    std::unique_ptr<data::Engine> engine;
};

TEST_F(RecordRulesTest, CatalogueSequenceIsModelAndExpandedColour) {
    struct Case {
        QString model, colour, storedColour, sequence;
    };
    const std::vector<Case> cases = {
        {"A1", "h", QStringLiteral("黑"), QStringLiteral("A1黑")},
        {"A1", "ZBR", QStringLiteral("棕/BROWN"), QStringLiteral("A1棕/BROWN")},
        {"A1", " h", " h", "A1 h"},
        {"B2", "", "", "B2"},
        {"", QStringLiteral("卡其"), QStringLiteral("卡其"), QStringLiteral("卡其")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colour.toStdString());
        auto q = pending(QStringLiteral("shoes.db"), {{QStringLiteral("鞋的型号"), c.model}, {QStringLiteral("颜色"), c.colour}});
        paradox::applyCatalogueRecordRule(*q);
        EXPECT_EQ(q->field(QStringLiteral("颜色")).asText(), c.storedColour);
        EXPECT_EQ(q->field(QStringLiteral("顺序")).asText(), c.sequence);
    }
}

TEST_F(RecordRulesTest, StatisticsTotalAndSequence) {
    QList<QPair<QString, QVariant>> sizes;
    for (int size = 33; size <= 48; ++size)
        sizes.append({QString::number(size), QVariant(qint64(size == 38 ? 15 : size == 39 ? 10 : 0))});
    auto q = pending(QStringLiteral("xdtj.db"), sizes + QList<QPair<QString, QVariant>>{
                                                           {QStringLiteral("供应商"), QStringLiteral("S")},
                                                           {QStringLiteral("鞋底型号"), QStringLiteral("X9")},
                                                           {QStringLiteral("双数"), QVariant(qint64(99))}});
    paradox::applyStatisticsRecordRule(*q);
    EXPECT_EQ(q->field(QStringLiteral("顺序")).asText(), QStringLiteral("SX9"));
    EXPECT_EQ(q->field(QStringLiteral("双数")).asInteger(), 25);
}

TEST_F(RecordRulesTest, StatisticsRefusesAnEmptySize) {
    QList<QPair<QString, QVariant>> sizes;
    for (int size = 33; size <= 48; ++size)
        if (size != 40)
            sizes.append({QString::number(size), QVariant(qint64(1))});
    auto q = pending(QStringLiteral("xdtj.db"), sizes);
    try {
        paradox::applyStatisticsRecordRule(*q);
        ADD_FAILURE() << "an empty size was accepted";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'' is not a valid integer value"));
    }
}

}  // namespace
