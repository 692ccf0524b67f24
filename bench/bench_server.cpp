// The same windows on the table files and on a PostgreSQL server on this
// machine, in one run on a private Xvfb: opening the order window at 100,000
// orders, "件数相乘", "标为统计" and "鞋底统计" (2,000-row catalogue) through
// their click handlers; on the server also without windows and as plain SQL;
// and the time from a post at one desk to the new value shown at another.
//
//   tavrel-bench-server           starts Xvfb and a private server, runs, stops both
//   tavrel-bench-server --child   the run itself, on DISPLAY and TAVREL_BENCH_PG_URI

#include "app/main_window.h"
#include "app/startup.h"
#include "data/engine/engine.h"
#include "data/server/pg_schema.h"
#include "data/server/pg_session.h"
#include "data/engine/query.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "dbui/query_table_model.h"
#include "orders/bulk_orders.h"
#include "orders/order_posting.h"
#include "orders/orders_window.h"
#include "orders/size_runs.h"
#include "platform/application.h"
#include "platform/file_manager.h"
#include "platform/scripted_dialogs.h"
#include "statistics/aggregation.h"
#include "statistics/sole_assignment.h"
#include "statistics/statistics_posting.h"
#include "statistics/statistics_window.h"
#include "window_kit/app_resources.h"
#include "window_kit/status_panels.h"
#include "window_kit/window_look.h"
#include "window_kit/window_registry.h"

#include "order_fixture.h"
#include "pg_bench_server.h"
#include "visible_run.h"
#include "program_pass.h"
#include "xvfb_server.h"

#include <QDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <map>

namespace {

using namespace bench;

struct Figures {
    double orderWindow = 0, multiply = 0, mark = 0, statistics = 0;
    QStringList statisticsRows;
};

void waitShown(QWidget* window) {
    if (!QTest::qWaitForWindowExposed(window))
        std::printf("window %s was not exposed\n", window->objectName().toUtf8().constData());
    QCoreApplication::processEvents();
}

// A fresh database on the server with the rows of the raw table files.
QString serverCopy(const QString& baseUri, const QString& name, const QString& rawFolder) {
    auto admin = data::pg::Session::connect(baseUri, QStringLiteral("bench"));
    admin->exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
    admin->exec(QStringLiteral("CREATE DATABASE %1").arg(name));
    QUrl url(baseUri);
    url.setPath(QLatin1Char('/') + name);
    const QString uri = url.toString();
    auto session = data::pg::Session::connect(uri, QStringLiteral("bench"));
    data::pg::createTables(*session);
    for (const data::TableDef* def : {&data::shoesTable(), &data::ordersTable()}) {
        data::Engine files(rawFolder);
        data::Query source(files);
        source.setSql(QStringLiteral("select * from ") + def->fileName);
        source.open();
        const int fields = source.fieldCount();
        QStringList columns, arrays;
        for (int f = 0; f < fields; ++f) {
            columns << data::quotedIdentifier(source.fieldName(f));
            arrays << QStringLiteral("?::%1[]").arg(source.fieldKind(f) == data::FieldKind::Text      ? QStringLiteral("text")
                                                    : source.fieldKind(f) == data::FieldKind::Integer ? QStringLiteral("bigint")
                                                                                                      : QStringLiteral("boolean"));
        }
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) SELECT * FROM unnest(%3)")
                                .arg(data::quotedIdentifier(def->sqlName), columns.join(QLatin1Char(',')), arrays.join(QLatin1Char(',')));
        std::vector<std::vector<QVariant>> chunk;
        chunk.resize(std::size_t(fields));
        auto send = [&] {
            if (chunk.front().empty())
                return;
            std::vector<QVariant> params;
            for (auto& values : chunk)
                params.push_back(QVariant::fromValue(data::pg::ArrayParam{std::move(values)}));
            session->run(sql, params);
            chunk.assign(std::size_t(fields), {});
        };
        for (source.first(); !source.eof(); source.next()) {
            for (int f = 0; f < fields; ++f)
                chunk[std::size_t(f)].push_back(source.value(f));
            if (chunk.front().size() >= 5000)
                send();
        }
        send();
    }
    session->exec(QStringLiteral("VACUUM ANALYZE"));
    return uri;
}

QStringList statisticsRows(data::Engine& engine) {
    data::Query q(engine);
    q.setSql(QStringLiteral("select * from xdtj.db"));
    q.open();
    QStringList rows;
    for (q.first(); !q.eof(); q.next()) {
        QStringList values;
        for (int f = 0; f < q.fieldCount(); ++f)
            values << q.field(f).asText();
        rows << values.join(QLatin1Char('|'));
    }
    rows.sort();
    return rows;
}

Figures runWindows(const QString& location) {
    Figures figures;
    data::Engine engine(location);
    app::ProgramWindows windows(engine);
    kit::WindowRegistry& registry = windows.registry();
    registry.mainWindow->show();
    waitShown(registry.mainWindow);
    QElapsedTimer clock;
    clock.start();
    registry.ordersWindow->Query1->close();
    registry.ordersWindow->Query1->open();
    kit::WindowRegistry::showMaximized(registry.ordersWindow);
    waitShown(registry.ordersWindow);
    figures.orderWindow = msSince(clock);
    clock.restart();
    registry.ordersWindow->ToolButton9Click();
    figures.multiply = msSince(clock);
    clock.restart();
    registry.ordersWindow->ToolButton11Click();
    figures.mark = msSince(clock);
    kit::WindowRegistry::show(registry.statisticsWindow);
    QCoreApplication::processEvents();
    clock.restart();
    registry.statisticsWindow->ToolButton7Click();
    figures.statistics = msSince(clock);
    figures.statisticsRows = statisticsRows(engine);
    return figures;
}

// The loops without windows, over queries of their own.
struct Alone {
    double multiply = 0, mark = 0, statistics = 0;
};

Alone runWindowless(const QString& location) {
    Alone figures;
    data::Engine engine(location);
    data::Query orders(engine);
    orders.setBeforePost([](data::Query& q) { orders::applyOrderPostingRule(q); });
    orders.setSql(QStringLiteral("select * from dd.db"));
    orders.open();
    ThrottledStatus status;
    QElapsedTimer clock;
    clock.start();
    orders::multiplyByCases(orders, status);
    figures.multiply = msSince(clock);
    clock.restart();
    orders::markCounted(orders, status);
    figures.mark = msSince(clock);
    data::Query catalogue(engine);
    catalogue.setSql(QStringLiteral("select * from shoes.db"));
    catalogue.open();
    data::Query table(engine);
    table.setBeforePost(statistics::applyStatisticsPostingRule);
    table.setSql(QStringLiteral("select * from xdtj.db"));
    table.open();
    clock.restart();
    statistics::assignSoles(orders, catalogue, [](const QString&) {}, status);
    statistics::aggregateOrders(orders, table, status);
    figures.statistics = msSince(clock);
    return figures;
}

// Plain SQL on the server: every row read, then one UPDATE a row in one
// transaction, waiting for each answer.
std::pair<double, double> runPlainSql(const QString& uri) {
    auto session = data::pg::Session::connect(uri, QStringLiteral("bench"));
    QElapsedTimer clock;
    clock.start();
    const QString sizes = sizeColumns(QStringLiteral("\"%1\""), QStringLiteral(","));
    const data::pg::Result rows = session->run(QStringLiteral("SELECT rowid,\"件数\",%1 FROM dd").arg(sizes));
    const QString update = QStringLiteral("UPDATE dd SET %1,\"双数\"=? WHERE rowid=?").arg(sizeColumns(QStringLiteral("\"%1\"=?"), QStringLiteral(",")));
    session->exec(QStringLiteral("BEGIN"));
    for (const auto& row : rows.rows) {
        std::vector<QVariant> params;
        qint64 pairs = 0;
        for (int s = 0; s < 16; ++s) {
            const qint64 value = row[std::size_t(2 + s)].toLongLong() * row[1].toLongLong();
            pairs += value;
            params.push_back(QVariant(value));
        }
        params.push_back(QVariant(pairs));
        params.push_back(row[0]);
        session->run(update, params);
    }
    session->exec(QStringLiteral("COMMIT"));
    const double multiply = msSince(clock);
    clock.restart();
    const data::pg::Result ids = session->run(QStringLiteral("SELECT rowid FROM dd"));
    session->exec(QStringLiteral("BEGIN"));
    for (const auto& row : ids.rows)
        session->run(QStringLiteral("UPDATE dd SET \"已统计\"=true WHERE rowid=?"), {row[0]});
    session->exec(QStringLiteral("COMMIT"));
    return {multiply, msSince(clock)};
}

// A post at desk A until desk B's order window shows the new value.
std::vector<double> postToShown(const QString& uri) {
    data::Engine deskB(uri);
    app::ProgramWindows windows(deskB);
    kit::WindowRegistry& registry = windows.registry();
    kit::WindowRegistry::showMaximized(registry.ordersWindow);
    waitShown(registry.ordersWindow);
    dbui::DbGrid* grid = registry.ordersWindow->DBGrid1;
    data::Query* shown = grid->dataSource()->query();
    const int remark = shown->fieldIndex(QStringLiteral("备注"));
    int column = -1;
    for (int c = 0; c < grid->tableModel()->columnCount(); ++c)
        if (grid->tableModel()->fieldIndex(c) == remark)
            column = c;
    const QString batch = shown->valueAt(0, shown->fieldIndex(QStringLiteral("批号"))).toString();

    data::Engine deskA(uri);
    data::Query atA(deskA);
    atA.setSql(QStringLiteral("select * from dd.db where 批号='%1'").arg(batch));
    atA.open();
    std::vector<double> times;
    for (int i = 1; i <= 20; ++i) {
        const QString text = QStringLiteral("第%1次").arg(i);
        atA.edit();
        atA.field(QStringLiteral("备注")).setText(text);
        QElapsedTimer clock;
        clock.start();
        atA.post();
        while (clock.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const QModelIndex cell = grid->tableModel()->index(0, std::max(column, 0));
            const QString value = column >= 0 ? grid->tableModel()->data(cell).toString() : shown->valueAt(0, remark).toString();
            if (value == text)
                break;
        }
        times.push_back(msSince(clock));
    }
    std::sort(times.begin(), times.end());
    return times;
}

void line(const char* what, double files, double server) {
    if (files <= 0) {
        std::printf("%-34s files %8s      server %8.0f ms\n", what, "", server);
        return;
    }
    std::printf("%-34s files %8.0f ms   server %8.0f ms   server/files %5.2f   target <= 2: %s\n", what, files, server,
                files > 0 ? server / files : 0.0, server <= 2 * files ? "met" : "MISSED");
}

int runPass(int argc, char** argv) {
    ProgramPass pass(argc, argv);
    platform::ScriptedDialogs& dialogs = pass.dialogs;
    const QString baseUri = qEnvironmentVariable("TAVREL_BENCH_PG_URI");
    if (baseUri.isEmpty()) {
        std::fprintf(stderr, "no server: TAVREL_BENCH_PG_URI is not set\n");
        return 1;
    }
    OrderFolders folders;
    if (const int orders = qEnvironmentVariableIntValue("TAVREL_BENCH_ORDERS"); orders > 0)
        folders.orders = orders;
    if (!folders.make(addCatalogue)) {
        std::fprintf(stderr, "could not make the tables\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    const QString shownUri = serverCopy(baseUri, QStringLiteral("bench_shown"), folders.raw.path());
    const QString aloneUri = serverCopy(baseUri, QStringLiteral("bench_alone"), folders.raw.path());
    const QString sqlUri = serverCopy(baseUri, QStringLiteral("bench_sql"), folders.raw.path());
    std::printf("orders: %d, catalogue rows: 2000; server copies made in %.0f ms\n", folders.orders, msSince(clock));

    std::printf("\n== windows shown on Xvfb: table files beside the server ==\n");
    const Figures files = runWindows(folders.visible.path());
    std::printf("table files done\n");
    const Figures server = runWindows(shownUri);
    line("order window opened and shown", files.orderWindow, server.orderWindow);
    line("件数相乘 (multiply by cases)", files.multiply, server.multiply);
    line("标为统计 (mark counted)", files.mark, server.mark);
    line("鞋底统计 (assignment and aggregation)", files.statistics, server.statistics);
    std::printf("statistics tables equal on both stores: %s (%lld rows)\n",
                files.statisticsRows == server.statisticsRows ? "yes" : "NO", qint64(files.statisticsRows.size()));

    const Alone alone = runWindowless(aloneUri);
    const auto [sqlMultiply, sqlMark] = runPlainSql(sqlUri);
    std::printf("\n== on the server: shown / without windows / plain SQL (a row at a time, one transaction) ==\n");
    std::printf("%-34s %8.0f / %8.0f / %8.0f ms\n", "件数相乘", server.multiply, alone.multiply, sqlMultiply);
    std::printf("%-34s %8.0f / %8.0f / %8.0f ms\n", "标为统计", server.mark, alone.mark, sqlMark);
    std::printf("%-34s %8.0f / %8.0f ms\n", "鞋底统计", server.statistics, alone.statistics);

    const std::vector<double> times = postToShown(shownUri);
    std::printf("\n== post at desk A to the value shown at desk B (20 posts) ==\n");
    std::printf("median %.1f ms, slowest %.1f ms, target <= 1000 ms: %s\n", times[times.size() / 2], times.back(),
                times.back() <= 1000 ? "met" : "MISSED");
    const QStringList unexpected = dialogs.messageTexts();
    if (!unexpected.isEmpty())
        std::printf("message boxes shown: %s\n", unexpected.join(QStringLiteral(" | ")).toUtf8().constData());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return runVisibleBenchmark(argc, argv, runPass, 60, [](QProcessEnvironment& env) {
        // The server of the caller's, or a private one for this run.
        if (!env.contains(QStringLiteral("TAVREL_BENCH_PG_URI")))
            env.insert(QStringLiteral("TAVREL_BENCH_PG_URI"), pgBenchServerUri());
        return true;
    });
}
