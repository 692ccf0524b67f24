#pragma once

#include <QtGlobal>

namespace platform {

// Whether a process with this id is still running.
bool isProcessRunning(qint64 pid);
// Asks the process with this id to end (SIGTERM / TerminateProcess) and
// waits up to timeoutMs for it to be gone. Returns whether it is gone.
bool terminateProcess(qint64 pid, int timeoutMs = 10000);

// Keeps the process alive when it writes to a pipe or socket whose other end
// has gone (an office that was closed): the write fails with an error instead.
void ignoreBrokenPipes();

} // namespace platform
