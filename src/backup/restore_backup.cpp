#include "backup/restore_backup.h"

#include "backup/backup_error.h"
#include "backup/make_backup.h"
#include "data/core/schema.h"
#include "data/sqlite/table_files.h"
#include "data/sqlite/table_snapshot.h"
#include "data/sqlite/undo_file.h"
#include "platform/durable_files.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace backup {

namespace {

QString readyMarkerName() { return QStringLiteral("恢复就绪.txt"); }

// Where a file of the backup goes: the table file already there (its name in
// any case), else the name as the backup has it.
QString placeOf(const QString& dataFolder, const QString& fileName) {
    const QString present = data::tableFilePath(dataFolder, fileName);
    return present.isEmpty() ? QDir(dataFolder).filePath(fileName) : present;
}

void removeLogs(const QString& table) {
    for (const char* companion : {"-wal", "-shm", "-journal"})
        QFile::remove(table + QLatin1String(companion));
}

// Renames the staged files over the tables; each step may be done again.
void switchOver(const QString& dataFolder, const QString& staging, const QStringList& files,
                const std::function<void(const QString& step)>& progress = {}) {
    for (const QString& name : files) {
        const QString staged = QDir(staging).filePath(name);
        if (!QFileInfo::exists(staged))
            continue;  // moved before the run was stopped
        if (progress)
            progress(QStringLiteral("正在换上%1……").arg(name));
        const QString target = placeOf(dataFolder, name);
        // The old table's log must not be played into the new table.
        removeLogs(target);
        platform::renameOnDisk(staged, target);
    }
    const QString undo = QDir(dataFolder).filePath(data::undoFileName());
    if (!files.contains(data::undoFileName()) && QFileInfo::exists(undo)) {
        removeLogs(undo);
        QFile::remove(undo);
    }
    QDir(staging).removeRecursively();
    platform::flushFolderToDisk(dataFolder);
}

}  // namespace

QString restoreStagingName() { return QStringLiteral(".恢复中"); }

QString shownTime(const BackupEntry& backup) {
    return backup.manifest.time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString restoreQuestion(const BackupEntry& backup) {
    return QStringLiteral("你真的要恢复到%1的备份吗？现在的数据会先备份。").arg(shownTime(backup));
}

void restoreBackup(const BackupEntry& backup, const QString& dataFolder,
                   const std::function<void(const QString& step)>& progress) {
    auto say = [&](const QString& step) {
        if (progress)
            progress(step);
    };
    const QString notChanged = QStringLiteral("数据表没有改动。");
    for (const QString& name : backup.manifest.files)
        if (!data::tableDefOfFile(name) && name != data::undoFileName())
            throw BackupError(QStringLiteral("%1的备份中有不属于数据表的文件“%2”，不能恢复。\n%3").arg(shownTime(backup), name, notChanged));
    say(QStringLiteral("正在检查备份……"));
    for (const QString& name : backup.manifest.files) {
        const data::TableFileCheck check = data::checkTableFile(QDir(backup.path).filePath(name));
        const qint64 expected = backup.manifest.rowsOf(name);
        if (!check.whole || (expected >= 0 && check.rows != expected))
            throw BackupError(QStringLiteral("%1的备份已损坏（文件“%2”检查不通过），不能恢复。\n%3\n请选另一个备份。")
                                  .arg(shownTime(backup), name, notChanged),
                              check.problem);
    }
    if (backup.manifest.files.isEmpty())
        throw BackupError(QStringLiteral("%1的备份中没有数据表，不能恢复。\n%2").arg(shownTime(backup), notChanged));

    const QString staging = QDir(dataFolder).filePath(restoreStagingName());
    QDir(staging).removeRecursively();
    say(QStringLiteral("正在恢复数据表……"));
    try {
        if (!QDir().mkpath(staging))
            throw platform::FileError(QStringLiteral("Cannot make \"%1\"").arg(staging), staging,
                                      platform::FileError::Action::Create, errno);
        for (const QString& name : backup.manifest.files) {
            say(QStringLiteral("正在复制%1……").arg(name));
            platform::copyFileToDisk(QDir(backup.path).filePath(name), QDir(staging).filePath(name));
        }
        // The marker appears whole or not at all.
        QFile marker(QDir(staging).filePath(readyMarkerName() + QStringLiteral(".写入中")));
        const QByteArray names = backup.manifest.files.join(QLatin1Char('\n')).toUtf8() + '\n';
        errno = 0;
        if (!marker.open(QIODevice::WriteOnly) || marker.write(names) != names.size() || !marker.flush())
            throw platform::FileError(QStringLiteral("Cannot write \"%1\"").arg(marker.fileName()), marker.fileName(),
                                      platform::FileError::Action::Write, errno);
        marker.close();
        platform::flushFileToDisk(marker.fileName());
        platform::renameOnDisk(marker.fileName(), QDir(staging).filePath(readyMarkerName()));
    } catch (const platform::FileError& e) {
        QDir(staging).removeRecursively();
        const bool full = e.systemError() == ENOSPC || e.systemError() == EFBIG;
        throw BackupError(full ? QStringLiteral("恢复没有做成：数据文件夹所在的磁盘已满。\n%1\n请腾出磁盘空间后再恢复。").arg(notChanged)
                               : QStringLiteral("恢复没有做成：备份文件不能复制到数据文件夹。\n%1\n请检查数据文件夹是否允许写入，然后再试一次。")
                                     .arg(notChanged),
                          e.message());
    }
    try {
        switchOver(dataFolder, staging, backup.manifest.files, progress);
    } catch (const platform::FileError& e) {
        // The staged files stay, with their marker: the next start puts the
        // rest in place.
        throw BackupError(QStringLiteral("恢复没有做完：有的数据表没能换成备份中的。\n"
                                         "备份的数据表已放在数据文件夹中，下次启动程序时会换完。\n"
                                         "请重新启动程序。"),
                          e.message());
    }
}

std::optional<BackupEntry> restoreKeepingPresent(const BackupEntry& backup, const QString& dataFolder,
                                                const BackupOptions& options) {
    std::optional<BackupEntry> before;
    if (!filesToBackUp(dataFolder).isEmpty())
        before = backupTableFiles(dataFolder, backupRoot(dataFolder), Kind::BeforeRestore, options);
    restoreBackup(backup, dataFolder, options.progress);
    return before;
}

bool finishInterruptedRestore(const QString& dataFolder) {
    const QString staging = QDir(dataFolder).filePath(restoreStagingName());
    if (!QFileInfo(staging).isDir())
        return false;
    QFile marker(QDir(staging).filePath(readyMarkerName()));
    if (!marker.open(QIODevice::ReadOnly)) {
        // Stopped while its files were copied: the tables were never touched.
        QDir(staging).removeRecursively();
        return true;
    }
    const QStringList files = QString::fromUtf8(marker.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    marker.close();
    switchOver(dataFolder, staging, files);
    return true;
}

}  // namespace backup
