#include "visible_run.h"

#include "catalogue/shoes_window.h"
#include "catalogue/unregistered_models.h"
#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "orders/order_posting.h"
#include "statistics/aggregation.h"
#include "statistics/sole_assignment.h"
#include "statistics/statistics_posting.h"
#include "statistics/statistics_window.h"
#include "window_kit/status_panels.h"
#include "window_kit/window_registry.h"

#include "order_fixture.h"
#include "scan_fixture.h"
#include "sole_statistics_tables.h"

#include <QDir>
#include <QListWidget>

namespace bench {

namespace {

constexpr int CatalogueRows = 2000;

class PlainEntries : public catalogue::EntryList {
public:
    void clear() override { entries.clear(); }
    int count() const override { return int(entries.size()); }
    QString entry(int index) const override { return entries.value(index); }
    void add(const QString& entry) override { entries << entry; }
    QStringList entries;
};

}  // namespace

// The generated orders name the models M100 to M140 in 黑; the catalogue
// holds M100 to M134 in 黑, each with a sole model from one of four
// suppliers, and enough other models to make 2,000 rows, so that five models
// are missing from it.
void addCatalogue(const QString& folder) {
    sqlite3* db = nullptr;
    sqlite3_open(utf8(QDir(folder).filePath(QStringLiteral("shoes.db"))).constData(), &db);
    exec(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO shoes (\"鞋的型号\",\"颜色\",\"鞋底型号\",\"供应商\",\"顺序\") VALUES (?,?,?,?,?)",
                       -1, &st, nullptr);
    for (int i = 0; i < CatalogueRows; ++i) {
        const bool ordered = i < 35;
        const QByteArray model = ordered ? "M" + QByteArray::number(100 + i) : "C" + QByteArray::number(i);
        const QByteArray colour = utf8(ordered ? QStringLiteral("黑") : QStringLiteral("棕"));
        const QByteArray sole = "S" + QByteArray::number(500 + i % 17);
        const QByteArray supplier = utf8(QStringLiteral("供应商%1").arg(i % 4));
        const QByteArray sequence = model + colour;
        sqlite3_bind_text(st, 1, model.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, colour.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, sole.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, supplier.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 5, sequence.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    exec(db, "COMMIT");
    sqlite3_close(db);
}

void runExtraLoops(kit::WindowRegistry& windows, data::Engine& windowless, const QString& rawFolder, Report& report) {
    QElapsedTimer clock;

    // "↓未登记列表↓": the unregistered-models scan.
    kit::WindowRegistry::show(windows.shoesWindow);
    QCoreApplication::processEvents();
    clock.start();
    windows.shoesWindow->PLWDJClick();
    const double shown = msSince(clock);
    const int listed = windows.shoesWindow->LISTNO->count();

    data::Query orders(windowless);
    orders.setSql(QStringLiteral("select * from dd.db"));
    orders.open();
    data::Query catalogue(windowless);
    catalogue.setSql(QStringLiteral("select * from shoes.db"));
    catalogue.open();
    PlainEntries entries;
    ThrottledStatus status;
    clock.restart();
    catalogue::scanUnregisteredModels(orders, catalogue, entries, status);
    status.show();
    const double alone = msSince(clock);

    clock.restart();
    const QStringList bySql = unregisteredBySql(rawFolder);
    const double sql = msSince(clock);
    report.loop("未登记列表 scan, 2,000 catalogue rows", shown, alone, sql, 3000.0);
    report.note(QStringLiteral("entries: shown %1, without windows %2, anti-join %3").arg(listed).arg(entries.count()).arg(
        bySql.size()));

    // "鞋底统计": the question answered OK (the scripted dialogs' default),
    // the sole assignment, the table emptied and the orders added up.
    TAForm6TJ* statisticsWindow = windows.statisticsWindow;
    kit::WindowRegistry::show(statisticsWindow);
    QCoreApplication::processEvents();
    clock.restart();
    statisticsWindow->ToolButton7Click();
    const double jobShown = msSince(clock);
    const QString jobText = statisticsWindow->sBar->panelText(2);
    const QString rowsText = statisticsWindow->sBar->panelText(1);

    orders.setBeforePost([](data::Query& q) { orders::applyOrderPostingRule(q); });
    orders.setSql(QStringLiteral("select * from dd.db"));
    orders.open();
    catalogue.setSql(QStringLiteral("select * from shoes.db"));
    catalogue.open();
    data::Query table(windowless);
    table.setBeforePost(statistics::applyStatisticsPostingRule);
    table.setSql(QStringLiteral("select * from xdtj.db"));
    table.open();
    QStringList lines;
    ThrottledStatus jobStatus;
    clock.restart();
    statistics::assignSoles(orders, catalogue, [&](const QString& line) { lines << line; }, jobStatus);
    statistics::aggregateOrders(orders, table, jobStatus);
    jobStatus.show();
    const double jobAlone = msSince(clock);

    double sqlAssignment = 0, sqlAggregation = 0;
    plainJob(rawFolder, sqlAssignment, sqlAggregation);
    report.loop("鞋底统计 (assignment and aggregation)", jobShown, jobAlone, sqlAssignment + sqlAggregation, 3000.0);
    const QStringList columns = QStringList{"供应商", "鞋底型号", "双数", "顺序"} + data::sizeFieldNames();
    auto rows = [&](const QString& folder) {
        return tableRows(QDir(folder).filePath(QStringLiteral("xdtj.db")), QStringLiteral("xdtj"), columns);
    };
    const QStringList bySqlRows = rows(rawFolder);
    report.note(jobText + QStringLiteral(" / ") + rowsText + QStringLiteral(" rows; tables equal to plain SQL: shown %1, without windows %2")
                              .arg(rows(windows.engine.directory()) == bySqlRows ? QStringLiteral("yes") : QStringLiteral("NO"),
                                   rows(windowless.directory()) == bySqlRows ? QStringLiteral("yes") : QStringLiteral("NO")));
}

}  // namespace bench
