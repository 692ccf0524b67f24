// "订单导入" of 10,000 orders without windows, on table files and on a
// PostgreSQL server (a private one) in the same run: the import itself,
// posting rule and undo record included, read from a worksheet held in
// memory so that the office is left out of the figures. An import of three
// rows goes first on each store.
//
//   tavrel-bench-import-server [orders]   prints
//   import-10000 server X ms / files Y ms = ratio

#include "data/engine/engine.h"
#include "data/engine/open_store.h"
#include "data/engine/query.h"
#include "orders/order_import.h"
#include "orders/order_posting.h"

#include "fake_worksheet.h"
#include "import_workbook.h"
#include "order_fixture.h"
#include "pg_bench_server.h"
#include "pg_test_server.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>

namespace {

using namespace bench;

// The orders of bench/import_workbook.h, as texts in memory.
void fillSheet(FakeWorksheet& sheet, int rows) {
    sheet.setRow(1, importColumns());
    for (int r = 2; r <= rows + 1; ++r) {
        QStringList row{QStringLiteral("I%1").arg(r, 6, 10, QLatin1Char('0')), QStringLiteral("A1001"),
                        r % 3 ? QStringLiteral("h") : QStringLiteral("棕"), QString::number(1 + r % 9)};
        for (int c = 5; c <= 21; ++c)
            row << (c >= 9 && c <= 14 ? QString::number(6 + (r + c) % 7) : QString());
        row << QStringLiteral("样品");
        sheet.setRow(r, row);
    }
}

// One import into the empty order table at location, after an import of a
// few rows that sets up what a store does once (the undo journal's tables);
// its time, or -1 when it did not store every row.
double importInto(const QString& location, FakeWorksheet& sheet, int rows) {
    data::createTables(location);
    data::Engine engine(location);
    data::Query orders(engine);
    orders.setSql(QStringLiteral("select * from dd.db"));
    orders.open();
    orders::installOrderPostingRule(orders, [] { std::printf("duplicate batch number\n"); });
    ThrottledStatus status;
    FakeWorksheet first;
    for (int r = 2; r <= 4; ++r)
        first.setRow(r, {QStringLiteral("W%1").arg(r), QStringLiteral("A1001")});
    orders::importWorksheet(first, orders, importColumns(), status, [] { std::printf("import failed\n"); });
    orders.open();
    QElapsedTimer clock;
    clock.start();
    const orders::ImportOutcome outcome =
        orders::importWorksheet(sheet, orders, importColumns(), status, [] { std::printf("import failed\n"); });
    const double ms = msSince(clock);
    orders.open();
    if (outcome.rowsImported != rows || orders.recordCount() != rows + 3) {
        std::printf("imported %d rows, the table holds %d, of %d\n", outcome.rowsImported, orders.recordCount(), rows);
        return -1;
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rows = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10000;
    FakeWorksheet sheet;
    fillSheet(sheet, rows);
    // Two rounds on fresh tables; the faster of each store counts.
    double files = 0, server = 0;
    for (int round = 1; round <= 2; ++round) {
        QTemporaryDir folder;
        const double f = importInto(folder.path(), sheet, rows);
        const QString uri = freshPgDatabase(pgBenchServerUri(), QStringLiteral("tavrel_bench_import_%1").arg(round));
        const double s = importInto(uri, sheet, rows);
        if (f < 0 || s < 0)
            return 1;
        std::printf("round %d: files %.0f ms, server %.0f ms\n", round, f, s);
        files = round == 1 ? f : std::min(files, f);
        server = round == 1 ? s : std::min(server, s);
    }
    std::printf("import-%d server %.0f ms / files %.0f ms = %.2f   target <= 2: %s\n", rows, server, files,
                server / files, server <= 2 * files ? "met" : "MISSED");
    return 0;
}
