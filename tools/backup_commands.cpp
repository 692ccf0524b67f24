#include "backup_commands.h"

#include "backup/backup_error.h"
#include "backup/make_backup.h"
#include "backup/restore_backup.h"
#include "data/core/errors.h"
#include "data/engine/open_store.h"
#include "data/sqlite/table_snapshot.h"
#include "platform/durable_files.h"
#include "platform/folder_lock.h"
#include "table_copy.h"
#include "table_places.h"
#include "window_kit/fault_texts.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

namespace {

QString native(const QString& path) { return QDir::toNativeSeparators(QDir(path).absolutePath()); }

QString countsText(const backup::Manifest& m) {
    return QStringLiteral("鞋底型号表%1条，订单表%2条，鞋底统计表%3条")
        .arg(m.rowsOf(QStringLiteral("shoes.db")))
        .arg(m.rowsOf(QStringLiteral("dd.db")))
        .arg(m.rowsOf(QStringLiteral("xdtj.db")));
}

// Holds the folder for the command; nothing when the program holds it (said
// on err).
std::unique_ptr<platform::FolderLock> holdFolder(const QString& folder, const QString& doing, QTextStream& err) {
    auto lock = std::make_unique<platform::FolderLock>(folder);
    if (lock->isHeld())
        return lock;
    err << QStringLiteral("程序正在使用文件夹“%1”中的表（进程号%2），请先退出程序再%3。")
               .arg(native(folder))
               .arg(lock->holder())
               .arg(doing)
        << "\n";
    return nullptr;
}

// Runs the command and tells its fault in Chinese, with what was kept.
int told(QTextStream& err, const std::function<int()>& command) {
    try {
        return command();
    } catch (const backup::BackupError& e) {
        err << e.text() << "\n";
        if (!e.cause().isEmpty() && e.cause() != e.text())
            err << QStringLiteral("（详细信息：%1）").arg(e.cause()) << "\n";
    } catch (const std::exception& e) {
        const platform::ErrorReport report = kit::faultReport(e);
        err << report.text << "\n";
        if (!report.details.isEmpty())
            err << QStringLiteral("（详细信息：%1）").arg(report.details) << "\n";
    }
    return 1;
}

// The server's tables into a dated backup of table files.
backup::BackupEntry backupServer(const QString& uri, const QString& root) {
    return backup::writeBackup(root, backup::Kind::ByHand, shownPlace(uri), 0, [&](const QString& into) {
        copyTables(uri, into);
        for (const QString& name : QDir(into).entryList({QStringLiteral("*.db")}, QDir::Files))
            data::leaveWriteAheadLog(QDir(into).filePath(name));
    });
}

}  // namespace

int backupTables(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString place = args.value(0);
    const bool server = data::isServerLocation(place);
    if (server && args.size() < 2) {
        err << QStringLiteral("服务器上的数据表要指明备份文件夹：tavrel-tables backup URI 备份文件夹") << "\n";
        return 2;
    }
    return told(err, [&] {
        if (server) {
            const backup::BackupEntry made = backupServer(place, args[1]);
            out << QStringLiteral("已把%1的数据表备份到“%2”（%3）。").arg(shownPlace(place), native(made.path), countsText(made.manifest))
                << "\n";
            return 0;
        }
        if (!QFileInfo(place).isDir()) {
            err << QStringLiteral("文件夹“%1”不存在。").arg(native(place)) << "\n";
            return 1;
        }
        const auto lock = holdFolder(place, QStringLiteral("备份"), err);
        if (!lock)
            return 1;
        backup::finishInterruptedRestore(place);
        const QString root = args.size() >= 2 ? args[1] : backup::backupRoot(place);
        const backup::BackupEntry made = backup::backupTableFiles(place, root, backup::Kind::ByHand);
        out << QStringLiteral("已备份到“%1”（%2）。").arg(native(made.path), countsText(made.manifest)) << "\n";
        return 0;
    });
}

int restoreTables(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString from = args.value(0);
    const QString place = args.value(1);
    const std::optional<backup::Manifest> manifest = backup::readManifest(from);
    if (!manifest) {
        err << QStringLiteral("“%1”不是完整的备份（没有备份说明），没有恢复任何数据。").arg(native(from)) << "\n";
        return 1;
    }
    const backup::BackupEntry chosen{from, *manifest};
    return told(err, [&] {
        if (data::isServerLocation(place)) {
            // The backup's files are left as they are: the copy reads copies.
            const QTemporaryDir work;
            const QString folder = QDir(work.path()).filePath(QStringLiteral("tables"));
            QDir().mkpath(folder);
            for (const QString& name : manifest->files)
                if (name != QStringLiteral("undo.db"))
                    platform::copyFileToDisk(QDir(from).filePath(name), QDir(folder).filePath(name));
            for (const QString& line : copySummary(copyTables(folder, place)))
                out << line << "\n";
            out << QStringLiteral("已把%1的备份恢复到%2。").arg(backup::shownTime(chosen), shownPlace(place)) << "\n";
            return 0;
        }
        if (!QDir().mkpath(place)) {
            err << QStringLiteral("文件夹“%1”建不起来，没有恢复任何数据。").arg(native(place)) << "\n";
            return 1;
        }
        const auto lock = holdFolder(place, QStringLiteral("恢复"), err);
        if (!lock)
            return 1;
        backup::finishInterruptedRestore(place);
        const std::optional<backup::BackupEntry> before = backup::restoreKeepingPresent(chosen, place);
        const QString kept =
            before ? QStringLiteral("恢复前的数据表已备份到“%1”。").arg(native(before->path)) : QString();
        out << QStringLiteral("已恢复到%1的备份（%2）。").arg(backup::shownTime(chosen), countsText(chosen.manifest)) << kept
            << "\n";
        return 0;
    });
}
