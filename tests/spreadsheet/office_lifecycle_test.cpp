// Connecting, reconnecting and quitting.

#include "office_environment.h"

#include "platform/process.h"

#include <QDeadlineTimer>
#include <QThread>
#include <functional>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <csignal>
#endif
#ifdef Q_OS_LINUX
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace spreadsheet;

TEST(OfficeLifecycle, AttachesToTheRunningOfficeWithoutStartingOne)
{
    auto app = createLibreOfficeApplication(OfficeEnvironment::options());
    app->connect();
    EXPECT_TRUE(app->isConnected());
    EXPECT_EQ(app->officeProcessId(), 0); // not started by this object
    EXPECT_TRUE(platform::isProcessRunning(OfficeEnvironment::officeProcessId()));
    app->quit();
    EXPECT_FALSE(app->isConnected());
    EXPECT_TRUE(platform::isProcessRunning(OfficeEnvironment::officeProcessId()));
}

TEST(OfficeLifecycle, QuitClosesOnlyOurOwnWorkbooks)
{
    auto ours = createLibreOfficeApplication(OfficeEnvironment::options());
    auto users = createLibreOfficeApplication(OfficeEnvironment::options());
    ours->setSheetsInNewWorkbook(1);
    users->setSheetsInNewWorkbook(1);

    // The user's workbook, open in the office before ours opens it too.
    const QString usersPath = OfficeEnvironment::scratchPath(QStringLiteral("users.ods"));
    auto usersBook = users->addWorkbook();
    usersBook->sheet(1)->setCellText(1, 1, QStringLiteral("user"));
    usersBook->saveAs(usersPath);
    auto usersBookSeenByUs = ours->openWorkbook(usersPath);

    // Our workbook: saved, then changed without saving.
    const QString oursPath = OfficeEnvironment::scratchPath(QStringLiteral("ours.ods"));
    auto ourBook = ours->addWorkbook();
    ourBook->sheet(1)->setCellText(1, 1, QStringLiteral("saved"));
    ourBook->saveAs(oursPath);
    ourBook->sheet(1)->setCellText(1, 1, QStringLiteral("changed"));
    ourBook->sheet(1)->flush();
    ASSERT_EQ(ours->workbookCount(), 2);

    ours->quit();
    EXPECT_FALSE(ourBook->isOpen());
    EXPECT_THROW(ourBook->sheet(1), Error);

    // The user's workbook is still open and answers.
    EXPECT_EQ(usersBook->sheet(1)->cellText(1, 1), "user");
    usersBook->sheet(1)->refresh();
    EXPECT_EQ(usersBook->sheet(1)->cellText(1, 1), "user");
    // Ours was closed unsaved: opening its file again shows the saved state,
    // not the still open, changed document.
    auto reopened = users->openWorkbook(oursPath);
    EXPECT_EQ(reopened->sheet(1)->cellText(1, 1), "saved");
    EXPECT_TRUE(platform::isProcessRunning(OfficeEnvironment::officeProcessId()));
    users->quit();
}

TEST(OfficeLifecycle, StoppedOfficeIsReplacedByAFreshOne)
{
    auto app = createLibreOfficeApplication(OfficeEnvironment::privateOptions(QStringLiteral("restart")));
    app->setSheetsInNewWorkbook(1);
    StartedOffice first;
    auto book = app->addWorkbook();
    const qint64 firstPid = app->officeProcessId();
    first.track(firstPid);
    ASSERT_NE(firstPid, 0);
    book->sheet(1)->setCellText(1, 1, QStringLiteral("before"));
    book->sheet(1)->flush();

    ASSERT_TRUE(platform::terminateProcess(firstPid, 60'000));  // the minute only a safety net
    EXPECT_THROW(book->sheet(1)->cellText(1, 1), Error);

    StartedOffice second;
    auto fresh = app->addWorkbook();
    const qint64 secondPid = app->officeProcessId();
    second.track(secondPid);
    EXPECT_NE(secondPid, firstPid);
    EXPECT_TRUE(platform::isProcessRunning(secondPid));
    EXPECT_FALSE(book->isOpen());
    EXPECT_EQ(app->workbookCount(), 1);
    fresh->sheet(1)->setCellText(1, 1, QStringLiteral("after"));
    fresh->sheet(1)->refresh();
    EXPECT_EQ(fresh->sheet(1)->cellText(1, 1), "after");

    // Without documents left, the office this object started is ended. Its
    // end is awaited through a process handle, which turns readable when the
    // process ends; the minute is only a safety net.
    app->quit();
#ifdef Q_OS_LINUX
    if (const int handle = int(::syscall(SYS_pidfd_open, pid_t(secondPid), 0)); handle >= 0) {
        pollfd ended{handle, POLLIN, 0};
        ::poll(&ended, 1, 60'000);
        ::close(handle);
    }
#else
    QDeadlineTimer deadline(60'000);
    while (platform::isProcessRunning(secondPid) && !deadline.hasExpired())
        QThread::msleep(100);
#endif
    EXPECT_FALSE(platform::isProcessRunning(secondPid));
}

// An office that stops answering (here: stopped by a signal, as a hung one
// would be) is let go and ended after the call bound, whether this object
// started it or found it running; the next use starts a fresh one.
TEST(OfficeLifecycle, HungOfficeIsEndedAfterTheCallBound)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "stopping a process takes POSIX signals";
#else
    auto options = OfficeEnvironment::privateOptions(QStringLiteral("hung"));
    // Short enough for a quick test, long enough that an office that is only
    // slow on a loaded machine (the other test programs run beside this one)
    // is not taken for a hung one.
    options.callTimeoutMs = 15000;
    auto app = createLibreOfficeApplication(options);
    app->setSheetsInNewWorkbook(1);
    auto failure = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const Error& e) {
            return e.operation();
        }
        return Error::Operation::Other;
    };

    StartedOffice first;
    auto book = app->addWorkbook();
    const qint64 firstPid = app->officeProcessId();
    first.track(firstPid);
    ASSERT_NE(firstPid, 0);
    auto sheet = book->sheet(1);
    ASSERT_EQ(::kill(static_cast<pid_t>(firstPid), SIGSTOP), 0);
    EXPECT_EQ(failure([&] {
                  sheet->setCellText(1, 1, QStringLiteral("lost"));
                  sheet->flush();
              }),
              Error::Operation::Gone);
    EXPECT_FALSE(platform::isProcessRunning(firstPid));
    EXPECT_FALSE(book->isOpen());
    EXPECT_EQ(failure([&] { sheet->cellText(1, 1); }), Error::Operation::Gone);

    StartedOffice second;
    auto fresh = app->addWorkbook();
    const qint64 secondPid = app->officeProcessId();
    second.track(secondPid);
    EXPECT_NE(secondPid, firstPid);
    fresh->sheet(1)->setCellText(1, 1, QStringLiteral("after"));
    fresh->sheet(1)->refresh();
    EXPECT_EQ(fresh->sheet(1)->cellText(1, 1), "after");

    // An object that found the office running knows it by its pipe; its
    // next workbook comes from an office of its own.
    auto attached = createLibreOfficeApplication(options);
    attached->connect();
    ASSERT_EQ(attached->officeProcessId(), 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(secondPid), SIGSTOP), 0);
    StartedOffice third;
    attached->setSheetsInNewWorkbook(1);
    auto replaced = attached->addWorkbook();
    third.track(attached->officeProcessId());
    EXPECT_FALSE(platform::isProcessRunning(secondPid));
    EXPECT_NE(attached->officeProcessId(), 0);
    EXPECT_EQ(replaced->sheetCount(), 1);
#endif
}

// An office started for a profile that an office already uses hands its
// command line, the pipe included, to that office and ends; the connection
// then reaches the office that was running. The object that started the
// short-lived process did not start the office it talks to, and its quit()
// must leave that office running, even with no document left in it (the
// shared test office ended this way in the middle of full test runs).
TEST(OfficeLifecycle, OfficeReachedThroughAHandOverIsNotEndedByQuit)
{
    const auto ownersOptions = OfficeEnvironment::privateOptions(QStringLiteral("handover"));
    auto owner = createLibreOfficeApplication(ownersOptions);
    owner->connect();
    const qint64 ownerPid = owner->officeProcessId();
    StartedOffice ownersOffice(ownerPid);
    ASSERT_NE(ownerPid, 0);

    auto secondOptions = OfficeEnvironment::privateOptions(QStringLiteral("handover-second"));
    secondOptions.profileDir = ownersOptions.profileDir;
    auto second = createLibreOfficeApplication(secondOptions);
    second->setSheetsInNewWorkbook(1);
    auto book = second->addWorkbook();
    StartedOffice secondsOffice(second->officeProcessId());
    EXPECT_EQ(second->officeProcessId(), 0);
    book->sheet(1)->setCellText(1, 1, QStringLiteral("second"));
    book->sheet(1)->flush();
    second->quit();

    // The owner's office still serves the owner, under the same process id.
    owner->setSheetsInNewWorkbook(1);
    auto ownersBook = owner->addWorkbook();
    EXPECT_EQ(owner->officeProcessId(), ownerPid);
    EXPECT_TRUE(platform::isProcessRunning(ownerPid));
    ownersBook->sheet(1)->setCellText(1, 1, QStringLiteral("owner"));
    ownersBook->sheet(1)->refresh();
    EXPECT_EQ(ownersBook->sheet(1)->cellText(1, 1), "owner");
    owner->quit();
}

// Objects that come and go against one running office, as the tests and the
// import's workbook maker do: each attaches to the office, none starts one or
// ends it. A connection made while the previous one is being let go may be
// refused once; that is no reason for a second office.
TEST(OfficeLifecycle, ObjectsComingAndGoingAttachToTheOneOffice)
{
    const auto options = OfficeEnvironment::privateOptions(QStringLiteral("comings"));
    auto owner = createLibreOfficeApplication(options);
    owner->connect();
    const qint64 ownerPid = owner->officeProcessId();
    StartedOffice ownersOffice(ownerPid);
    ASSERT_NE(ownerPid, 0);

    for (int round = 0; round < 10; ++round) {
        {
            auto maker = createLibreOfficeApplication(options);
            maker->setSheetsInNewWorkbook(1);
            maker->addWorkbook()->close();
            StartedOffice makersOffice(maker->officeProcessId());
            EXPECT_EQ(maker->officeProcessId(), 0) << "round " << round;
        }
        auto user = createLibreOfficeApplication(options);
        user->connect();
        StartedOffice usersOffice(user->officeProcessId());
        EXPECT_EQ(user->officeProcessId(), 0) << "round " << round;
        user->quit();
        ASSERT_TRUE(platform::isProcessRunning(ownerPid)) << "round " << round;
    }
    EXPECT_TRUE(owner->isConnected());
    owner->setSheetsInNewWorkbook(1);
    owner->addWorkbook();
    EXPECT_EQ(owner->officeProcessId(), ownerPid);
    owner->quit();
}
