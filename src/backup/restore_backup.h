#pragma once

#include "backup/backup_folders.h"
#include "backup/make_backup.h"

#include <functional>
#include <optional>

namespace backup {

// Puts the files of a backup in place of the tables and the undo journal of
// a data folder. The caller holds the folder's lock and has closed every
// table. The backup is checked first; its files are copied beside the
// tables into a folder of their own and flushed to the disk, a marker says
// they are complete, and only then are they renamed over the tables one by
// one. A run stopped before the marker has changed nothing; one stopped
// after it is finished by finishInterruptedRestore(), so the folder never
// keeps a mix of old and new tables. An undo journal the backup lacks is
// removed: it would undo commands the restored tables never saw. Throws
// BackupError, in Chinese.
void restoreBackup(const BackupEntry& backup, const QString& dataFolder,
                   const std::function<void(const QString& step)>& progress = {});

// The restore as the clerk and the table tool ask for it: the tables as they
// are now are backed up first ("恢复前", into the folder's backup folder), so
// that a restore can itself be restored away; then restoreBackup(). Returns
// that backup (nothing when the folder held no tables). A failed backup
// stops it before anything is changed.
std::optional<BackupEntry> restoreKeepingPresent(const BackupEntry& backup, const QString& dataFolder,
                                                const BackupOptions& options = {});

// Ends a restore a killed process left: one whose files were all in place
// beside the tables is finished, any other removed. Call with the folder's
// lock held, before the tables are opened. Returns whether one was found.
bool finishInterruptedRestore(const QString& dataFolder);

// The folder beside the tables a restore fills first.
QString restoreStagingName();  // ".恢复中"

// The question asked before a restore.
QString restoreQuestion(const BackupEntry& backup);

// "2026-12-09 08:15" for a backup's time.
QString shownTime(const BackupEntry& backup);

}  // namespace backup
