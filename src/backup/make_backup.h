#pragma once

#include "backup/backup_folders.h"

#include <QDateTime>
#include <functional>

namespace backup {

// What a backup may be told from outside: the clock and the free space of
// a disk (tests set both), and where it reports what it does.
struct BackupOptions {
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // The bytes free on the disk of a folder; empty: asked of the system.
    std::function<qint64(const QString& folder)> freeBytes;
    // What is being done, in Chinese, step by step.
    std::function<void(const QString& step)> progress;
};

// Fills an empty folder with the files of a backup (the table files, the
// undo journal).
using FillBackup = std::function<void(const QString& into)>;

// Writes a backup into root: filled into a folder of its own named as
// unfinished, every file checked (SQLite's integrity check, the records of
// each table), the manifest written last, then renamed to its date and time
// in one step. Whatever stops it, root holds either that whole backup or
// none; what a killed run left is removed first. Afterwards the keeping rule
// removes old backups. needBytes is about what the files take: a disk
// without that room is refused before anything is written. Throws
// BackupError, in Chinese, with nothing of this backup left behind.
BackupEntry writeBackup(const QString& root, Kind kind, const QString& source, qint64 needBytes,
                        const FillBackup& fill, const BackupOptions& options = {});

// The backup of the table files and the undo journal of a data folder, made
// with SQLite's online backup while the program may go on writing them.
BackupEntry backupTableFiles(const QString& dataFolder, const QString& root, Kind kind,
                             const BackupOptions& options = {});

// The files of the data folder that a backup takes: the three tables that
// are there, and the undo journal when there is one.
QStringList filesToBackUp(const QString& dataFolder);

// What the status bar says of a backup done.
QString backupDoneText(const BackupEntry& backup);

}  // namespace backup
