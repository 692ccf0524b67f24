#include "orders_fixture.h"

#include "data/core/search_terms.h"
#include "orders/order_search.h"
#include "platform/files.h"

namespace {

using orders::ListSearchField;
using orders::SearchCriteria;

const QString Nul(QChar(0));

SearchCriteria batchCriteria(const QString& batch) {
    SearchCriteria c;
    c.batchTicked = true;
    c.batch = batch;
    return c;
}

TEST(CombinedSearch, StatementFromTheTickedCriteria) {
    struct Case {
        const char* name;
        SearchCriteria criteria;
        const char* statement;
    };
    auto with = [](auto change) {
        SearchCriteria c;
        change(c);
        return c;
    };
    const Case cases[] = {
        {"nothing ticked", {}, "SELECT * FROM DD.DB"},
        {"ticked rows with empty edits",
         with([](SearchCriteria& c) { c.batchTicked = c.orderTicked = c.modelTicked = c.colourTicked = true; }),
         "SELECT * FROM DD.DB"},
        {"edits without ticks", with([](SearchCriteria& c) { c.batch = "A1"; c.model = "m"; }), "SELECT * FROM DD.DB"},
        {"batch and counted", with([](SearchCriteria& c) { c.batchTicked = true; c.batch = "A1"; c.counted = true; }),
         "SELECT * FROM DD.DB WHERE 批号='A1' AND 已统计=TRUE"},
        {"not counted", with([](SearchCriteria& c) { c.notCounted = true; }), "SELECT * FROM DD.DB WHERE 已统计=FALSE"},
        {"clause order and capitals",
         with([](SearchCriteria& c) {
             c.batchTicked = c.orderTicked = c.modelTicked = c.colourTicked = c.notCounted = true;
             c.batch = "p1";
             c.order = "d 2";
             c.model = "a12";
             c.colour = " hei ";
         }),
         "SELECT * FROM DD.DB WHERE 批号='P1' AND 单号='D 2' AND 颜色 LIKE '%HEI%' AND 鞋的型号='A12' AND 已统计=FALSE"},
        {"exact model kept as typed", with([](SearchCriteria& c) { c.modelTicked = true; c.model = " x "; }),
         "SELECT * FROM DD.DB WHERE 鞋的型号=' X '"},
        {"fuzzy model trimmed", with([](SearchCriteria& c) { c.modelTicked = c.modelFuzzy = true; c.model = "\tx1 "; }),
         "SELECT * FROM DD.DB WHERE 鞋的型号 LIKE '%X1%'"},
        {"fuzzy without a model", with([](SearchCriteria& c) { c.modelTicked = c.modelFuzzy = true; }), "SELECT * FROM DD.DB"},
        {"blank colour", with([](SearchCriteria& c) { c.colourTicked = true; c.colour = "   "; }),
         "SELECT * FROM DD.DB WHERE 颜色 LIKE '%%'"},
        {"wide blank is no blank", with([](SearchCriteria& c) { c.colourTicked = true; c.colour = "\u3000红"; }),
         "SELECT * FROM DD.DB WHERE 颜色 LIKE '%\u3000红%'"},
        {"quote doubled", with([](SearchCriteria& c) { c.orderTicked = true; c.order = "O'k"; }),
         "SELECT * FROM DD.DB WHERE 单号='O''K'"},
        {"non-ascii letters stay", with([](SearchCriteria& c) { c.batchTicked = true; c.batch = "éb"; }),
         "SELECT * FROM DD.DB WHERE 批号='éB'"},
        {"wildcards and the escape character are escaped",
         with([](SearchCriteria& c) { c.colourTicked = c.modelTicked = c.modelFuzzy = true; c.colour = "5%"; c.model = "a_\\1"; }),
         "SELECT * FROM DD.DB WHERE 颜色 LIKE '%5\\%%' ESCAPE '\\' AND 鞋的型号 LIKE '%A\\_\\\\1%' ESCAPE '\\'"},
        {"NUL left out", with([](SearchCriteria& c) { c.batchTicked = c.colourTicked = true; c.batch = "A" + Nul + "1"; c.colour = Nul + "黑" + Nul; }),
         "SELECT * FROM DD.DB WHERE 批号='A1' AND 颜色 LIKE '%黑%'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(orders::combinedSearchStatement(c.criteria), QString::fromUtf8(c.statement)) << c.name;
}

TEST(ListSearch, StatementFromTheLines) {
    struct Case {
        ListSearchField field;
        QStringList lines;
        const char* statement;
    };
    const Case cases[] = {
        {ListSearchField::BatchNumber, {"1001", "1002"},
         " select * from dd.db where 1=1   and ( 批号='1001' or 批号 = '1002')"},
        {ListSearchField::OrderNumber, {"d1"}, " select * from dd.db where 1=1   and ( 单号='d1')"},
        {ListSearchField::ShoeModel, {"a 1", "", "b'2"},
         " select * from dd.db where 1=1   and ( 鞋的型号='a 1' or 鞋的型号 = '' or 鞋的型号 = 'b''2')"},
        {ListSearchField::BatchNumber, {}, ""},
        {ListSearchField::BatchNumber, {"10%", "1" + Nul + "2"}, " select * from dd.db where 1=1   and ( 批号='10%' or 批号 = '12')"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(orders::listSearchStatement(c.field, c.lines), QString::fromUtf8(c.statement));
}

TEST(ListSearch, LinesOfTheListBox) {
    const std::pair<const char*, QStringList> cases[] = {
        {"", {}},
        {"1001", {"1001"}},
        {"1001\n", {"1001"}},
        {"1001\r\n1002\r\n", {"1001", "1002"}},
        {"1001\n\n1002", {"1001", "", "1002"}},
        {"\n", {""}},
        {"1001\n\n", {"1001", ""}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(data::listLines(QString::fromUtf8(text)), lines) << text;
}

TEST(ListSearch, OnlyABatchListIsCheckedAgainstItsLines) {
    EXPECT_TRUE(orders::listSearchFoundWrongCount(ListSearchField::BatchNumber, 3, 2));
    EXPECT_FALSE(orders::listSearchFoundWrongCount(ListSearchField::BatchNumber, 2, 2));
    EXPECT_FALSE(orders::listSearchFoundWrongCount(ListSearchField::OrderNumber, 3, 7));
    EXPECT_FALSE(orders::listSearchFoundWrongCount(ListSearchField::ShoeModel, 1, 0));
}

TEST(SearchTexts, CountText) {
    EXPECT_EQ(orders::countText(25), QStringLiteral("共有记录:25条"));
    EXPECT_EQ(orders::countText(0), QStringLiteral("共有记录:0条"));
}

class SearchOnTables : public TablesTest<OrderTables> {
protected:
    void SetUp() override {
        addOrder(*orders, QStringLiteral("A1"), {{QStringLiteral("单号"), "D1"}, {QStringLiteral("鞋的型号"), "A12"},
                                                 {QStringLiteral("颜色"), "黑/BLACK"}, {QStringLiteral("已统计"), true}});
        addOrder(*orders, QStringLiteral("A2"), {{QStringLiteral("单号"), "D1"}, {QStringLiteral("鞋的型号"), "XA12Y"},
                                                 {QStringLiteral("颜色"), "棕"}});
        addOrder(*orders, QStringLiteral("1001"), {{QStringLiteral("单号"), "D2"}, {QStringLiteral("鞋的型号"), "a12"}});
        addOrder(*orders, QStringLiteral("1002"), {{QStringLiteral("单号"), "O'K"}});
        addOrder(*orders, QStringLiteral("1003"), {{QStringLiteral("鞋的型号"), "A_1"}, {QStringLiteral("颜色"), "5%_\\"}});
    }
};

// Lines as pasted from a workbook column: the given ones among `count`
// numbers that match nothing.
QStringList pastedColumn(int count, const QStringList& among) {
    QStringList lines;
    for (int i = 0; lines.size() < count; ++i) {
        if (i % 997 == 0 && i / 997 < among.size())
            lines << among[i / 997];
        lines << QStringLiteral("N%1").arg(i, 6, 10, QLatin1Char('0'));
    }
    return lines;
}

TEST_F(SearchOnTables, StatementsFindTheOrders) {
    struct Case {
        QString statement;
        QStringList batches;
    };
    auto combined = [](auto change) {
        SearchCriteria c;
        change(c);
        return orders::combinedSearchStatement(c);
    };
    const Case cases[] = {
        {combined([](SearchCriteria&) {}), {"A1", "A2", "1001", "1002", "1003"}},
        {orders::combinedSearchStatement(batchCriteria("a1")), {"A1"}},
        {combined([](SearchCriteria& c) { c.batchTicked = true; c.batch = "A1"; c.counted = true; }), {"A1"}},
        {combined([](SearchCriteria& c) { c.notCounted = true; }), {"A2", "1001", "1002", "1003"}},
        {combined([](SearchCriteria& c) { c.modelTicked = true; c.model = "a12"; }), {"A1"}},
        {combined([](SearchCriteria& c) { c.modelTicked = c.modelFuzzy = true; c.model = " 12y "; }), {"A2"}},
        {combined([](SearchCriteria& c) { c.colourTicked = true; c.colour = " "; }), {"A1", "A2", "1003"}},
        // What is typed is searched literally.
        {combined([](SearchCriteria& c) { c.colourTicked = true; c.colour = "%"; }), {"1003"}},
        {combined([](SearchCriteria& c) { c.colourTicked = true; c.colour = "\\"; }), {"1003"}},
        {combined([](SearchCriteria& c) { c.colourTicked = true; c.colour = "5" + Nul + "%"; }), {"1003"}},
        {combined([](SearchCriteria& c) { c.modelTicked = c.modelFuzzy = true; c.model = "_"; }), {"1003"}},
        {combined([](SearchCriteria& c) { c.modelTicked = c.modelFuzzy = true; c.model = "a_1"; }), {"1003"}},
        {combined([](SearchCriteria& c) { c.modelTicked = c.modelFuzzy = true; c.model = QString(100000, 'x'); }), {}},
        {combined([](SearchCriteria& c) { c.modelTicked = c.modelFuzzy = true; c.model = "12" + QString(100000, ' '); }),
         {"A1", "A2", "1001"}},
        {combined([](SearchCriteria& c) { c.orderTicked = true; c.order = "o'k"; }), {"1002"}},
        {orders::listSearchStatement(ListSearchField::BatchNumber, {"1001", "1002"}), {"1001", "1002"}},
        {orders::listSearchStatement(ListSearchField::OrderNumber, {"D1", "O'K"}), {"A1", "A2", "1002"}},
        {orders::listSearchStatement(ListSearchField::ShoeModel, {"a12"}), {"1001"}},
        // Pasted columns of any length.
        {orders::listSearchStatement(ListSearchField::BatchNumber, pastedColumn(10000, {"1002", "A1", "1003"})),
         {"A1", "1002", "1003"}},
        {orders::listSearchStatement(ListSearchField::OrderNumber, pastedColumn(100000, {"D2", "O'K"})), {"1001", "1002"}},
        {orders::listSearchStatement(ListSearchField::ShoeModel, pastedColumn(100000, {})), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement.toStdString());
        EXPECT_EQ(orders::showOrders(*orders, c.statement), c.batches.size());
        EXPECT_EQ(column(*orders, QStringLiteral("批号")), c.batches);
    }
}

TEST_F(SearchOnTables, WrongBatchListsAreNoticed) {
    struct Case {
        QStringList lines;
        bool wrong;
    };
    const Case cases[] = {
        {{"1001", "1002"}, false},
        {{"1001", "1001", "1002"}, true},  // a repeated line
        {{"1001", "", "1002"}, true},      // an empty line matches nothing
        {{"1001", "9999"}, true},
        {{"1001"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.join(QLatin1Char('|')).toStdString());
        const int found = orders::showOrders(*orders, orders::listSearchStatement(ListSearchField::BatchNumber, c.lines));
        EXPECT_EQ(orders::listSearchFoundWrongCount(ListSearchField::BatchNumber, int(c.lines.size()), found), c.wrong);
    }
}

TEST_F(SearchOnTables, RejectedStatementLeavesTheQueryClosed) {
    EXPECT_THROW(orders::showOrders(*orders, QStringLiteral("select * from nosuch.db")), data::EngineError);
    EXPECT_FALSE(orders->isOpen());
}

TEST_F(SearchOnTables, PickListFileBesideTheProgram) {
    platform::setProgramFolder(dir.path());
    EXPECT_FALSE(orders::readPickList().has_value());
    orders::ensurePickListFile();
    ASSERT_TRUE(orders::readPickList().has_value());
    EXPECT_TRUE(orders::readPickList()->isEmpty());
    platform::writeGbkTextLines(orders::pickListPath(), {QStringLiteral("A12"), QStringLiteral("鞋B")});
    orders::ensurePickListFile();  // an existing file is kept
    EXPECT_EQ(orders::readPickList(), (QStringList{"A12", "鞋B"}));
    platform::setProgramFolder(QString());
}

}  // namespace
