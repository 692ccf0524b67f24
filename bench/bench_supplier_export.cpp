// Times "按供应商导出": 50 suppliers with 2,000 statistics rows in all, one
// workbook (.xlsx) and one PDF per supplier, the office already running.
// The command is started through its click handler in the statistics window
// shown on a private Xvfb, beside the same export without windows and beside
// plain SQL reading the rows by supplier, in one run; then where the time of
// one supplier goes.
//
//   tavrel-bench-supplier-export            starts Xvfb, runs the pass, stops Xvfb
//   tavrel-bench-supplier-export --child    the pass on the display in DISPLAY

#include "app/startup.h"
#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/engine/open_store.h"
#include "dbui/db_grid.h"
#include "order_fixture.h"
#include "platform/application.h"
#include "platform/file_manager.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/scripted_dialogs.h"
#include "spreadsheet/libreoffice.h"
#include "statistics/statistics_window.h"
#include "statistics/supplier_export.h"
#include "statistics/supplier_sheets.h"
#include "window_kit/app_resources.h"
#include "window_kit/status_panels.h"
#include "window_kit/window_look.h"
#include "window_kit/window_registry.h"
#include "program_pass.h"
#include "xvfb_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

using namespace bench;

constexpr int Suppliers = 50;
constexpr int Rows = 2000;
constexpr double TargetMs = 15000;

class NoStatus : public kit::StatusSink {
public:
    void setPanelText(int, const QString&) override {}
    void letEventsRun() override {}
};

void fillStatistics(const QString& folder) {
    data::Engine engine(folder);
    data::Query query(engine);
    query.setSql(QStringLiteral("select * from xdtj.db"));
    query.open();
    data::BusyScope busy(query);
    for (int i = 1; i <= Rows; ++i) {
        query.append();
        query.field(QStringLiteral("供应商")).setText(QStringLiteral("温州鞋底供应商%1").arg(i % Suppliers));
        query.field(QStringLiteral("鞋底型号")).setText(QStringLiteral("0%1").arg(800 + i));
        int pairs = 0;
        for (int s = 33; s <= 48; ++s) {
            const int n = (i + s) % 11;
            pairs += n;
            query.field(QString::number(s)).setText(QString::number(n));
        }
        query.field(QStringLiteral("双数")).setText(QString::number(pairs));
        query.field(QStringLiteral("顺序")).setText(QString::number(i));
        query.post();
    }
}

// The rows read by supplier in plain SQL, as the export groups them.
double plainSql(const QString& folder) {
    QElapsedTimer clock;
    clock.start();
    sqlite3* db = nullptr;
    sqlite3_open(utf8(QDir(folder).filePath(QStringLiteral("xdtj.db"))).constData(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, utf8(QStringLiteral("select * from xdtj order by 供应商")).constData(), -1, &st, nullptr);
    int rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        rows += sqlite3_column_count(st) > 0;
    sqlite3_finalize(st);
    sqlite3_close(db);
    const double ms = msSince(clock);
    if (rows != Rows)
        std::printf("plain SQL read %d rows\n", rows);
    return ms;
}

int runPass(int argc, char** argv) {
    ProgramPass pass(argc, argv);
    platform::ScriptedDialogs& dialogs = pass.dialogs;
    dialogs.setDefaultAnswer(true);

    QTemporaryDir tables, program, officeDir;
    data::createTables(tables.path());
    fillStatistics(tables.path());
    platform::setProgramFolder(program.path());
    std::printf("statistics: %d rows of %d suppliers\n", Rows, Suppliers);

    data::Engine engine(tables.path());
    app::ProgramWindows windows(engine);
    kit::WindowRegistry& registry = windows.registry();
    TAForm6TJ* window = registry.statisticsWindow;
    kit::WindowRegistry::showMaximized(window);
    if (!QTest::qWaitForWindowExposed(window))
        std::printf("statistics window was not exposed\n");
    QCoreApplication::processEvents();

    spreadsheet::OfficeOptions options;
    options.pipeName = QStringLiteral("tavrel_bench_supplier_%1").arg(QCoreApplication::applicationPid());
    options.profileDir = officeDir.filePath(QStringLiteral("profile"));
    options.headless = true;
    options.startTimeoutMs = 90000;
    registry.makeSpreadsheet = [options] {
        return std::shared_ptr<spreadsheet::Application>(spreadsheet::createLibreOfficeApplication(options));
    };
    qint64 officePid = 0;
    int status = 0;
    try {
        spreadsheet::Application& office = registry.spreadsheet();
        QElapsedTimer clock;
        clock.start();
        office.connect();
        officePid = office.officeProcessId();
        // The office has made and exported a workbook before the timed runs.
        {
            auto book = office.addHiddenWorkbook();
            book->sheet(1)->setCellText(1, 1, QStringLiteral("x"));
            book->saveAs(officeDir.filePath(QStringLiteral("warm.xlsx")), spreadsheet::FileFormat::Xlsx);
            book->exportPdf(officeDir.filePath(QStringLiteral("warm.pdf")));
            book->close();
        }
        std::printf("office start and warm-up: %.0f ms\n", msSince(clock));

        clock.restart();
        window->ToolButtonGYSClick();
        const double shown = msSince(clock);
        const QString panel = window->sBar->panelText(kit::ProgressPanel);

        data::Query query(engine);
        query.setSql(QStringLiteral("select * from xdtj.db"));
        query.open();
        statistics::GridExport grid = statistics::describeGrid(*window->DBGrid2);
        grid.query = &query;
        NoStatus noStatus;
        statistics::ExportServices services;
        services.office = [&]() -> spreadsheet::Application& { return office; };
        services.dialogs = &dialogs;
        services.status = &noStatus;
        services.hasPrinter = [] { return false; };
        const QString alonePurchases = officeDir.filePath(QStringLiteral("alone"));
        clock.restart();
        const statistics::SupplierExportResult alone = statistics::exportBySupplier(grid, alonePurchases, services);
        const double aloneMs = msSince(clock);
        const double sqlMs = plainSql(tables.path());

        std::printf("%-40s shown %8.0f ms   without windows %8.0f ms   plain SQL %6.1f ms   target <= %.0f ms: %s\n",
                    "按供应商导出 (50 suppliers, 2,000 rows)", shown, aloneMs, sqlMs, TargetMs,
                    shown <= TargetMs && aloneMs <= TargetMs ? "met" : "MISSED");
        std::printf("    status panel: %s; files without windows: %d\n", panel.toUtf8().constData(),
                    int(alone.files.size()));

        // One supplier's 40 rows step by step.
        clock.restart();
        const std::vector<statistics::SupplierRows> groups = statistics::groupBySupplier(query);
        const double groupMs = msSince(clock);
        clock.restart();
        auto book = office.addHiddenWorkbook();
        const double makeMs = msSince(clock);
        clock.restart();
        statistics::writePurchaseSheet(*book->sheet(1), groups.front(), QDate::currentDate());
        book->sheet(1)->flush();
        const double writeMs = msSince(clock);
        clock.restart();
        book->saveAs(officeDir.filePath(QStringLiteral("one.xlsx")), spreadsheet::FileFormat::Xlsx);
        const double saveMs = msSince(clock);
        clock.restart();
        book->exportPdf(officeDir.filePath(QStringLiteral("one.pdf")));
        const double pdfMs = msSince(clock);
        clock.restart();
        book->close();
        const double closeMs = msSince(clock);
        std::printf("    grouping all rows %.1f ms; one supplier (%d rows): new workbook %.0f ms, sheet %.0f ms, "
                    ".xlsx %.0f ms, PDF %.0f ms, close %.0f ms\n",
                    groupMs, int(groups.front().rows.size()), makeMs, writeMs, saveMs, pdfMs, closeMs);
    } catch (const std::exception& e) {
        std::printf("export failed: %s\n", e.what());
        status = 1;
    }
    registry.spreadsheetApp.reset();
    if (officePid && platform::isProcessRunning(officePid))
        platform::terminateProcess(officePid);
    const QStringList asked = dialogs.messageTexts();
    if (asked.size() != 2)  // the click and the export without windows
        std::printf("message boxes shown: %s\n", asked.join(QStringLiteral(" | ")).toUtf8().constData());
    platform::setProgramFolder(QString());
    return status;
}

}  // namespace

int main(int argc, char** argv) { return bench::runVisibleBenchmark(argc, argv, runPass, 10); }
