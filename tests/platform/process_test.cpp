// Telling whether a process still runs, as the office layer does for the
// offices it starts and stops.

#include "platform/process.h"

#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifdef Q_OS_LINUX
// A child in each state the office layer meets: running, stopped (a hung
// office), and ended but not yet collected by its parent.
TEST(ProcessState, RunningStoppedAndEndedChildren)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::pause();
        ::_exit(0);
    }
    EXPECT_TRUE(platform::isProcessRunning(child));

    ASSERT_EQ(::kill(child, SIGSTOP), 0);
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WSTOPPED | WNOWAIT), 0);
    EXPECT_TRUE(platform::isProcessRunning(child)) << "a stopped process still exists";

    ASSERT_EQ(::kill(child, SIGKILL), 0);
    // Waits for the end without collecting the child: it stays in the table.
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(platform::isProcessRunning(child)) << "an ended, uncollected process has ended";
    EXPECT_TRUE(platform::killProcess(child));

    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    EXPECT_FALSE(platform::isProcessRunning(child));
    EXPECT_FALSE(platform::isProcessRunning(0));
}
#endif
