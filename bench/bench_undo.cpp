// Times the undo journal with 100,000 orders, the program's windows shown on
// a real X server (a private Xvfb): recording the before-images of every
// order beside the command that records them ("删除订单") and beside plain
// SQL, then undoing that deletion through the order window's 撤销 beside the
// same undo without windows and beside plain SQL, in one run.
//
//   tavrel-bench-undo           starts Xvfb, runs the pass, stops Xvfb
//   tavrel-bench-undo --child   the pass on the display in DISPLAY

#include "app/startup.h"
#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/engine/open_store.h"
#include "data/core/undo_journal.h"
#include "data/engine/undo_scope.h"
#include "orders/bulk_orders.h"
#include "orders/orders_window.h"
#include "platform/application.h"
#include "platform/scripted_dialogs.h"
#include "window_kit/app_resources.h"
#include "window_kit/status_panels.h"
#include "window_kit/window_look.h"

#include "order_fixture.h"
#include "visible_run.h"
#include "program_pass.h"
#include "shown_order_window.h"
#include "xvfb_server.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

using namespace bench;

double timed(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return msSince(t);
}

int runPass(int argc, char** argv) {
    ProgramPass pass(argc, argv);
    platform::ScriptedDialogs& dialogs = pass.dialogs;
    Report report("undo journal");
    OrderFolders folders;
    if (!folders.make()) {
        std::fprintf(stderr, "could not make the tables\n");
        return 1;
    }
    std::printf("orders: %d\n", Orders);

    data::Engine engine(folders.visible.path());
    app::ProgramWindows windows(engine);
    TaForm3DD* ordersWindow = bench::showOrderWindow(windows);

    data::Engine windowlessEngine(folders.windowless.path());
    data::Query windowless(windowlessEngine);
    windowless.setSql(QStringLiteral("select * from dd.db"));
    windowless.open();
    data::UndoJournal& journal = windowlessEngine.undoJournal();

    // Recording alone: the before-images and, after the command, the
    // fingerprints of the rows it left; plain SQL copies the table.
    qint64 id = 0;
    const double recordMs = timed([&] {
        id = journal.record(QStringLiteral("删除订单"), data::ordersWindowName(), {data::shownRows(windowless)});
    });
    const double sealMs = timed([&] { journal.seal(id); });
    const double copySql = timed([&] { exec(folders.db, "CREATE TABLE kept AS SELECT rowid AS rid, * FROM dd"); });
    report.single("recording 100,000 before-images", recordMs);
    report.single("sealing (fingerprints of the rows left)", sealMs);
    report.single("plain SQL: copy of the table", copySql);
    journal.undo(id);  // nothing changed: the rows are written back as they are
    windowless.open();

    // "删除订单" with its recording, in the window and without.
    dialogs.queueAnswer(true);
    const double deleteShown = timed([&] { ordersWindow->ToolButton8Click(); });
    const QString deleteText = ordersWindow->sBar->panelText(kit::ProgressPanel);
    ThrottledStatus status;
    const double deleteAlone = timed([&] { orders::deleteShownOrders(windowless, status); });
    const double deleteSql = timed([&] { exec(folders.db, "DELETE FROM dd"); });
    report.loop("删除订单 100,000 (recording included)", deleteShown, deleteAlone, deleteSql, 0.0);
    report.note(deleteText);
    // The seal timed above is its dearest case, every row still in place (a
    // deletion's own seal finds none).
    std::printf("before-images / the command they are taken for: %.0f / %.0f ms = %.3f   target < 0.2: %s\n", recordMs,
                deleteShown, recordMs / deleteShown, recordMs / deleteShown < 0.2 ? "met" : "MISSED");
    const double recording = recordMs + sealMs;
    std::printf("before-images and seal / the command: %.0f / %.0f ms = %.3f\n", recording, deleteShown,
                recording / deleteShown);

    // The undo of that deletion through 撤销, and without windows.
    dialogs.queueAnswer(true);
    const double undoShown = timed([&] {
        ordersWindow->ToolButtonCXClick();
        QCoreApplication::processEvents();
    });
    const QString undoText = ordersWindow->sBar->panelText(kit::ProgressPanel);
    // The same steps as the button: the last command, the rows changed
    // since, the undo, the query opened again.
    const double undoAlone = timed([&] {
        const qint64 last = journal.entries(data::ordersWindowName()).front().id;
        if (journal.changedSince(last) != 0)
            std::printf("rows changed since the deletion?\n");
        journal.undo(last);
        windowless.open();
    });
    const double undoSql = timed([&] {
        const QString sql = QStringLiteral("INSERT INTO dd(rowid, %1) SELECT rid, %1 FROM kept")
                                .arg(QStringLiteral("\"批号\",\"单号\",\"鞋的型号\",\"颜色\",\"件数\",\"双数\",\"已统计\",\"备注\","
                                                    "\"供应商\",\"鞋底型号\",") +
                                     sizeColumns(QStringLiteral("\"%1\""), QStringLiteral(",")));
        exec(folders.db, utf8(sql).constData());
    });
    report.loop("撤销 of 删除订单 100,000", undoShown, undoAlone, undoSql, 0.0);
    report.note(undoText + QStringLiteral(" / rows shown again: %1").arg(ordersWindow->Query1->recordCount()));
    std::printf("undo space: %lld KB\n", static_cast<long long>(journal.storageBytes() / 1024));

    const QStringList unexpected = dialogs.messageTexts();
    std::printf("message boxes: %d\n", int(unexpected.size()));
    return report.finish(1.5);
}

}  // namespace

int main(int argc, char** argv) { return bench::runVisibleBenchmark(argc, argv, runPass); }
