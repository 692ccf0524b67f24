#include "backup/make_backup.h"

#include "backup/backup_error.h"
#include "data/core/errors.h"
#include "data/core/schema.h"
#include "data/sqlite/table_files.h"
#include "data/sqlite/table_snapshot.h"
#include "data/sqlite/undo_file.h"
#include "platform/durable_files.h"
#include "platform/files.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>

namespace backup {

namespace {

constexpr int SqliteFull = 13;

bool diskFullCause(const std::exception& e) {
    if (const auto* engine = dynamic_cast<const data::EngineError*>(&e))
        return (engine->code() & 0xff) == SqliteFull;
    if (const auto* file = dynamic_cast<const platform::FileError*>(&e))
        return file->systemError() == ENOSPC || file->systemError() == EFBIG;
    if (const auto* own = dynamic_cast<const BackupError*>(&e))
        return own->diskFull();
    return false;
}

QString causeOf(const std::exception& e) {
    if (const auto* engine = dynamic_cast<const data::EngineError*>(&e))
        return engine->message();
    if (const auto* file = dynamic_cast<const platform::FileError*>(&e))
        return file->message();
    if (const auto* own = dynamic_cast<const BackupError*>(&e))
        return own->cause().isEmpty() ? own->text() : own->cause();
    return QString::fromUtf8(e.what());
}

const QString NothingChanged = QStringLiteral("数据表没有改动，没有留下不完整的备份，之前的备份都还在。");

BackupError diskFullError(const QString& root, const QString& cause) {
    return BackupError(QStringLiteral("备份没有做成：备份文件夹“%1”所在的磁盘已满。\n%2\n"
                                      "请删除一些不需要的文件，腾出磁盘空间，或在“备份设置”中换一个文件夹（最好在另一个磁盘上）。")
                           .arg(QDir::toNativeSeparators(root), NothingChanged),
                       cause)
        .markDiskFull();
}

qint64 freeBytesOf(const QString& folder, const BackupOptions& options) {
    if (options.freeBytes)
        return options.freeBytes(folder);
    const QStorageInfo disk(folder);
    return disk.isValid() ? disk.bytesAvailable() : -1;
}

void say(const BackupOptions& options, const QString& step) {
    if (options.progress)
        options.progress(step);
}

// Checks every file filled in and reads the records of each table.
Manifest checkedManifest(const QString& folder, Kind kind, const QString& source, const QDateTime& time) {
    Manifest manifest;
    manifest.time = time;
    manifest.kind = kind;
    manifest.source = source;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name)) {
        const data::TableFileCheck check = data::checkTableFile(dir.filePath(name));
        if (!check.whole)
            throw BackupError(QStringLiteral("备份没有做成：写好的备份文件“%1”检查不通过。\n"
                                             "这个备份已删除；数据表没有改动，之前的备份都还在。\n"
                                             "请检查备份文件夹所在的磁盘（或网络驱动器），然后再备份一次。")
                                  .arg(name),
                              check.problem);
        manifest.files << name;
        if (data::tableDefOfFile(name))
            manifest.tables.push_back({name.toLower(), check.rows});
    }
    for (const data::TableDef* table : data::allTables())
        if (manifest.rowsOf(table->fileName) < 0)
            throw BackupError(QStringLiteral("备份没有做成：备份中缺少数据表“%1”。\n%2").arg(table->fileName, NothingChanged));
    return manifest;
}

}  // namespace

QStringList filesToBackUp(const QString& dataFolder) {
    QStringList files;
    for (const data::TableDef* table : data::allTables())
        if (const QString path = data::tableFilePath(dataFolder, table->fileName); !path.isEmpty())
            files << path;
    const QString undo = QDir(dataFolder).filePath(data::undoFileName());
    if (QFileInfo::exists(undo))
        files << undo;
    return files;
}

BackupEntry writeBackup(const QString& root, Kind kind, const QString& source, qint64 needBytes,
                        const FillBackup& fill, const BackupOptions& options) {
    if (!QDir().mkpath(root))
        throw BackupError(QStringLiteral("备份没有做成：备份文件夹“%1”建不起来。\n%2\n"
                                         "请检查这个文件夹（或网络驱动器）是否连接、是否允许写入，或在“备份设置”中换一个文件夹。")
                              .arg(QDir::toNativeSeparators(root), NothingChanged));
    removeUnfinished(root);
    const qint64 free = freeBytesOf(root, options);
    if (free >= 0 && free < needBytes)
        throw diskFullError(root, QStringLiteral("%1 bytes free, %2 needed").arg(free).arg(needBytes));

    const QDateTime time = options.now();
    const QString name = freeBackupName(root, time);
    const QString unfinished = QDir(root).filePath(unfinishedPrefix() + name);
    const QString finished = QDir(root).filePath(name);
    BackupEntry entry;
    try {
        if (!QDir().mkpath(unfinished))
            throw platform::FileError(QStringLiteral("Cannot make \"%1\"").arg(unfinished), unfinished,
                                      platform::FileError::Action::Create, errno);
        say(options, QStringLiteral("正在备份数据表……"));
        fill(unfinished);
        say(options, QStringLiteral("正在检查备份……"));
        entry.manifest = checkedManifest(unfinished, kind, source, time);
        for (const QString& file : entry.manifest.files)
            platform::flushFileToDisk(QDir(unfinished).filePath(file));
        writeManifest(unfinished, entry.manifest);
        platform::flushFolderToDisk(unfinished);
        platform::renameOnDisk(unfinished, finished);
    } catch (const std::exception& e) {
        QDir(unfinished).removeRecursively();
        if (diskFullCause(e) || (free >= 0 && freeBytesOf(root, options) == 0))
            throw diskFullError(root, causeOf(e));
        if (const auto* own = dynamic_cast<const BackupError*>(&e))
            throw *own;
        throw BackupError(QStringLiteral("备份没有做成：备份文件夹“%1”写不进去。\n%2\n"
                                         "请检查这个文件夹（或网络驱动器）是否连接、是否允许写入，或在“备份设置”中换一个文件夹。")
                              .arg(QDir::toNativeSeparators(root), NothingChanged),
                          causeOf(e));
    }
    entry.path = finished;
    removeOldBackups(root);
    return entry;
}

BackupEntry backupTableFiles(const QString& dataFolder, const QString& root, Kind kind, const BackupOptions& options) {
    const QStringList files = filesToBackUp(dataFolder);
    qint64 need = 0;
    for (const QString& file : files)
        need += QFileInfo(file).size() + QFileInfo(file + QStringLiteral("-wal")).size();
    const QString source = QDir::toNativeSeparators(QDir(dataFolder).absolutePath());
    return writeBackup(root, kind, source, need, [&](const QString& into) {
        QStringList copies;
        for (const QString& file : files)
            copies << QDir(into).filePath(QFileInfo(file).fileName().toLower());
        data::snapshotTableFiles(files, copies);
    }, options);
}

QString backupDoneText(const BackupEntry& backup) {
    return QStringLiteral("已备份（%1）").arg(backup.manifest.time.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

}  // namespace backup
