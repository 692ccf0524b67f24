#include "statistics_fixture.h"

#include "data/lang/catalogue_lookup.h"
#include "statistics/sole_assignment.h"

#include <stdexcept>

namespace {

class SoleAssignment : public TablesTest<StatisticsTables> {
protected:
    int run(RecordingSink& sink) {
        return statistics::assignSoles(*orders, *catalogue, [this](const QString& line) { lines << line; }, sink);
    }
    QStringList lines;
};

TEST_F(SoleAssignment, TheSecondOfThreeOrdersIsUnregistered) {
    addCatalogueRow("X1", "白", "D-1", "鑫达");
    addCatalogueRow("X2", "黑", "D-2", "华兴");
    addModelOrder("A0001", "X1", "白", {{38, 60}});
    addModelOrder("A0002", "X1", "黑", {{38, 60}, {39, 60}});
    addModelOrder("A0003", "X2", "黑", {{40, 12}});
    showAllOrders();
    lines << QStringLiteral("Y9:红:5:B0001");  // from an earlier run: kept

    RecordingSink sink;
    EXPECT_EQ(run(sink), 3);
    EXPECT_EQ(storedAssignments(), (QStringList{"A0001:鑫达/D-1", "A0002:未登记/未登记", "A0003:华兴/D-2"}));
    EXPECT_EQ(lines, (QStringList{"Y9:红:5:B0001", "X1:黑:120:A0002"}));
    EXPECT_EQ(sink.textsOf(kit::ProgressPanel),
              (QStringList{"主表共有记录3条:未完成:2@已完成:1", "主表共有记录3条:未完成:1@已完成:2",
                           "主表共有记录3条:未完成:0@已完成:3"}));
    EXPECT_TRUE(sink.textsOf(kit::CountPanel).isEmpty());
    EXPECT_EQ(sink.eventTurns, 3);
    EXPECT_TRUE(orders->eof());
    EXPECT_EQ(catalogue->sql(), QStringLiteral("select * from shoes.db"));
    EXPECT_TRUE(catalogue->isOpen());
    EXPECT_EQ(catalogue->recordCount(), 2);
    EXPECT_FALSE(orders->isBusy());
    EXPECT_FALSE(catalogue->isBusy());
}

// What one order carries afterwards, given the catalogue and what it carried before.
TEST_F(SoleAssignment, WhatAnOrderGetsFromTheCatalogue) {
    struct Case {
        const char* name;
        QString model, colour;
        QString soleBefore, supplierBefore;
        QString catalogueSole, catalogueSupplier;  // no catalogue row when both are "none"
        QString expected;
        bool listed;
    };
    const QString none = QStringLiteral("none");
    const Case cases[] = {
        {"copied", "M1", "黑", "", "", "S1", "鑫达", "鑫达/S1", false},
        {"overwritten", "M1", "黑", "OLD", "旧厂", "S1", "鑫达", "鑫达/S1", false},
        {"empty supplier copied as empty", "M1", "黑", "OLD", "旧厂", "S1", "", "/S1", false},
        {"empty sole copied as empty", "M1", "黑", "", "", "", "鑫达", "鑫达/", false},
        {"no catalogue row", "M1", "黑", "", "", none, none, "未登记/未登记", true},
        {"no longer in the catalogue", "M1", "黑", "OLD", "旧厂", none, none, "未登记/未登记", true},
        {"other colour only", "M1", "黑", "", "", none, none, "未登记/未登记", true},
        {"quotes everywhere", "O'K", "米'白", "", "", "S'1", "O'Brien", "O'Brien/S'1", false},
        {"wide blank kept", "M 1", "黑", "", "", "S1", "鑫达", "鑫达/S1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        emptyTables();
        if (c.catalogueSole != none)
            addCatalogueRow(c.model, c.colour, c.catalogueSole, c.catalogueSupplier);
        else if (QLatin1String(c.name) == QLatin1String("other colour only"))
            addCatalogueRow(c.model, QStringLiteral("白"), QStringLiteral("S2"), QStringLiteral("华兴"));
        addOrder(*orders, QStringLiteral("B1"),
                 {{QStringLiteral("鞋的型号"), c.model},
                  {QStringLiteral("颜色"), c.colour},
                  {QStringLiteral("鞋底型号"), c.soleBefore},
                  {QStringLiteral("供应商"), c.supplierBefore},
                  {QStringLiteral("40"), 7}});
        showAllOrders();
        RecordingSink sink;
        lines.clear();
        run(sink);
        EXPECT_EQ(storedAssignments(), QStringList{QStringLiteral("B1:") + c.expected});
        EXPECT_EQ(lines, c.listed ? QStringList{c.model + QLatin1Char(':') + c.colour + QStringLiteral(":7:B1")} : QStringList());
        if (c.expected.startsWith(QLatin1Char('/'))) {
            EXPECT_TRUE(stored(QStringLiteral("B1"), QStringLiteral("供应商")).isNull());
        }
    }
}

TEST_F(SoleAssignment, AnEmptyResultChangesNothing) {
    addCatalogueRow("X1", "白", "D-1", "鑫达");
    addModelOrder("A0001", "X1", "白", {});
    orders->setSql(QStringLiteral("select * from dd.db where 批号='none'"));
    orders->open();
    catalogue->setSql(data::catalogueLookupStatement("X1", "白"));  // left by an interrupted run
    catalogue->open();
    RecordingSink sink;
    EXPECT_EQ(run(sink), 0);
    EXPECT_TRUE(sink.writes.empty());
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(storedAssignments(), QStringList{"A0001:/"});
    EXPECT_EQ(catalogue->sql(), QStringLiteral("select * from shoes.db"));
    EXPECT_TRUE(catalogue->isOpen());
}

TEST_F(SoleAssignment, OnlyTheOrdersOfASearchAreTreated) {
    addCatalogueRow("X1", "白", "D-1", "鑫达");
    addModelOrder("A0001", "X1", "白", {}, "1");
    addModelOrder("A0002", "X1", "白", {}, "2");
    addModelOrder("A0003", "X9", "白", {}, "1");
    addModelOrder("A0004", "X9", "白", {}, "2");
    orders->setSql(QStringLiteral("select * from dd.db where 单号='2'"));
    orders->open();
    RecordingSink sink;
    EXPECT_EQ(run(sink), 2);
    EXPECT_EQ(storedAssignments(), (QStringList{"A0001:/", "A0002:鑫达/D-1", "A0003:/", "A0004:未登记/未登记"}));
    EXPECT_EQ(lines, QStringList{"X9:白:0:A0004"});
    EXPECT_EQ(sink.textsOf(kit::ProgressPanel).last(), QStringLiteral("主表共有记录2条:未完成:0@已完成:2"));
}

TEST_F(SoleAssignment, OrdersPassTheirPostingRule) {
    addCatalogueRow("X1", "黑", "D-1", "鑫达");
    // An order stored without the posting rule: code colour, no totals.
    {
        data::Query raw(*engine);
        raw.setSql(QStringLiteral("select * from dd.db"));
        raw.open();
        addOrder(raw, QStringLiteral("A0001"), {{QStringLiteral("鞋的型号"), "X1"}, {QStringLiteral("颜色"), "黑"}, {QStringLiteral("38"), 4}});
    }
    showAllOrders();
    RecordingSink sink;
    run(sink);
    EXPECT_EQ(stored("A0001", QStringLiteral("双数")), QVariant(qint64(4)));
    EXPECT_EQ(stored("A0001", QStringLiteral("件数")), QVariant(qint64(0)));
}

// An error ends the run at the order where it happens: the orders before keep
// their new values, the catalogue keeps the last lookup, nothing stays busy.
TEST_F(SoleAssignment, AnErrorEndsTheRunWhereItHappens) {
    struct Case {
        const char* name;
        bool failInPost;  // otherwise while events run
    };
    for (const Case& c : {Case{"post refused", true}, Case{"event handler fails", false}}) {
        SCOPED_TRACE(c.name);
        emptyTables();
        addCatalogueRow("X1", "白", "D-1", "鑫达");
        addCatalogueRow("X2", "白", "D-2", "华兴");
        addCatalogueRow("X3", "白", "D-3", "华兴");
        addModelOrder("A0001", "X1", "白", {});
        addModelOrder("A0002", "X2", "白", {});
        addModelOrder("A0003", "X3", "白", {});
        showAllOrders();
        RecordingSink sink;
        if (c.failInPost) {
            orders->setBeforePost([](data::Query& q) {
                orders::applyOrderPostingRule(q);
                if (q.field(QStringLiteral("批号")).asText() == QLatin1String("A0002"))
                    throw data::EngineError(QStringLiteral("refused"));
            });
        } else {
            sink.onEvents = [&] {
                EXPECT_TRUE(orders->isBusy());
                EXPECT_TRUE(catalogue->isBusy());
                if (sink.eventTurns == 2)
                    throw std::runtime_error("refused");
            };
        }
        EXPECT_ANY_THROW(run(sink));
        EXPECT_FALSE(orders->isBusy());
        EXPECT_FALSE(catalogue->isBusy());
        EXPECT_EQ(storedAssignments(), (QStringList{"A0001:鑫达/D-1", "A0002:/", "A0003:/"}));
        EXPECT_EQ(sink.textsOf(kit::ProgressPanel), QStringList{"主表共有记录3条:未完成:2@已完成:1"});
        EXPECT_EQ(catalogue->sql(), c.failInPost ? data::catalogueLookupStatement("X2", "白")
                                                 : data::catalogueLookupStatement("X1", "白"));
    }
}

}  // namespace
