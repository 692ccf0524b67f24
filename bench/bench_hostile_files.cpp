// What the clerk sees when "订单导入" is given a file the office cannot read,
// and how long it takes: the program's windows and a real office with its
// windows (not headless, so any question of the office's own would show and
// wait) on a private Xvfb. Last, the office is stopped by a signal while an
// import runs, to show the call bound at work.
//
//   tavrel-bench-hostile-files [--screenshot FILE]
//       starts Xvfb and runs the child on it; FILE receives a picture of the
//       screen with the office's window (its menus in Chinese)
//   tavrel-bench-hostile-files --child [--screenshot FILE]
//       the measurements, on the display in DISPLAY

#include "app/startup.h"
#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/engine/open_store.h"
#include "orders/orders_window.h"
#include "platform/application.h"
#include "platform/file_manager.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/scripted_dialogs.h"
#include "spreadsheet/libreoffice.h"
#include "window_kit/app_resources.h"
#include "window_kit/window_look.h"

#include "import_workbook.h"
#include "program_pass.h"
#include "xvfb_server.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcessEnvironment>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#ifndef Q_OS_WIN
#include <csignal>
#endif

namespace {

QString optionValue(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == name)
            return QString::fromLocal8Bit(argv[i + 1]);
    return {};
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int orderCount(data::Engine& engine) {
    data::Query q(engine);
    q.setSql(QStringLiteral("select * from dd.db"));
    q.open();
    return q.recordCount();
}

int runChild(int argc, char** argv) {
    bench::ProgramPass pass(argc, argv);
    platform::ScriptedDialogs& dialogs = pass.dialogs;
    const QString screenshot = optionValue(argc, argv, "--screenshot");

    QTemporaryDir programDir, dataDir, officeDir;
    platform::setProgramFolder(programDir.path());
    data::createTables(dataDir.path());
    data::Engine engine(dataDir.path());
    app::ProgramWindows windows(engine);
    kit::WindowRegistry& registry = windows.registry();

    spreadsheet::OfficeOptions options;
    options.pipeName = QStringLiteral("tavrel_bench_hostile_%1").arg(QCoreApplication::applicationPid());
    options.profileDir = officeDir.filePath(QStringLiteral("profile"));
    options.startTimeoutMs = 90000;
    registry.makeSpreadsheet = [options] {
        return std::shared_ptr<spreadsheet::Application>(spreadsheet::createLibreOfficeApplication(options));
    };
    kit::WindowRegistry::showMaximized(registry.ordersWindow);
    if (!QTest::qWaitForWindowExposed(registry.ordersWindow))
        std::printf("the order window was not exposed\n");
    TaForm3DD* orders = registry.ordersWindow;

    // The office is started once, before anything is timed; a good workbook
    // made through it is the source of the truncated one.
    qint64 officePid = 0;
    QString good;
    try {
        spreadsheet::Application& office = registry.spreadsheet();
        office.connect();
        officePid = office.officeProcessId();
        good = dataDir.filePath(QStringLiteral("good.xlsx"));
        bench::writeImportWorkbook(office, good, 200, QStringLiteral("G"))->close();
    } catch (const std::exception& e) {
        std::printf("office could not be prepared: %s\n", e.what());
        return 1;
    }
    std::printf("call bound: %d ms; office pid %lld, with windows on %s\n", options.callTimeoutMs,
                static_cast<long long>(officePid), qgetenv("DISPLAY").constData());

    QByteArray random;
    quint32 x = 2026;
    for (int i = 0; i < 65536; ++i) {
        x = x * 1664525u + 1013904223u;
        random.append(static_cast<char>(x >> 24));
    }
    const QByteArray xlsx = readFile(good);
    const struct {
        const char* what;
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"random bytes named .xls", "random.xls", random},
        {"a text file named .xls", "text.xls",
         QStringLiteral("批号\t鞋的型号\t颜色\nB0001\t0805\t黑\n").repeated(300).toUtf8()},
        {"a truncated .xlsx", "truncated.xlsx", xlsx.left(xlsx.size() / 2)},
        {"an .xls with a password set", "password.xls", readFile(QStringLiteral(TAVREL_BENCH_DATA_DIR "/password.xls"))},
        {"an empty file named .xls", "empty.xls", {}},
    };
    std::printf("%-32s %9s  %-26s %s\n", "file", "time", "message", "orders imported / the office's detail");
    for (const auto& f : files) {
        const QString path = dataDir.filePath(QString::fromLatin1(f.name));
        writeFile(path, f.bytes);
        dialogs.clear();
        dialogs.queueFile(path);
        QElapsedTimer clock;
        clock.start();
        orders->ToolButton12Click();
        const double ms = clock.nsecsElapsed() / 1e6;
        QString detail;
        try {
            registry.spreadsheet().openWorkbook(path);
            detail = QStringLiteral("(opened!)");
        } catch (const spreadsheet::Error& e) {
            detail = e.message().section(QStringLiteral(" failed: "), 1);
        }
        std::printf("%-32s %7.0f ms  %-26s %d / %s\n", f.what, ms,
                    dialogs.messageTexts().join(QStringLiteral(" | ")).toUtf8().constData(), orderCount(engine),
                    detail.toUtf8().constData());
    }

    // The good workbook for comparison; the office's window is on the screen.
    dialogs.clear();
    dialogs.queueFile(good);
    QElapsedTimer clock;
    clock.start();
    orders->ToolButton12Click();
    std::printf("%-32s %7.0f ms  %-26s %d\n", "the good 200-row .xlsx", clock.nsecsElapsed() / 1e6,
                dialogs.messageTexts().join(QStringLiteral(" | ")).toUtf8().constData(), orderCount(engine));
    if (!screenshot.isEmpty()) {
        QTest::qWait(3000);
        const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(screenshot);
        std::printf("screenshot %s: %s\n", saved ? "saved" : "NOT saved", screenshot.toUtf8().constData());
    }

#ifndef Q_OS_WIN
    // A hung office: stopped by a signal before the next import, of new orders.
    const QString again = dataDir.filePath(QStringLiteral("again.xlsx"));
    try {
        bench::writeImportWorkbook(registry.spreadsheet(), again, 200, QStringLiteral("H"))->close();
    } catch (const std::exception& e) {
        std::printf("second workbook not made: %s\n", e.what());
    }
    const int before = orderCount(engine);
    ::kill(static_cast<pid_t>(officePid), SIGSTOP);
    dialogs.clear();
    dialogs.queueFile(again);
    clock.restart();
    orders->ToolButton12Click();
    std::printf("%-32s %7.0f ms  %-26s %d imported; hung office %s, import done in office pid %lld\n",
                "import while the office hangs", clock.nsecsElapsed() / 1e6,
                dialogs.messageTexts().join(QStringLiteral(" | ")).toUtf8().constData(), orderCount(engine) - before,
                platform::isProcessRunning(officePid) ? "still running" : "ended",
                static_cast<long long>(registry.spreadsheet().officeProcessId()));
#endif

    const qint64 lastPid = registry.spreadsheetApp ? registry.spreadsheetApp->officeProcessId() : 0;
    registry.spreadsheetApp.reset();
    for (qint64 pid : {officePid, lastPid})
        if (pid)
            platform::killProcess(pid);
    platform::setProgramFolder(QString());
    return 0;
}

int runParent(int argc, char** argv) {
    QCoreApplication core(argc, argv);
    bench::XvfbServer xvfb;
    if (!xvfb.start()) {
        std::fprintf(stderr, "%s\n", xvfb.error().toUtf8().constData());
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), xvfb.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QStringList arguments{QStringLiteral("--child")};
    const QString screenshot = optionValue(argc, argv, "--screenshot");
    if (!screenshot.isEmpty())
        arguments << QStringLiteral("--screenshot") << screenshot;
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(15 * 60 * 1000)) {
        child.kill();
        child.waitForFinished();
    }
    xvfb.stop();
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--child")
            return runChild(argc, argv);
    return runParent(argc, argv);
}
