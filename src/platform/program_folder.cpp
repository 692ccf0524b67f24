#include "platform/program_folder.h"

#include "platform/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {

QString withTrailingSlash(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

}  // namespace

QString userDataFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return withTrailingSlash(base) + QStringLiteral("Tavrel/");
}

ProgramLayout describeProgramLayout(const QString& programDir, const QString& userDataDir)
{
    ProgramLayout layout;
    layout.programDir = withTrailingSlash(QDir::cleanPath(programDir));
    layout.userDataDir = withTrailingSlash(userDataDir);
    const QFileInfo folder(layout.programDir);
    layout.programDirWritable = folder.isDir() && folder.isWritable();
    QDir dir(layout.programDir);
    if (dir.dirName() == QLatin1String("bin") && dir.cdUp()) {
        const QString shared = dir.filePath(QStringLiteral("share/tavrel"));
        if (folderExists(shared))
            layout.sharedDir = withTrailingSlash(shared);
    }
    return layout;
}

QString chooseProgramFolder(const ProgramLayout& layout)
{
    if (layout.sharedDir.isEmpty() && layout.programDirWritable)
        return layout.programDir;
    return layout.userDataDir;
}

QString settleProgramFolder(const ProgramLayout& layout)
{
    const QString folder = chooseProgramFolder(layout);
    if (folder == layout.programDir)
        return folder;
    ensureFolder(folder);
    if (!layout.sharedDir.isEmpty())
        copyMissingFiles(layout.sharedDir, folder);
    return folder;
}

QStringList copyMissingFiles(const QString& from, const QString& to)
{
    QStringList copied;
    const QDir source(from);
    const QDir target(to);
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = source.relativeFilePath(path);
        const QString destination = target.filePath(relative);
        if (QFileInfo::exists(destination))
            continue;
        if (!ensureFolder(QFileInfo(destination).absolutePath()) || !QFile::copy(path, destination))
            throw FileError(QStringLiteral("无法复制文件 %1 到 %2").arg(path, destination), destination,
                            FileError::Action::Copy);
        // A copy of a read-only shipped file is the user's own to change.
        QFile::setPermissions(destination, QFile::permissions(destination) | QFileDevice::WriteOwner |
                                               QFileDevice::ReadOwner);
        copied << relative;
    }
    copied.sort();
    return copied;
}

}  // namespace platform
