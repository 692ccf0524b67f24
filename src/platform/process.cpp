#include "platform/process.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace platform {

bool isProcessRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
#ifdef Q_OS_WIN
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h)
        return false;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
#else
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return false;
#ifdef Q_OS_LINUX
    // A process that has ended stays in the table until its parent collects
    // it; an office started detached waits for the system's first process,
    // which may take seconds. It has ended all the same.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        const qsizetype name = line.lastIndexOf(')');
        if (name >= 0 && name + 2 < line.size()) {
            const char state = line.at(name + 2);
            return state != 'Z' && state != 'X';
        }
    }
#endif
    return true;
#endif
}

void ignoreBrokenPipes()
{
#ifndef Q_OS_WIN
    ::signal(SIGPIPE, SIG_IGN);
#endif
}

namespace {

// Asks the process to end (SIGTERM), or ends it at once (SIGKILL); Windows
// knows only the second.
void endProcess(qint64 pid, bool atOnce)
{
#ifdef Q_OS_WIN
    Q_UNUSED(atOnce);
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
    if (h) {
        TerminateProcess(h, 1);
        CloseHandle(h);
    }
#else
    ::kill(static_cast<pid_t>(pid), atOnce ? SIGKILL : SIGTERM);
#endif
}

}  // namespace

bool terminateProcess(qint64 pid, int timeoutMs)
{
    if (!isProcessRunning(pid))
        return true;
    endProcess(pid, false);
    QDeadlineTimer deadline(timeoutMs);
    while (isProcessRunning(pid)) {
        if (deadline.hasExpired()) {
#ifndef Q_OS_WIN
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            QThread::msleep(200);
            return !isProcessRunning(pid);
#else
            return false;
#endif
        }
        QThread::msleep(50);
    }
    return true;
}

bool killProcess(qint64 pid, int timeoutMs)
{
    if (!isProcessRunning(pid))
        return true;
    endProcess(pid, true);
    QDeadlineTimer deadline(timeoutMs);
    while (isProcessRunning(pid) && !deadline.hasExpired())
        QThread::msleep(20);
    return !isProcessRunning(pid);
}

qint64 localSocketOwner(const QString& path)
{
#if defined(Q_OS_LINUX)
    const QByteArray name = path.toLocal8Bit();
    sockaddr_un address{};
    if (name.size() >= static_cast<qsizetype>(sizeof(address.sun_path)))
        return 0;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    qint64 pid = 0;
    // The credentials of a connected peer are those the listener had when it
    // began to listen; they are known even while it does not answer.
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0)
        pid = credentials.pid;
    ::close(fd);
    return pid;
#else
    Q_UNUSED(path);
    return 0;
#endif
}

qint64 userNumber()
{
#ifdef Q_OS_WIN
    return 0;
#else
    return static_cast<qint64>(::getuid());
#endif
}

} // namespace platform
