// The tests' office work never reaches the office the program leaves running
// for the clerk: a stand-in listens where that office would, and nothing the
// tests do with the office may connect to it.

#include "office_environment.h"

#include "platform/process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUrl>
#include <functional>

#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cerrno>
#include <cstring>
#endif

using namespace spreadsheet;

namespace {

#ifdef Q_OS_LINUX

// Listens on the program's pipe as the clerk's office would, under a user
// name of the test's own: the pipe is then free for the stand-in even while
// the person running the tests has the program's office open. The listener
// is a child process of the test, as the office would be another process:
// the office layer ends the owner of a pipe that does not answer, and that
// must not be the test itself. The test takes the connections from the
// socket it shares with the child.
class ClerksOfficeStandIn {
public:
    ClerksOfficeStandIn() : savedUser_(qgetenv("USER")), hadUser_(qEnvironmentVariableIsSet("USER"))
    {
        qputenv("USER", QStringLiteral("standin%1").arg(QCoreApplication::applicationPid()).toLatin1());
        path_ = QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(platform::userNumber()).arg(OfficeOptions::programPipeName());
        const QByteArray name = QFile::encodeName(path_);
        sockaddr_un address{};
        if (name.size() >= static_cast<qsizetype>(sizeof(address.sun_path)))
            return;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd_ < 0)
            return;
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
            return;
        bound_ = true;
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        child_ = ::fork();
        if (child_ == 0) {
            // Only calls that are safe in the child of a process with threads.
            const char done = ::listen(fd_, 16) == 0 ? 1 : 0;
            if (::write(ready[1], &done, 1) != 1 || !done)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char done = 0;
        listening_ = child_ > 0 && ::read(ready[0], &done, 1) == 1 && done == 1;
        ::close(ready[0]);
    }

    ~ClerksOfficeStandIn()
    {
        if (child_ > 0) {
            ::kill(child_, SIGKILL);
            ::waitpid(child_, nullptr, 0);
        }
        if (fd_ >= 0)
            ::close(fd_);
        if (bound_)
            QFile::remove(path_);
        if (hadUser_)
            qputenv("USER", savedUser_);
        else
            qunsetenv("USER");
    }

    bool listening() const { return listening_; }
    QString path() const { return path_; }
    bool running() const { return child_ > 0 && ::waitpid(child_, nullptr, WNOHANG) == 0; }

    // Connections made to the stand-in so far (taken and closed).
    int connections()
    {
        int count = 0;
        for (;;) {
            const int peer = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0)
                break;
            ::close(peer);
            ++count;
        }
        return count;
    }

private:
    QByteArray savedUser_;
    bool hadUser_;
    QString path_;
    int fd_ = -1;
    bool bound_ = false;
    bool listening_ = false;
    pid_t child_ = -1;
};

// The profile folder an office process was started with, from its command
// line; empty when it was started on the user's own profile.
QString profileOfProcess(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    const QByteArray prefix("-env:UserInstallation=");
    for (const QByteArray& argument : file.readAll().split('\0'))
        if (argument.startsWith(prefix))
            return QUrl(QString::fromLocal8Bit(argument.mid(prefix.size()))).toLocalFile();
    return QString();
}

#endif

struct OfficeWork {
    const char* name;
    std::function<OfficeOptions()> options;
};

void PrintTo(const OfficeWork& work, std::ostream* out)
{
    *out << work.name;
}

class OfficeIsolation : public testing::TestWithParam<OfficeWork> {};

TEST_P(OfficeIsolation, LeavesTheProgramsOfficeAlone)
{
#ifndef Q_OS_LINUX
    GTEST_SKIP() << "the stand-in listens on a Unix socket";
#else
    ClerksOfficeStandIn clerksOffice;
    ASSERT_TRUE(clerksOffice.listening()) << clerksOffice.path().toStdString();

    const OfficeOptions options = GetParam().options();
    EXPECT_NE(options.pipeName.toStdString(), OfficeOptions::programPipeName().toStdString());
    EXPECT_FALSE(options.profileDir.isEmpty()) << "an office started on the user's profile";

    auto app = createLibreOfficeApplication(options);
    StartedOffice started;
    qint64 office = 0;
    try {
        app->setSheetsInNewWorkbook(1);
        auto book = app->addWorkbook();
        started.track(app->officeProcessId());
        office = app->officeProcessId() ? app->officeProcessId() : OfficeEnvironment::officeProcessId();
        book->sheet(1)->setCellText(1, 1, QStringLiteral("测试"));
        book->sheet(1)->refresh();
        EXPECT_EQ(book->sheet(1)->cellText(1, 1), QStringLiteral("测试"));
        app->quit();
    } catch (const Error& e) {
        started.track(app->officeProcessId());
        ADD_FAILURE() << "the office work failed: " << e.what();
    }

    EXPECT_EQ(clerksOffice.connections(), 0) << "the tests' office work reached the program's pipe";
    EXPECT_TRUE(clerksOffice.running()) << "the tests' office work ended the program's office";
    if (!office)
        return;
    // The office that did the work has a profile of its own, not the user's.
    const QString profile = profileOfProcess(office);
    EXPECT_FALSE(profile.isEmpty()) << "office " << office << " runs on the user's profile";
    EXPECT_FALSE(profile.startsWith(QDir::homePath() + QStringLiteral("/.config/libreoffice"))) << profile.toStdString();
#endif
}

INSTANTIATE_TEST_SUITE_P(
    TestsOwnOffices, OfficeIsolation,
    testing::Values(
        // What the program's windows and every object made without options
        // use: in a test program, the shared test office.
        OfficeWork{"Defaults", [] { return OfficeOptions(); }},
        OfficeWork{"SharedTestOffice", [] { return OfficeEnvironment::options(); }}),
    [](const testing::TestParamInfo<OfficeWork>& info) { return std::string(info.param.name); });

} // namespace
