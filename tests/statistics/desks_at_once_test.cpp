// Two desks on one server run bulk commands over the same orders at the same
// time, each writing fields the other does not: both take effect on every
// order and nobody is asked.
#include "orders/orders_fixture.h"

#include "orders/bulk_orders.h"
#include "orders/size_runs.h"

namespace {

TEST(DesksAtOnce, MultiplyingAtOneDeskWhileAnotherMarksTheOrdersCounted) {
    constexpr int Orders = 400;
    OrderTables deskA(Store::Server);
    data::Engine deskB(deskA.location);
    std::vector<data::Conflict> asked;
    const auto resolver = [&](const data::Conflict& conflict) {
        asked.push_back(conflict);
        return data::ConflictChoice::TakeTheirs;  // what a tired clerk answers
    };
    deskA.engine->setConflictResolver(resolver);
    deskB.setConflictResolver(resolver);
    for (int i = 1; i <= Orders; ++i)
        deskA.addSizedOrder(QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')), 3,
                            {{QStringLiteral("36"), i}, {QStringLiteral("40"), 1}});

    // Desk B's 标为统计 starts a third of the way into desk A's 件数相乘.
    data::Query atB(deskB);
    atB.setSql(QStringLiteral("select * from dd.db where 已统计=false"));
    atB.open();
    RecordingSink atASink, atBSink;
    int rowsAtA = 0;
    atASink.onEvents = [&] {
        if (++rowsAtA == Orders / 3) {
            EXPECT_EQ(orders::markCounted(atB, atBSink), Orders);
        }
    };
    EXPECT_EQ(orders::multiplyByCases(*deskA.orders, atASink), 0);

    EXPECT_TRUE(asked.empty()) << asked.size() << " questions";
    auto check = deskA.openQuery(QStringLiteral("select * from dd.db"));
    ASSERT_EQ(check->recordCount(), Orders);
    int wrong = 0;
    for (check->first(); !check->eof(); check->next()) {
        const qint64 i = check->field(QStringLiteral("批号")).asText().mid(1).toLongLong();
        const bool right = check->field(QStringLiteral("36")).asInteger() == 3 * i &&
                           check->field(QStringLiteral("40")).asInteger() == 3 &&
                           check->field(QStringLiteral("双数")).asInteger() == 3 * i + 3 &&
                           check->field(QStringLiteral("已统计")).value().toBool();
        if (!right && ++wrong <= 3)
            ADD_FAILURE() << "order " << i << ": 36=" << check->field(QStringLiteral("36")).asInteger()
                          << " 双数=" << check->field(QStringLiteral("双数")).asInteger()
                          << " 已统计=" << check->field(QStringLiteral("已统计")).value().toBool();
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
