#include "app/startup.h"

#include "app/data_folder.h"
#include "backup/background_backup.h"
#include "backup/restore_backup.h"
#include "platform/busy_cursor.h"
#include "app/main_window.h"
#include "catalogue/material_window.h"
#include "catalogue/shoes_window.h"
#include "data/engine/engine.h"
#include "data/engine/open_store.h"
#include "data/core/schema.h"
#include "orders/order_entry_window.h"
#include "orders/orders_window.h"
#include "orders/search_window.h"
#include "platform/application.h"
#include "platform/dialogs.h"
#include "platform/error_display.h"
#include "platform/files.h"
#include "platform/folder_lock.h"
#include "platform/qt_texts.h"
#include "spreadsheet/libreoffice.h"
#include "statistics/statistics_window.h"
#include "window_kit/app_resources.h"
#include "window_kit/conflict_question.h"
#include "window_kit/fault_texts.h"
#include "window_kit/shared_messages.h"
#include "window_kit/window_look.h"

#include <QDir>
#include <QIcon>
#include <QStorageInfo>

namespace app {

ProgramWindows::ProgramWindows(data::Engine& engine) : registry_(engine) {
    // A record another desk changed meanwhile is settled by the clerk.
    engine.setConflictResolver(kit::askClerkInConflict);
    registry_.makeSpreadsheet = [] {
        return std::shared_ptr<spreadsheet::Application>(spreadsheet::createLibreOfficeApplication());
    };
    try {
        windows_ << (registry_.mainWindow = new TaForm1(registry_));
        windows_ << (registry_.shoesWindow = new TAForm2shoes(registry_));
        windows_ << (registry_.ordersWindow = new TaForm3DD(registry_));
        windows_ << (registry_.orderEntryWindow = new TaForm4DDSR(registry_));
        windows_ << (registry_.statisticsWindow = new TAForm6TJ(registry_));
        windows_ << (registry_.searchWindow = new TaForm7SS(registry_));
        windows_ << (registry_.materialWindow = new TaForm10YL());
    } catch (...) {
        destroy();
        throw;
    }
}

ProgramWindows::~ProgramWindows() { destroy(); }

void ProgramWindows::destroy() {
    while (!windows_.isEmpty())
        delete windows_.takeLast();
    registry_.spreadsheetApp.reset();
    registry_.mainWindow = nullptr;
    registry_.shoesWindow = nullptr;
    registry_.ordersWindow = nullptr;
    registry_.orderEntryWindow = nullptr;
    registry_.statisticsWindow = nullptr;
    registry_.searchWindow = nullptr;
    registry_.materialWindow = nullptr;
}

platform::ErrorReport startupErrorReport(const data::EngineError& error, qint64 bytesFree) {
    platform::ErrorReport report = kit::faultReport(error);
    const int primaryCode = error.code() & 0xff;
    constexpr int IoError = 10, Full = 13;  // SQLite's codes
    const bool diskTrouble = error.kind() == data::ErrorKind::Engine && error.sqlState().isEmpty() &&
                             (primaryCode == IoError || primaryCode == Full);
    if (diskTrouble && bytesFree >= 0 && bytesFree < RoomNeededToStartBytes) {
        report.text = QStringLiteral("数据表所在的磁盘已满（只剩 %1 KB 空闲空间），数据表不能写入。\n"
                                     "没有读写任何数据。\n"
                                     "程序启动和使用至少需要 %2 MB 空闲空间：请删除一些不需要的文件，腾出空间后再启动程序。")
                          .arg(bytesFree / 1024)
                          .arg(RoomNeededToStartBytes / (1024 * 1024));
    }
    report.text += QStringLiteral("\n程序不能启动。");
    return report;
}

qint64 freeSpaceOfTables(const data::Engine& engine) {
    const QString folder = engine.store().folder();
    if (folder.isEmpty())
        return -1;
    const QStorageInfo disk(folder);
    return disk.isValid() ? disk.bytesAvailable() : -1;
}

void reportKeyClashes(const data::Engine& engine) {
    if (!engine.keyClashes().empty())
        platform::dialogs().warning(nullptr, kit::keyClashText(engine.keyClashes()), kit::noticeCaption());
}

QString tablesLocation(const QStringList& arguments) {
    return arguments.size() > 1 && !arguments[1].isEmpty() ? arguments[1] : QDir::currentPath();
}

std::unique_ptr<platform::FolderLock> holdTables(const QString& folder) {
    if (folder.isEmpty())
        return nullptr;
    return std::make_unique<platform::FolderLock>(folder);
}

std::unique_ptr<platform::FolderLock> holdTables(const data::Engine& engine) { return holdTables(engine.store().folder()); }

namespace {

// The program's own backups, told in the main window's status bar; a
// backup that failed is told in a box, with nothing of it left.
std::unique_ptr<backup::BackgroundBackup> startBackups(const QString& folder, TaForm1* main) {
    if (folder.isEmpty())
        return nullptr;  // a server's administrator keeps its backups
    auto backups = std::make_unique<backup::BackgroundBackup>(folder);
    QObject::connect(backups.get(), &backup::BackgroundBackup::progress, main, &TaForm1::showBackupText);
    QObject::connect(backups.get(), &backup::BackgroundBackup::done, main, &TaForm1::showBackupText);
    // Told also when the main window is gone: the backup made on closing.
    QObject::connect(backups.get(), &backup::BackgroundBackup::failed, backups.get(),
                     [](const backup::BackupError& error) { platform::showError(error); });
    return backups;
}

struct SessionEnd {
    int exitCode = 0;
    std::optional<backup::BackupEntry> restore;  // chosen in "恢复备份"
};

// The windows over the tables until the main window closes or a restore is
// chosen.
SessionEnd runWindows(const QString& location, bool firstStart) {
    data::Engine engine(location);
    std::unique_ptr<ProgramWindows> windows;
    try {
        windows = std::make_unique<ProgramWindows>(engine);
    } catch (const data::EngineError& error) {
        const platform::ErrorReport report = startupErrorReport(error, freeSpaceOfTables(engine));
        platform::dialogs().error(nullptr, report.text, QStringLiteral("Tavrel"), platform::MessageIcon::Error,
                                  report.details);
        return {1, std::nullopt};
    }
    TaForm1* main = windows->registry().mainWindow;
    SessionEnd end;
    QObject::connect(main, &TaForm1::restoreChosen, main, [&end](const backup::BackupEntry& chosen) {
        end.restore = chosen;
        QApplication::exit(0);
    });
    std::unique_ptr<backup::BackgroundBackup> backups = startBackups(engine.store().folder(), main);
    main->show();
    main->repaint();
    if (firstStart)
        reportKeyClashes(engine);
    if (backups)
        backups->startDailyIfDue();
    end.exitCode = QApplication::exec();
    if (backups) {
        backups->waitUntilDone();
        // After a day's work the tables are kept as the program leaves them.
        if (!end.restore && backups->tablesWritten()) {
            windows.reset();
            backups->start(backup::Kind::OnClose);
            backups->waitUntilDone();
        }
    }
    return end;
}

}  // namespace

bool restoreInPlace(const QString& folder, const backup::BackupEntry& chosen) {
    const platform::BusyCursor busy;
    return platform::runGuarded([&] { backup::restoreKeepingPresent(chosen, folder); });
}

int runProgram(int argc, char** argv) {
    platform::Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrel"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's standard buttons, the file dialog and the editors speak Chinese
    // too; without the catalogue they keep Qt's English.
    const platform::ChineseQtTexts qtTexts;
    kit::initResources();
    // The icon of every window, and the desktop entry the windows belong to.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tavrel.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("tavrel"));
    QApplication::setFont(kit::windowFont());

    // Where the files kept beside the program live is settled now, so that
    // an installed program has its own copy of the print template from the
    // first start on.
    platform::runGuarded([] { platform::programFolder(); });

    kit::installFaultTexts();

    std::unique_ptr<QWidget> importReport;
    const std::optional<QString> location = readyDataFolder(tablesLocation(QCoreApplication::arguments()), &importReport);
    if (!location)
        return 1;
    // Held until the program ends: the table tool does not undo commands
    // behind the back of a running program.
    const QString folder = data::isServerLocation(*location) ? QString() : *location;
    // It is held across a restore, which closes and opens the tables again.
    const std::unique_ptr<platform::FolderLock> tablesInUse = holdTables(folder);
    // A restore a killed program left half done is finished before the
    // tables are opened.
    if (!folder.isEmpty())
        platform::runGuarded([&] { backup::finishInterruptedRestore(folder); });
    for (bool firstStart = true;; firstStart = false) {
        const SessionEnd end = runWindows(*location, firstStart);
        if (!end.restore)
            return end.exitCode;
        // The tables are opened again as they then are, restored or not.
        restoreInPlace(folder, *end.restore);
    }
}

}  // namespace app
