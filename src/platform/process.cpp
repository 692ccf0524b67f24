#include "platform/process.h"

#include <QDeadlineTimer>
#include <QThread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <sys/types.h>
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
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

void ignoreBrokenPipes()
{
#ifndef Q_OS_WIN
    ::signal(SIGPIPE, SIG_IGN);
#endif
}

bool terminateProcess(qint64 pid, int timeoutMs)
{
    if (!isProcessRunning(pid))
        return true;
#ifdef Q_OS_WIN
    HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
    if (h) {
        TerminateProcess(h, 1);
        CloseHandle(h);
    }
#else
    ::kill(static_cast<pid_t>(pid), SIGTERM);
#endif
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

} // namespace platform
