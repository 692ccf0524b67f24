#include "platform/folder_lock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

qint64 writtenProcessId(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toLongLong();
}

}  // namespace

QString FolderLock::fileName() { return QStringLiteral("tavrel.lock"); }

FolderLock::FolderLock(const QString& folder) {
    const QString path = QDir(folder).filePath(fileName());
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
#ifdef _WIN32
    // Opened without sharing: nobody else can open it while this process lives.
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        holder_ = writtenProcessId(path);
        return;
    }
    SetEndOfFile(h);
    DWORD written = 0;
    WriteFile(h, pid.constData(), DWORD(pid.size()), &written, nullptr);
    handle_ = h;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        holder_ = writtenProcessId(path);
        return;
    }
    if (::ftruncate(fd, 0) == 0 && ::write(fd, pid.constData(), size_t(pid.size())) < 0) {
        // The id is for messages only; the lock is what counts.
    }
    handle_ = fd;
#endif
}

FolderLock::~FolderLock() {
    if (!isHeld())
        return;
#ifdef _WIN32
    CloseHandle(handle_);
#else
    ::close(handle_);  // releases the lock; the file stays for the next holder
#endif
}

}  // namespace platform
