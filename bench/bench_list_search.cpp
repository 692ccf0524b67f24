// Times the list search of "综合搜索" as the clerk waits for it: a column of
// 10,000 batch numbers pasted into the list box and "批号" pressed, over
// 100,000 orders, with the order window and the search window shown on a
// real X server (a private Xvfb) — beside the same search on a query no
// window shows, and beside one plain SQL statement over the raw table, in
// one run (target: 1 s in the shown windows). The catalogue search of 1,000
// terms over its 2,000 records is timed the same way, without a target.
//
//   tavrel-bench-list-search            starts Xvfb, runs the pass, stops Xvfb
//   tavrel-bench-list-search --child    the pass on the display in DISPLAY

#include "app/main_window.h"
#include "app/startup.h"
#include "catalogue/catalogue_search.h"
#include "catalogue/shoes_window.h"
#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/core/search_terms.h"
#include "data/engine/open_store.h"
#include "orders/order_search.h"
#include "orders/orders_window.h"
#include "orders/search_window.h"
#include "platform/application.h"
#include "platform/scripted_dialogs.h"
#include "window_kit/app_resources.h"
#include "window_kit/status_panels.h"
#include "window_kit/window_look.h"

#include "order_fixture.h"
#include "visible_run.h"
#include "program_pass.h"
#include "xvfb_server.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

namespace {

using namespace bench;

constexpr int ListLines = 10000;
constexpr int CatalogueTerms = 1000;
constexpr double TargetMs = 1000.0;

// Every tenth order's batch number, as the fixture numbers them.
QStringList pastedBatches() {
    QStringList lines;
    for (int i = 0; i < ListLines; ++i) {
        const int order = i * (Orders / ListLines);
        lines << QString::number(3000 + order / 100) + QString::number(order % 100).rightJustified(3, QLatin1Char('0'));
    }
    return lines;
}

// Model terms of which one in ten is in the catalogue.
QStringList catalogueTerms() {
    QStringList terms;
    for (int i = 0; i < CatalogueTerms; ++i)
        terms << (i % 10 == 0 ? QStringLiteral("M%1").arg(100 + i / 10 % 41) : QStringLiteral("Q%1").arg(i));
    return terms;
}
// The ids of the rows whose field is one of the values, in table order.
double plainSql(const QString& folder, const char* table, const char* sql, const QStringList& values, int& found) {
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    sqlite3_open(utf8(QStringLiteral("%1/%2").arg(folder, QLatin1String(table))).constData(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    QStringList quoted;
    for (const QString& v : values)
        quoted << QLatin1Char('"') + v + QLatin1Char('"');
    const QByteArray json = utf8(QLatin1Char('[') + quoted.join(QLatin1Char(',')) + QLatin1Char(']'));
    sqlite3_bind_text(st, 1, json.constData(), int(json.size()), SQLITE_TRANSIENT);
    std::vector<sqlite3_int64> ids;
    while (sqlite3_step(st) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(st, 0));
    std::sort(ids.begin(), ids.end());
    sqlite3_finalize(st);
    sqlite3_close(db);
    found = int(ids.size());
    return msSince(t);
}

void waitShown(QWidget* window) {
    if (!QTest::qWaitForWindowExposed(window))
        std::printf("window %s was not exposed\n", window->objectName().toUtf8().constData());
    QCoreApplication::processEvents();
}

int runPass(int argc, char** argv) {
    ProgramPass pass(argc, argv);
    platform::ScriptedDialogs& dialogs = pass.dialogs;
    Report report("list searches");

    OrderFolders folders;
    if (!folders.make(addCatalogue)) {
        std::fprintf(stderr, "could not make the tables\n");
        return 1;
    }
    std::printf("orders: %d, pasted batch numbers: %d, catalogue terms: %d\n", Orders, ListLines, CatalogueTerms);

    data::Engine engine(folders.visible.path());
    app::ProgramWindows windows(engine);
    kit::WindowRegistry& registry = windows.registry();
    registry.mainWindow->show();
    waitShown(registry.mainWindow);
    kit::WindowRegistry::showMaximized(registry.ordersWindow);
    waitShown(registry.ordersWindow);
    TaForm7SS* search = registry.searchWindow;
    search->show();
    waitShown(search);

    data::Engine windowlessEngine(folders.windowless.path());
    data::Query windowless(windowlessEngine);
    windowless.setSql(orders::allOrdersStatement());
    windowless.open();
    QElapsedTimer clock;

    // "批号" with 10,000 pasted lines: to the count text and the grids painted.
    const QStringList batches = pastedBatches();
    search->Memo1->setPlainText(batches.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    QCoreApplication::processEvents();
    clock.start();
    search->ToolButton12Click();
    QCoreApplication::processEvents();
    const double shown = msSince(clock);
    const QString shownText = registry.ordersWindow->sBar->panelText(kit::ProgressPanel);

    clock.restart();
    const QStringList lines = data::listLines(batches.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    const int alone = orders::showOrders(windowless, orders::listSearchStatement(orders::ListSearchField::BatchNumber, lines));
    const bool wrong = orders::listSearchFoundWrongCount(orders::ListSearchField::BatchNumber, int(lines.size()), alone);
    const double aloneMs = msSince(clock);

    int plainFound = 0;
    const double sqlMs = plainSql(folders.raw.path(), "dd.db",
                                  "SELECT rowid FROM dd WHERE \"批号\" IN (SELECT value FROM json_each(?))", batches, plainFound);
    report.loop("批号 list of 10,000 over 100,000 orders", shown, aloneMs, sqlMs, TargetMs);
    report.note(QStringLiteral("shown: %1 / without windows: %2 records%3 / plain SQL: %4 rows")
                    .arg(shownText)
                    .arg(alone)
                    .arg(wrong ? QStringLiteral(" (wrong count)") : QString())
                    .arg(plainFound));

    // The catalogue's "鞋的型号" search with 1,000 terms in its box.
    TAForm2shoes* shoes = registry.shoesWindow;
    kit::WindowRegistry::show(shoes);
    waitShown(shoes);
    const QStringList terms = catalogueTerms();
    shoes->Memo1->setPlainText(terms.join(QLatin1Char('\n')));
    QCoreApplication::processEvents();
    clock.restart();
    shoes->ToolButton8Click();
    QCoreApplication::processEvents();
    const double shoesShown = msSince(clock);
    const QString shoesText = shoes->sBar->panelText(kit::ProgressPanel);

    data::Query windowlessShoes(windowlessEngine);
    ThrottledStatus status;
    clock.restart();
    catalogue::searchModels(windowlessShoes, catalogue::SearchField::ShoeModel, terms.join(QLatin1Char('\n')), status);
    status.show();
    const double shoesAlone = msSince(clock);
    QStringList upper;
    for (const QString& t : terms)
        upper << t.toUpper();
    int shoesPlain = 0;
    const double shoesSql = plainSql(folders.raw.path(), "shoes.db",
                                     "SELECT rowid FROM shoes WHERE \"鞋的型号\" <> '' AND EXISTS (SELECT 1 FROM json_each(?) "
                                     "WHERE instr(upper(\"鞋的型号\"), value) > 0)",
                                     upper, shoesPlain);
    report.loop("鞋的型号 search of 1,000 terms", shoesShown, shoesAlone, shoesSql, 0.0);
    report.note(QStringLiteral("shown: %1 / without windows: %2 / plain SQL: %3 rows")
                    .arg(shoesText, status.shown(kit::ProgressPanel))
                    .arg(shoesPlain));

    const QStringList unexpected = dialogs.messageTexts();
    if (!unexpected.isEmpty())
        std::printf("message boxes shown: %s\n", unexpected.join(QStringLiteral(" | ")).toUtf8().constData());
    return report.finish(1.5);
}

}  // namespace

int main(int argc, char** argv) { return bench::runVisibleBenchmark(argc, argv, runPass); }
