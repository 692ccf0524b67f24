#include "catalogue_fixture.h"

#include "catalogue/catalogue_search.h"
#include "orders/order_search.h"

namespace {

using catalogue::entryParts;

TEST(UnregisteredEntries, PartsSplitAtEveryColonDroppingAnEmptyLastPart) {
    struct Case {
        QString entry;
        QStringList parts;
    };
    const Case cases[] = {
        {"8012:黑", {"8012", "黑"}},
        {"8012:黑:120:1007", {"8012", "黑", "120", "1007"}},
        {"8012:", {"8012"}},
        {":黑", {"", "黑"}},
        {"8012", {"8012"}},
        {"a::", {"a", ""}},
        {":", {""}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(entryParts(c.entry), c.parts) << c.entry.toStdString();
}

TEST(UnregisteredEntries, EntriesNameTheSamePairOnlyByTheirFirstTwoParts) {
    struct Case {
        QString a, b;
        bool same;
    };
    const Case cases[] = {
        {"12:黑", "112:黑", false},
        {"12:黑", "12:黑/BLACK", false},
        {"8012:黑", "8012:黑:120:1007", true},
        {"8012:黑", "8012:棕", false},
        {"8012", "8012:", true},
        {"8012:黑", "8012:黑", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(catalogue::sameModelAndColour(c.a, c.b), c.same) << c.a.toStdString() << " " << c.b.toStdString();
        EXPECT_EQ(catalogue::sameModelAndColour(c.b, c.a), c.same);
    }
}

using UnregisteredScan = CatalogueTables;

TEST_F(UnregisteredScan, ListsEachMissingModelAndColourOnce) {
    struct Case {
        const char* name;
        std::vector<ModelRow> catalogue;
        std::vector<OrderRow> orders;
        QStringList listed;
    };
    const std::vector<Case> cases = {
        {"no orders", {{"A1", "黑", "", ""}}, {}, {}},
        {"two orders, one pair missing",
         {{"A1", "黑", "", ""}},
         {{"A1", "黑"}, {"G7", "卡其"}, {"G7", "卡其"}},
         {"G7:卡其"}},
        {"12:黑 beside 112:黑", {}, {{"112", "黑"}, {"12", "黑"}, {"112", "黑"}}, {"112:黑", "12:黑"}},
        {"same model, other colour", {{"A1", "黑", "", ""}}, {{"A1", "棕"}, {"A1", "黑"}}, {"A1:棕"}},
        {"quotes are plain characters", {{"O'B", "黑", "", ""}}, {{"O'B", "黑"}, {"O'B", "棕'"}}, {"O'B:棕'"}},
        {"blank colour matches a blank colour", {{"C1", "", "", ""}}, {{"C1", ""}, {"C2", ""}}, {"C2:"}},
        {"the catalogue's codes are not expanded", {{"D1", "黑", "", ""}}, {{"D1", "h"}}, {"D1:h"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        emptyTables();
        addModels(c.catalogue);
        addOrders(c.orders);
        shoes->setSql(QStringLiteral("select * from shoes.db where 鞋的型号='none'"));  // a search left over
        shoes->open();
        LineList list;
        list.lines = {QStringLiteral("stale:entry")};
        RecordingSink sink;
        EXPECT_EQ(catalogue::scanUnregisteredModels(*orders, *shoes, list, sink), c.listed.size());
        EXPECT_EQ(list.lines, c.listed);
        EXPECT_EQ(sink.eventTurns, int(c.orders.size()));
        EXPECT_TRUE(sink.writes.empty());
        EXPECT_EQ(shoes->sql(), QStringLiteral("select * from shoes.db"));
        EXPECT_TRUE(shoes->isOpen());
        EXPECT_EQ(shoes->recordCount(), int(c.catalogue.size()));
        EXPECT_FALSE(shoes->isBusy());
        EXPECT_FALSE(orders->isBusy());
        if (!c.orders.empty()) {
            EXPECT_EQ(orders->recNo(), int(c.orders.size()));  // the order cursor ends on the last order
        }
    }
}

// The scan covers the orders the order query holds, e.g. after a search.
TEST_F(UnregisteredScan, CoversOnlyTheShownOrders) {
    addOrders({{"G1", "黑"}, {"G2", "黑"}, {"G3", "黑"}});
    orders->setSql(orders::listSearchStatement(orders::ListSearchField::ShoeModel, {"G1", "G3"}));
    orders->open();
    LineList list;
    RecordingSink sink;
    catalogue::scanUnregisteredModels(*orders, *shoes, list, sink);
    EXPECT_EQ(list.lines, (QStringList{"G1:黑", "G3:黑"}));
}

// Entries the sole assignment put into the list meanwhile count by their
// model and colour; both queries stay busy for the whole walk.
TEST_F(UnregisteredScan, AFourPartEntryNamesItsModelAndColour) {
    addOrders({{"8012", "黑"}, {"8012", "棕"}, {"8012", "黑"}});
    LineList list;
    RecordingSink sink;
    bool busy = true;
    sink.onEvents = [&] {
        busy = busy && orders->isBusy() && shoes->isBusy();
        if (sink.eventTurns == 1)
            list.add(QStringLiteral("8012:黑:120:1007"));
    };
    EXPECT_EQ(catalogue::scanUnregisteredModels(*orders, *shoes, list, sink), 1);
    EXPECT_EQ(list.lines, (QStringList{"8012:黑:120:1007", "8012:棕"}));
    EXPECT_TRUE(busy);
}

// A record being edited in the catalogue is stored before the lookups
// replace the statement.
TEST_F(UnregisteredScan, StoresACatalogueRecordBeingEdited) {
    addModels({{"A1", "黑", "", ""}});
    addOrders({{"A1", "黑"}});
    shoes->first();
    shoes->edit();
    shoes->field(QStringLiteral("供应商")).setText(QStringLiteral("S9"));
    LineList list;
    RecordingSink sink;
    catalogue::scanUnregisteredModels(*orders, *shoes, list, sink);
    EXPECT_EQ(openQuery(QStringLiteral("select * from shoes.db"))->field(QStringLiteral("供应商")).asText(), QStringLiteral("S9"));
    EXPECT_TRUE(list.lines.isEmpty());
}

using AddFromList = CatalogueTables;

TEST_F(AddFromList, AddsModelAndColourThroughThePostingRule) {
    struct Case {
        QString entry;
        bool added;
        QString stored;  // the last stored record, model/colour/sequence
    };
    const Case cases[] = {
        {"8012:黑", true, "8012/黑/8012黑"},
        {"8013:黑:120:1007", true, "8013/黑/8013黑"},
        {"8014", true, "8014//8014"},
        {"8015:", true, "8015//8015"},
        {"8016:h", true, "8016/黑/8016黑"},
        {":棕", true, "/棕/棕"},
        {"", false, "/棕/棕"},
    };
    addModels({{"A1", "黑", "D1", "S1"}});
    int records = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.toStdString());
        shoes->first();
        EXPECT_EQ(catalogue::addListedModel(*shoes, c.entry), c.added);
        records += c.added ? 1 : 0;
        const QStringList stored = storedModels();
        EXPECT_EQ(stored.size(), records);
        EXPECT_EQ(stored.last(), c.stored);
        if (c.added) {
            EXPECT_EQ(shoes->recNo(), shoes->recordCount());  // on the new record, after the last
            EXPECT_EQ(shoes->field(QStringLiteral("鞋底型号")).asText(), QString());
        }
        EXPECT_EQ(shoes->state(), data::Query::State::Browse);
    }
    EXPECT_EQ(duplicateMessages, 0);
}

TEST_F(AddFromList, ADuplicateIsReportedAndAddsNothing) {
    addModels({{"8012", "黑", "D1", "S1"}});
    for (const QString& entry : {QStringLiteral("8012:黑"), QStringLiteral("8012:h:120:1007")}) {
        SCOPED_TRACE(entry.toStdString());
        duplicateMessages = 0;
        EXPECT_THROW(catalogue::addListedModel(*shoes, entry), data::SilentAbort);
        EXPECT_EQ(duplicateMessages, 1);
        EXPECT_EQ(shoes->state(), data::Query::State::Browse);
        EXPECT_EQ(shoes->rowCount(), 1);
        EXPECT_EQ(storedModels(), QStringList{"8012/黑/"});
    }
}

}  // namespace
