// Export of 5,000 statistics rows (19 columns) to the office: the quick
// export into a new workbook and the fill of the print template with the
// rows inserted, each timed with the office already running.
//
//   tavrel-bench-export [TEMPLATE]   (default: the template in resources/print)

#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/engine/open_store.h"
#include "platform/process.h"
#include "platform/scripted_dialogs.h"
#include "spreadsheet/libreoffice.h"
#include "statistics/export_grids.h"
#include "statistics/print_template.h"
#include "window_kit/progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int Rows = 5000;

class Status : public kit::StatusSink {
public:
    void setPanelText(int, const QString&) override {}
    void letEventsRun() override { QCoreApplication::processEvents(); }
};

QStringList columns() {
    QStringList c{QStringLiteral("供应商"), QStringLiteral("鞋底型号"), QStringLiteral("双数")};
    for (int s = 33; s <= 48; ++s)
        c << QString::number(s);
    return c;
}

void fillStatistics(data::Query& query) {
    data::BusyScope busy(query);
    for (int i = 1; i <= Rows; ++i) {
        query.append();
        query.field(QStringLiteral("供应商")).setText(QStringLiteral("鞋底供应商%1").arg(i % 37));
        query.field(QStringLiteral("鞋底型号")).setText(QStringLiteral("XD-%1").arg(i));
        int pairs = 0;
        for (int s = 33; s <= 48; ++s) {
            const int n = (i + s) % 11;
            pairs += n;
            query.field(QString::number(s)).setText(QString::number(n));
        }
        query.field(QStringLiteral("双数")).setText(QString::number(pairs));
        query.post();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    platform::ignoreBrokenPipes();
    const QString templatePath =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TAVREL_RESOURCES_DIR "/print/鞋底打印.xls");

    QTemporaryDir folder;
    data::createTables(folder.path());
    data::Engine engine(folder.path());
    data::Query query(engine);
    query.setSql(QStringLiteral("select * from xdtj.db"));
    query.open();
    fillStatistics(query);
    query.open();
    const statistics::GridExport grid{QStringLiteral("DBGrid2"), columns(), columns(), &query};

    spreadsheet::OfficeOptions options;
    options.pipeName = QStringLiteral("tavrel_bench_export_%1").arg(QCoreApplication::applicationPid());
    options.profileDir = folder.filePath(QStringLiteral("profile"));
    options.headless = true;
    options.startTimeoutMs = 60000;

    platform::ScriptedDialogs dialogs;  // every question answered with OK
    Status status;
    int result = 0;
    qint64 pid = 0;
    try {
        auto office = spreadsheet::createLibreOfficeApplication(options);
        QElapsedTimer clock;
        clock.start();
        office->connect();
        pid = office->officeProcessId();
        std::printf("office start: %.0f ms\n", clock.nsecsElapsed() / 1e6);

        statistics::ExportServices services;
        services.office = [&]() -> spreadsheet::Application& {
            office->connect();
            return *office;
        };
        services.dialogs = &dialogs;
        services.status = &status;
        services.hasPrinter = [] { return true; };

        std::printf("export of %d rows x 19 columns, office running\n", Rows);
        for (int run = 1; run <= 2; ++run) {
            clock.restart();
            statistics::exportGrids({grid}, services);
            std::printf("  quick export, run %d:   %8.0f ms   (target <= 2000 ms)\n", run, clock.nsecsElapsed() / 1e6);
        }
        for (int run = 1; run <= 2; ++run) {
            clock.restart();
            statistics::fillPrintTemplate(templatePath, grid, 5, 12, services);
            std::printf("  template fill, run %d:  %8.0f ms   (%d rows inserted)\n", run, clock.nsecsElapsed() / 1e6,
                        Rows - 12);
        }
        // Where the time of the quick export goes: the cells alone, then the
        // fitting of the columns over the written rows.
        {
            auto book = office->addWorkbook();
            auto sheet = book->sheet(1);
            clock.restart();
            statistics::writeGridRecords(*sheet, grid, 2, true);
            const double walkMs = clock.nsecsElapsed() / 1e6;
            sheet->flush();
            const double writeMs = clock.nsecsElapsed() / 1e6;
            sheet->autoFitColumns(1, 19);
            const double fitMs = clock.nsecsElapsed() / 1e6;
            std::printf("  of which: query walk and gathering %.0f ms, sending the cells %.0f ms, fitting 19 columns %.0f ms\n",
                        walkMs, writeMs - walkMs, fitMs - writeMs);
            book->close();
        }
        if (dialogs.messageTexts().size() != 2 * 2 + 2 * 3)
            std::printf("unexpected messages: %s\n", qPrintable(dialogs.messageTexts().join(QLatin1Char('|'))));
        office->quit();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        result = 1;
    }
    if (pid && platform::isProcessRunning(pid))
        platform::terminateProcess(pid);
    return result;
}
