#include "backup/backup_folders.h"

#include "platform/durable_files.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <set>

namespace backup {

QString defaultBackupRoot(const QString& dataFolder) { return QDir(dataFolder).filePath(QStringLiteral("备份")); }

QString backupSettingsFileName() { return QStringLiteral("备份设置.txt"); }

QString backupRoot(const QString& dataFolder) {
    QFile settings(QDir(dataFolder).filePath(backupSettingsFileName()));
    if (settings.open(QIODevice::ReadOnly)) {
        const QString chosen = QString::fromUtf8(settings.readAll()).trimmed();
        if (!chosen.isEmpty())
            return QDir::cleanPath(QDir(dataFolder).absoluteFilePath(chosen));
    }
    return defaultBackupRoot(dataFolder);
}

void chooseBackupRoot(const QString& dataFolder, const QString& root) {
    const QString path = QDir(dataFolder).filePath(backupSettingsFileName());
    if (root.trimmed().isEmpty()) {
        if (QFile::exists(path) && !QFile::remove(path))
            throw platform::FileError(QStringLiteral("Cannot remove \"%1\"").arg(path), path,
                                      platform::FileError::Action::Write, EACCES);
        return;
    }
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly) || file.write(root.trimmed().toUtf8() + '\n') < 0 || !file.commit())
        throw platform::FileError(QStringLiteral("Cannot write \"%1\"").arg(path), path,
                                  platform::FileError::Action::Write, errno);
}

QString unfinishedPrefix() { return QStringLiteral(".未完成-"); }

std::vector<BackupEntry> listBackups(const QString& root) {
    std::vector<BackupEntry> found;
    const QDir dir(root);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        const QString path = dir.filePath(name);
        if (std::optional<Manifest> manifest = readManifest(path))
            found.push_back({path, std::move(*manifest)});
    }
    std::sort(found.begin(), found.end(), [](const BackupEntry& a, const BackupEntry& b) {
        return a.manifest.time != b.manifest.time ? a.manifest.time > b.manifest.time : a.path > b.path;
    });
    return found;
}

QString freeBackupName(const QString& root, const QDateTime& time) {
    const QString base = time.toString(QStringLiteral("yyyy-MM-dd HHmm"));
    const QDir dir(root);
    QString name = base;
    for (int n = 2; dir.exists(name) || dir.exists(unfinishedPrefix() + name); ++n)
        name = QStringLiteral("%1-%2").arg(base).arg(n);
    return name;
}

void removeUnfinished(const QString& root) {
    const QDir dir(root);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        if (name.startsWith(unfinishedPrefix()))
            QDir(dir.filePath(name)).removeRecursively();
}

namespace {

// Monday of the week the date falls in.
QDate weekOf(const QDate& date) { return date.addDays(1 - date.dayOfWeek()); }

}  // namespace

std::vector<BackupEntry> backupsToRemove(const std::vector<BackupEntry>& backups) {
    std::vector<const BackupEntry*> newestFirst;
    for (const BackupEntry& b : backups)
        newestFirst.push_back(&b);
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [](const BackupEntry* a, const BackupEntry* b) { return a->manifest.time > b->manifest.time; });
    std::set<QDate> days;
    std::set<QDate> weeks;
    std::vector<BackupEntry> removed;
    for (const BackupEntry* b : newestFirst) {
        const QDate day = b->manifest.time.date();
        if (days.count(day) || int(days.size()) < DaysKept) {
            days.insert(day);
            continue;
        }
        const QDate week = weekOf(day);
        // The newest of an older week is the first one met.
        if (!weeks.count(week) && int(weeks.size()) < WeeksKept && weekOf(*days.begin()) != week) {
            weeks.insert(week);
            continue;
        }
        removed.push_back(*b);
    }
    return removed;
}

int removeOldBackups(const QString& root) {
    int removed = 0;
    for (const BackupEntry& b : backupsToRemove(listBackups(root))) {
        // Renamed first: a removal cut short leaves an unfinished folder,
        // never a backup with part of its files.
        const QString doomed = QDir(root).filePath(unfinishedPrefix() + QStringLiteral("删除-") + QDir(b.path).dirName());
        try {
            platform::renameOnDisk(b.path, doomed);
        } catch (const platform::FileError&) {
            continue;  // tried again at the next backup
        }
        QDir(doomed).removeRecursively();
        ++removed;
    }
    return removed;
}

bool dailyBackupDue(const std::vector<BackupEntry>& backups, const QDate& today) {
    return std::none_of(backups.begin(), backups.end(), [&](const BackupEntry& b) {
        return b.manifest.kind == Kind::Daily && b.manifest.time.date() == today;
    });
}

}  // namespace backup
