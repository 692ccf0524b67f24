// Import of a 10,000-row workbook into the order table, through the order
// query with its posting rule: once with the office still to be started,
// once with it running.

#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/engine/open_store.h"
#include "orders/order_import.h"
#include "orders/order_posting.h"
#include "platform/process.h"
#include "spreadsheet/libreoffice.h"
#include "window_kit/progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "import_workbook.h"

namespace {

constexpr int Rows = 10000;

// Lets events run every row and takes texts as a window would.
class Status : public kit::StatusSink {
public:
    void setPanelText(int, const QString& text) override { last = text; }
    void letEventsRun() override { QCoreApplication::processEvents(); }
    QString last;
};

QString makeWorkbook(const spreadsheet::OfficeOptions& options, const QString& path) {
    auto app = spreadsheet::createLibreOfficeApplication(options);
    bench::writeImportWorkbook(*app, path, Rows, QStringLiteral("B"));
    app->quit();
    return path;
}

double importOnce(const spreadsheet::OfficeOptions& options, const QString& workbook, qint64* startedPid) {
    QTemporaryDir dir;
    data::createTables(dir.path());
    data::Engine engine(dir.path());
    data::Query query(engine);
    orders::installOrderPostingRule(query, [] {});
    query.setSql(QStringLiteral("select * from dd.db"));
    query.open();
    Status status;

    QElapsedTimer clock;
    clock.start();
    auto app = spreadsheet::createLibreOfficeApplication(options);
    app->connect();
    const double connectMs = clock.nsecsElapsed() / 1e6;
    if (startedPid && app->officeProcessId())
        *startedPid = app->officeProcessId();
    auto sheet = app->openWorkbook(workbook)->activeSheet();
    const double openMs = clock.nsecsElapsed() / 1e6 - connectMs;
    const orders::ImportOutcome outcome = orders::importWorksheet(*sheet, query, bench::importColumns(), status, [] {
        std::printf("unexpected: the import failed\n");
    });
    const double ms = clock.nsecsElapsed() / 1e6;
    std::printf("  connect %.0f ms, open workbook %.0f ms, rows %.0f ms\n", connectMs, openMs, ms - connectMs - openMs);
    if (outcome.rowsImported != Rows)
        std::printf("unexpected: %d rows imported\n", outcome.rowsImported);
    app->quit();
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    QTemporaryDir folder;
    spreadsheet::OfficeOptions options;
    options.pipeName = QStringLiteral("tavrel_bench_import_%1").arg(QCoreApplication::applicationPid());
    options.profileDir = folder.filePath(QStringLiteral("profile"));
    options.headless = true;
    options.startTimeoutMs = 60000;

    int status = 0;
    qint64 firstPid = 0, keeperPid = 0;
    try {
        const QString workbook = makeWorkbook(options, folder.filePath(QStringLiteral("orders.xlsx")));
        std::printf("import of %d rows x 22 columns (.xlsx)\n", Rows);
        std::printf("%-30s %8.0f ms   (target < 5000 ms)\n", "office not running:", importOnce(options, workbook, &firstPid));
        auto keeper = spreadsheet::createLibreOfficeApplication(options);
        keeper->addWorkbook();
        keeperPid = keeper->officeProcessId();
        std::printf("%-30s %8.0f ms   (target < 2000 ms)\n", "office running:", importOnce(options, workbook, nullptr));
        keeper->quit();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    for (qint64 pid : {firstPid, keeperPid})
        if (pid)
            platform::terminateProcess(pid);
    return status;
}
