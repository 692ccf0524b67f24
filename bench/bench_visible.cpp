// Times what the clerk waits for: the program's own windows shown on a real X
// server (a private Xvfb), 100,000 orders, each bulk loop started through its
// click handler and timed to its last progress text — beside the same loop
// run over a query that no window shows, and beside plain SQL, in one run.
// The whole set runs twice: once plain, once with the accessibility bridge on
// (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on a private session bus).
//
//   tavrel-bench-visible            starts Xvfb, runs both passes, stops Xvfb
//   tavrel-bench-visible --child    one pass on the display in DISPLAY

#include "app/main_window.h"
#include "app/startup.h"
#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/engine/open_store.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "dbui/query_table_model.h"
#include "orders/bulk_orders.h"
#include "orders/order_import.h"
#include "orders/order_posting.h"
#include "orders/orders_window.h"
#include "orders/size_runs.h"
#include "platform/application.h"
#include "platform/file_manager.h"
#include "platform/process.h"
#include "platform/scripted_dialogs.h"
#include "spreadsheet/libreoffice.h"
#include "statistics/statistics_window.h"
#include "window_kit/app_resources.h"
#include "window_kit/status_panels.h"
#include "window_kit/window_look.h"

#include "import_workbook.h"
#include "order_fixture.h"
#include "visible_run.h"
#include "program_pass.h"
#include "xvfb_server.h"

#include <QAccessible>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {

using namespace bench;

void waitShown(QWidget* window) {
    if (!QTest::qWaitForWindowExposed(window))
        std::printf("window %s was not exposed\n", window->objectName().toUtf8().constData());
    QCoreApplication::processEvents();
}

constexpr int ImportRows = 10000;

// The fields of the order window's lower grid, the import's column order.
QStringList gridFields(dbui::DbGrid* grid) {
    QStringList fields;
    for (int c = 0; c < grid->tableModel()->columnCount(); ++c)
        fields << grid->dataSource()->query()->fieldName(grid->tableModel()->fieldIndex(c));
    return fields;
}

int runPass(int argc, char** argv, bool accessibility) {
    ProgramPass pass(argc, argv);
    platform::ScriptedDialogs& dialogs = pass.dialogs;
    Report report(accessibility ? "accessibility bridge on" : "plain");
    if (accessibility) {
        QElapsedTimer wait;
        wait.start();
        while (!QAccessible::isActive() && wait.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::printf("accessibility active: %s\n", QAccessible::isActive() ? "yes" : "NO (no bridge; figures as plain)");
    }

    OrderFolders folders;
    if (!folders.make(addCatalogue)) {
        std::fprintf(stderr, "could not make the tables\n");
        return 1;
    }
    std::printf("orders: %d\n", Orders);
    std::fflush(stdout);

    // Start-up and the windows the clerk opens.
    QElapsedTimer clock;
    clock.start();
    data::Engine engine(folders.visible.path());
    app::ProgramWindows windows(engine);
    kit::WindowRegistry& registry = windows.registry();
    registry.mainWindow->show();
    waitShown(registry.mainWindow);
    report.single("start-up to the main window shown", msSince(clock));
    clock.restart();
    kit::WindowRegistry::showMaximized(registry.ordersWindow);
    waitShown(registry.ordersWindow);
    report.single("order window shown", msSince(clock));
    clock.restart();
    registry.ordersWindow->ToolButton5Click();
    waitShown(registry.statisticsWindow);
    report.single("statistics window shown", msSince(clock));
    if (accessibility)
        std::printf("accessibility active with the windows shown: %s\n", QAccessible::isActive() ? "yes" : "NO");

    TaForm3DD* ordersWindow = registry.ordersWindow;
    auto lastText = [&] { return ordersWindow->sBar->panelText(kit::ProgressPanel); };

    data::Engine windowlessEngine(folders.windowless.path());
    data::Query windowless(windowlessEngine);
    windowless.setBeforePost([](data::Query& q) { orders::applyOrderPostingRule(q); });
    windowless.setSql(QStringLiteral("select * from dd.db"));
    windowless.open();

    // A loop through its click handler, then its twin without windows, then plain SQL.
    auto timeLoop = [&](const char* what, const std::function<void()>& click,
                        const std::function<void(kit::StatusSink&)>& twin, const std::function<double()>& sql,
                        double targetMs) {
        clock.restart();
        click();
        const double shown = msSince(clock);
        const QString text = lastText();
        ThrottledStatus status;
        clock.restart();
        twin(status);
        status.show();
        const double alone = msSince(clock);
        report.loop(what, shown, alone, sql(), targetMs);
        report.note(text);
    };
    timeLoop(
        "件数相乘 (multiply by cases)", [&] { ordersWindow->ToolButton9Click(); },
        [&](kit::StatusSink& s) { orders::multiplyByCases(windowless, s); }, [&] { return rawMultiply(folders.db); },
        5000.0);
    timeLoop(
        "标为统计 (mark counted)", [&] { ordersWindow->ToolButton11Click(); },
        [&](kit::StatusSink& s) { orders::markCounted(windowless, s); }, [&] { return rawMarkCounted(folders.db); },
        0.0);

    runExtraLoops(registry, windowlessEngine, folders.raw.path(), report);

    // "订单导入" of a 10,000-row workbook, with the office already running;
    // TAVREL_BENCH_LOOPS_ONLY=1 (scripts/bench.sh) leaves it out.
    if (qEnvironmentVariableIntValue("TAVREL_BENCH_LOOPS_ONLY") == 1)
        return report.finish(accessibility ? 2.0 : 1.5);
    QTemporaryDir officeDir;
    spreadsheet::OfficeOptions options;
    options.pipeName = QStringLiteral("tavrel_bench_visible_%1").arg(QCoreApplication::applicationPid());
    options.profileDir = officeDir.filePath(QStringLiteral("profile"));
    options.headless = true;
    options.startTimeoutMs = 90000;
    registry.makeSpreadsheet = [options] {
        return std::shared_ptr<spreadsheet::Application>(spreadsheet::createLibreOfficeApplication(options));
    };
    qint64 officePid = 0;
    try {
        spreadsheet::Application& office = registry.spreadsheet();
        office.connect();
        officePid = office.officeProcessId();
        const QString workbook = officeDir.filePath(QStringLiteral("orders.xlsx"));
        writeImportWorkbook(office, workbook, ImportRows, QStringLiteral("X"))->close();
        // Both timed imports open a file the office has read before.
        office.openWorkbook(workbook)->close();
        dialogs.queueFile(workbook);
        clock.restart();
        ordersWindow->ToolButton12Click();
        const double importShown = msSince(clock);
        const QString importText = lastText();
        // The twin opens the workbook too, as the click did.
        for (int i = office.workbookCount(); i >= 1; --i)
            if (auto book = office.workbook(i); QFileInfo(book->filePath()) == QFileInfo(workbook))
                book->close();
        ThrottledStatus importStatus;
        clock.restart();
        auto sheet = office.openWorkbook(workbook)->activeSheet();
        const orders::ImportOutcome outcome = orders::importWorksheet(
            *sheet, windowless, gridFields(ordersWindow->DBGrid1), importStatus, [] { std::printf("import failed\n"); });
        importStatus.show();
        const double importAlone = msSince(clock);
        report.loop("订单导入 10,000 rows (office running)", importShown, importAlone, 0.0, 0.0);
        report.note(importText + QStringLiteral(" / without windows %1 rows").arg(outcome.rowsImported));
    } catch (const std::exception& e) {
        std::printf("import skipped: %s\n", e.what());
    }
    registry.spreadsheetApp.reset();
    if (officePid)
        platform::terminateProcess(officePid);

    const QStringList unexpected = dialogs.messageTexts();
    if (!unexpected.isEmpty())
        std::printf("message boxes shown: %s\n", unexpected.join(QStringLiteral(" | ")).toUtf8().constData());
    return report.finish(accessibility ? 2.0 : 1.5);
}

int runParent(const QString& self) {
    XvfbServer xvfb;
    if (!xvfb.start()) {
        std::fprintf(stderr, "%s\n", xvfb.error().toUtf8().constData());
        return 1;
    }
    std::printf("X server: Xvfb on display %s\n", xvfb.display().toUtf8().constData());
    std::fflush(stdout);
    int status = 0;
    for (bool accessibility : {false, true}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), xvfb.display());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"));
        QString program = self;
        QStringList arguments{QStringLiteral("--child")};
        if (accessibility) {
            env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
            arguments << QStringLiteral("--accessibility");
            // A private session bus with the accessibility bus registered on
            // it, as a desktop session has; both end with the pass.
            const QString session = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
            if (!session.isEmpty()) {
                arguments = QStringList{QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
                                        QStringLiteral("dbus-send --session --dest=org.a11y.Bus --type=method_call "
                                                       "/org/a11y/bus org.a11y.Bus.GetAddress; exec \"$0\" \"$@\""),
                                        program} +
                            arguments;
                program = session;
            }
        }
        QProcess pass;
        pass.setProcessEnvironment(env);
        pass.setProcessChannelMode(QProcess::ForwardedChannels);
        pass.start(program, arguments);
        if (!pass.waitForFinished(30 * 60 * 1000)) {
            pass.kill();
            pass.waitForFinished();
        }
        if (pass.exitStatus() != QProcess::NormalExit || pass.exitCode() != 0)
            status = 1;
    }
    xvfb.stop();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--child") {
            bool accessibility = false;
            for (int j = 1; j < argc; ++j)
                accessibility = accessibility || QByteArray(argv[j]) == "--accessibility";
            return runPass(argc, argv, accessibility);
        }
    QCoreApplication core(argc, argv);
    return runParent(QCoreApplication::applicationFilePath());
}
