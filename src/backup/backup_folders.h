#pragma once

#include "backup/backup_manifest.h"

#include <QDate>
#include <QString>
#include <vector>

namespace backup {

// One backup: its folder and what its manifest says.
struct BackupEntry {
    QString path;
    Manifest manifest;
};

// Where the backups of a data folder go: "备份" beside the tables, unless a
// folder was chosen in "备份设置" (kept in the data folder, in the file
// backupSettingsFileName()).
QString defaultBackupRoot(const QString& dataFolder);
QString backupRoot(const QString& dataFolder);
// Keeps the chosen folder (empty: back to the default); throws
// platform::FileError when the data folder cannot be written.
void chooseBackupRoot(const QString& dataFolder, const QString& root);
QString backupSettingsFileName();  // "备份设置.txt"

// The whole backups in root, the newest first. Folders still being written
// (or removed) and folders without a manifest are left out.
std::vector<BackupEntry> listBackups(const QString& root);

// A backup's folder name, "2026-12-09 0815", with "-2", "-3"… added when
// root already holds one of that minute.
QString freeBackupName(const QString& root, const QDateTime& time);

// Folders in root being written or removed are named with this prefix;
// whatever stopped them, they are no backups.
QString unfinishedPrefix();  // ".未完成-"
// Removes what backups interrupted by a killed process left in root.
void removeUnfinished(const QString& root);

// The keeping rule: every backup of the 14 latest days that have one, and
// from the older ones the newest of each of the 8 latest weeks (Monday to
// Sunday) that have one. Returns the backups to remove. Backups are never
// removed only because time passed: a factory closed for a month comes back
// to its last backups.
inline constexpr int DaysKept = 14;
inline constexpr int WeeksKept = 8;
std::vector<BackupEntry> backupsToRemove(const std::vector<BackupEntry>& backups);

// Removes the backups that the keeping rule lets go; returns how many.
int removeOldBackups(const QString& root);

// Whether today's first start still owes its backup: no daily backup of
// that date yet.
bool dailyBackupDue(const std::vector<BackupEntry>& backups, const QDate& today);

}  // namespace backup
