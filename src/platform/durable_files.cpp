#include "platform/durable_files.h"

#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

[[noreturn]] void refused(const QString& what, const QString& path, FileError::Action action, int error) {
    throw FileError(QStringLiteral("%1 \"%2\": %3").arg(what, path, QString::fromLocal8Bit(std::strerror(error))), path,
                    action, error);
}

}  // namespace

void flushFileToDisk(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        refused(QStringLiteral("Cannot open"), path, FileError::Action::Write, errno);
#ifdef _WIN32
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))))
        refused(QStringLiteral("Cannot flush"), path, FileError::Action::Write, EIO);
#else
    if (::fsync(file.handle()) != 0)
        refused(QStringLiteral("Cannot flush"), path, FileError::Action::Write, errno);
#endif
}

void flushFolderToDisk(const QString& path) {
#ifdef _WIN32
    // A folder's names reach the disk with the files on this system.
    Q_UNUSED(path);
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        refused(QStringLiteral("Cannot open folder"), path, FileError::Action::Write, errno);
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0 && error != EINVAL)
        refused(QStringLiteral("Cannot flush folder"), path, FileError::Action::Write, error);
#endif
}

void copyFileToDisk(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        refused(QStringLiteral("Cannot read"), from, FileError::Action::Read, errno ? errno : EIO);
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        refused(QStringLiteral("Cannot write"), to, FileError::Action::Write, errno ? errno : EIO);
    constexpr qint64 Chunk = 1 << 20;
    try {
        while (!source.atEnd()) {
            const QByteArray bytes = source.read(Chunk);
            if (bytes.isEmpty() && source.error() != QFileDevice::NoError)
                refused(QStringLiteral("Cannot read"), from, FileError::Action::Read, EIO);
            errno = 0;
            if (target.write(bytes) != bytes.size() || !target.flush())
                refused(QStringLiteral("Cannot write"), to, FileError::Action::Write, errno ? errno : ENOSPC);
        }
        target.close();
        flushFileToDisk(to);
    } catch (...) {
        target.close();
        QFile::remove(to);
        throw;
    }
}

void renameOnDisk(const QString& from, const QString& to) {
#ifdef _WIN32
    if (!MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                     reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        refused(QStringLiteral("Cannot rename"), from, FileError::Action::Write, EACCES);
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        refused(QStringLiteral("Cannot rename"), from, FileError::Action::Write, errno);
#endif
    flushFolderToDisk(QFileInfo(to).absolutePath());
}

}  // namespace platform
