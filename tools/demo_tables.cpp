#include "demo_tables.h"

#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/core/undo_journal.h"
#include "orders/order_posting.h"
#include "statistics/aggregation.h"
#include "statistics/sole_assignment.h"
#include "statistics/statistics_posting.h"
#include "table_places.h"
#include "window_kit/progress.h"

#include <array>

namespace {

struct CatalogueEntry {
    const char16_t* model;
    const char16_t* colour;
    const char16_t* sole;
    const char16_t* supplier;
};

constexpr std::array<CatalogueEntry, 30> catalogue = {{
    {u"A1001", u"黑", u"D-301", u"温州鑫达鞋材"},  {u"A1001", u"棕", u"D-301", u"温州鑫达鞋材"},
    {u"A1001", u"卡其", u"D-302", u"温州鑫达鞋材"}, {u"A1002", u"黑", u"D-305", u"泉州华兴鞋底厂"},
    {u"A1002", u"棕油", u"D-305", u"泉州华兴鞋底厂"}, {u"A1003", u"黑/BLACK", u"R-118", u"东莞永利橡胶"},
    {u"A1003", u"棕/BROWN", u"R-118", u"东莞永利橡胶"}, {u"A1005", u"灰擦", u"R-120", u"东莞永利橡胶"},
    {u"A1005", u"棕擦", u"R-120", u"东莞永利橡胶"},   {u"B2010", u"黑", u"PU-66", u"晋江协和鞋材"},
    {u"B2010", u"BROWN", u"PU-66", u"晋江协和鞋材"},  {u"B2011", u"BLACK", u"PU-68", u"晋江协和鞋材"},
    {u"B2011", u"打蜡棕", u"PU-68", u"晋江协和鞋材"}, {u"B2015", u"黑", u"TPR-9", u"温州鑫达鞋材"},
    {u"B2015", u"卡其", u"TPR-9", u"温州鑫达鞋材"},   {u"C3100", u"黑", u"EVA-21", u"泉州华兴鞋底厂"},
    {u"C3100", u"棕", u"EVA-21", u"泉州华兴鞋底厂"}, {u"C3101", u"黑", u"EVA-23", u"泉州华兴鞋底厂"},
    {u"C3102", u"灰擦", u"EVA-23", u"泉州华兴鞋底厂"}, {u"C3105", u"棕油", u"R-130", u"东莞永利橡胶"},
    {u"D4200", u"黑/BLACK", u"D-410", u"温州鑫达鞋材"}, {u"D4200", u"棕/BROWN", u"D-410", u"温州鑫达鞋材"},
    {u"D4201", u"黑", u"D-412", u"晋江协和鞋材"},     {u"D4201", u"棕擦", u"D-412", u"晋江协和鞋材"},
    {u"E5008", u"黑", u"PU-70", u"泉州华兴鞋底厂"},   {u"E5008", u"卡其", u"PU-70", u"泉州华兴鞋底厂"},
    {u"E5010", u"BLACK", u"TPR-12", u"东莞永利橡胶"}, {u"E5010", u"BROWN", u"TPR-12", u"东莞永利橡胶"},
    {u"F6001", u"黑", u"R-140", u""},                {u"F6001", u"棕", u"R-140", u""},
}};

struct OrderSeed {
    const char16_t* model;
    const char16_t* colour;
    int cases;
    int firstSize;  // size of the first non-zero entry
    std::array<int, 6> run;
};

constexpr std::array<OrderSeed, 12> orderSeeds = {{
    {u"A1001", u"黑", 10, 38, {6, 12, 12, 12, 6, 0}},
    {u"A1001", u"棕", 8, 38, {6, 12, 12, 12, 6, 0}},
    {u"A1002", u"棕油", 5, 37, {4, 8, 12, 8, 4, 0}},
    {u"A1003", u"黑/BLACK", 12, 39, {6, 12, 12, 6, 0, 0}},
    {u"B2010", u"黑", 6, 38, {6, 12, 12, 12, 6, 6}},
    {u"B2011", u"打蜡棕", 4, 39, {12, 12, 12, 12, 0, 0}},
    {u"C3100", u"黑", 15, 35, {6, 12, 12, 6, 0, 0}},
    {u"C3101", u"黑", 3, 34, {4, 8, 8, 4, 0, 0}},
    {u"D4200", u"棕/BROWN", 9, 40, {12, 12, 12, 6, 6, 0}},
    {u"G7001", u"黑", 7, 38, {6, 12, 12, 12, 6, 0}},      // not in the catalogue
    {u"G7002", u"卡其", 2, 36, {6, 6, 12, 12, 0, 0}},     // not in the catalogue
    {u"A1005", u"BLACK", 5, 39, {12, 12, 12, 12, 0, 0}},  // colour not in the catalogue
}};

void fillCatalogue(data::Engine& engine) {
    data::Query q(engine);
    q.setSql(QStringLiteral("select * from shoes.db"));
    q.open();
    for (const CatalogueEntry& e : catalogue) {
        q.append();
        const QString model = QString::fromUtf16(e.model);
        const QString colour = QString::fromUtf16(e.colour);
        q.field(QStringLiteral("鞋的型号")).setText(model);
        q.field(QStringLiteral("颜色")).setText(colour);
        q.field(QStringLiteral("鞋底型号")).setText(QString::fromUtf16(e.sole));
        q.field(QStringLiteral("供应商")).setText(QString::fromUtf16(e.supplier));
        q.field(QStringLiteral("顺序")).setText(model + colour);
        q.post();
    }
}

void fillOrders(data::Engine& engine) {
    data::Query q(engine);
    q.setSql(QStringLiteral("select * from dd.db"));
    q.open();
    int batch = 0;
    for (int order = 0; order < 4; ++order) {
        const QString orderNo = QString::number(2601 + order);
        for (int i = 0; i < 9; ++i) {
            const OrderSeed& seed = orderSeeds[(order * 5 + i) % orderSeeds.size()];
            q.append();
            q.field(QStringLiteral("批号")).setText(orderNo + QStringLiteral("%1").arg(i + 1, 3, 10, QLatin1Char('0')));
            q.field(QStringLiteral("单号")).setText(orderNo);
            q.field(QStringLiteral("鞋的型号")).setText(QString::fromUtf16(seed.model));
            q.field(QStringLiteral("颜色")).setText(QString::fromUtf16(seed.colour));
            q.field(QStringLiteral("件数")).setInteger(seed.cases);
            int total = 0;
            for (int size = 33; size <= 48; ++size) {
                const int offset = size - seed.firstSize;
                const int pairs = offset >= 0 && offset < int(seed.run.size()) ? seed.run[offset] * seed.cases : 0;
                q.field(QString::number(size)).setInteger(pairs);
                total += pairs;
            }
            q.field(QStringLiteral("双数")).setInteger(total);
            if (i == 4)
                q.field(QStringLiteral("备注")).setText(QStringLiteral("加急，月底前交货"));
            q.field(QStringLiteral("已统计")).setBoolean(order == 0);
            q.post();
            ++batch;
        }
    }
}

class NoStatus : public kit::StatusSink {
public:
    void setPanelText(int, const QString&) override {}
    void letEventsRun() override {}
};

// The sole statistics of every order, as a run of "鞋底统计" leaves them.
void fillStatistics(data::Engine& engine) {
    data::Query orders(engine), catalogue(engine), statistics(engine);
    orders.setBeforePost(orders::applyOrderPostingRule);
    statistics.setBeforePost(statistics::applyStatisticsPostingRule);
    orders.setSql(QStringLiteral("select * from dd.db"));
    catalogue.setSql(QStringLiteral("select * from shoes.db"));
    orders.open();
    catalogue.open();
    NoStatus status;
    statistics::assignSoles(orders, catalogue, {}, status);
    statistics::aggregateOrders(orders, statistics, status);
}

}  // namespace

void fillDemoTables(const QString& place) {
    createAllTables(place);
    data::Engine engine(place);
    // The demo's own filling is nothing a clerk would undo.
    engine.setUndoJournal(std::make_unique<data::NoUndoJournal>());
    fillCatalogue(engine);
    fillOrders(engine);
    fillStatistics(engine);
}
