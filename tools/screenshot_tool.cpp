// tavrel-shots DIR: starts the program offscreen over a demo data folder,
// shows each window in turn and writes it as DIR/<class name>.png, then the
// backup boxes as DIR/RestoreBackup.png and DIR/BackupSettings.png.

#include "app/backup_windows.h"
#include "app/startup.h"
#include "backup/make_backup.h"
#include "catalogue/shoes_window.h"
#include "data/engine/engine.h"
#include "demo_tables.h"
#include "orders/orders_window.h"
#include "platform/application.h"
#include "platform/file_manager.h"
#include "platform/files.h"
#include "window_kit/app_resources.h"
#include "window_kit/window_look.h"

#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

namespace {

void settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

// Fills the sole-model window's unregistered list with the demo orders'
// models and colours the catalogue lacks, and puts the order cursor back.
void showUnregisteredModels(kit::WindowRegistry& windows) {
    windows.shoesWindow->PLWDJClick();
    windows.ordersWindow->Query1->first();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrel"));
    kit::initResources();
    QApplication::setFont(kit::windowFont());

    const QStringList args = QApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: tavrel-shots DIR\n";
        return 2;
    }
    const QString outDir = args[1];
    if (!QDir().mkpath(outDir)) {
        QTextStream(stderr) << "tavrel-shots: cannot create " << outDir << "\n";
        return 1;
    }

    QTemporaryDir work;
    const QString dataDir = work.filePath(QStringLiteral("data"));
    QDir().mkpath(dataDir);
    fillDemoTables(dataDir);
    platform::setProgramFolder(work.filePath(QStringLiteral("program")));
    platform::RecordingFileManager noFileManager;  // nothing opens outside
    QDir::setCurrent(dataDir);

    data::Engine engine(dataDir);
    app::ProgramWindows windows(engine);
    showUnregisteredModels(windows.registry());
    int written = 0;
    for (QWidget* window : windows.inCreationOrder()) {
        window->show();
        window->raise();
        settle();
        const QString name = QString::fromLatin1(window->metaObject()->className());
        const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
        if (!window->grab().save(path)) {
            QTextStream(stderr) << "tavrel-shots: cannot write " << path << "\n";
            return 1;
        }
        QTextStream(stdout) << path << "\n";
        ++written;
        if (window != windows.inCreationOrder().first())
            window->hide();
    }
    // The backup boxes the main window opens, over a backup of the demo tables.
    backup::backupTableFiles(dataDir, backup::backupRoot(dataDir), backup::Kind::Daily);
    app::RestoreBackupWindow restoreWindow(dataDir, [](const backup::BackupEntry&) {});
    app::BackupSettingsBox settingsBox(dataDir);
    for (QWidget* box : std::initializer_list<QWidget*>{&restoreWindow, &settingsBox}) {
        box->show();
        settle();
        const QString path = QDir(outDir).filePath(box->objectName() + QStringLiteral(".png"));
        if (!box->grab().save(path)) {
            QTextStream(stderr) << "tavrel-shots: cannot write " << path << "\n";
            return 1;
        }
        QTextStream(stdout) << path << "\n";
        box->hide();
    }
    return written == windows.inCreationOrder().size() ? 0 : 1;
}
