#pragma once

#include <QString>
#include <QtGlobal>

namespace platform {

// Whether a process with this id is still running (one that has ended but
// was not yet collected by its parent is not).
bool isProcessRunning(qint64 pid);
// Asks the process with this id to end (SIGTERM / TerminateProcess) and
// waits up to timeoutMs for it to be gone. Returns whether it is gone.
bool terminateProcess(qint64 pid, int timeoutMs = 10000);
// Ends the process with this id at once, without asking (SIGKILL /
// TerminateProcess): for a process that no longer answers. Returns whether it
// is gone within timeoutMs.
bool killProcess(qint64 pid, int timeoutMs = 5000);

// Id of the process listening on the local (Unix domain) socket at path;
// 0 when there is none or the system cannot tell.
qint64 localSocketOwner(const QString& path);
// The number of the user running this program (0 on Windows).
qint64 userNumber();

// Keeps the process alive when it writes to a pipe or socket whose other end
// has gone (an office that was closed): the write fails with an error instead.
void ignoreBrokenPipes();

} // namespace platform
