#include "office_environment.h"

#include "platform/process.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <cstdio>

#include <gtest/gtest.h>

namespace {

class Environment : public testing::Environment {
public:
    void SetUp() override
    {
        folder_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(folder_->isValid());
        options_ = OfficeEnvironment::privateOptions(QStringLiteral("shared"));
        application_ = spreadsheet::createLibreOfficeApplication(options_);
        try {
            application_->connect();
        } catch (const spreadsheet::Error& e) {
            FAIL() << "LibreOffice could not be started: " << e.what();
        }
        pid_ = application_->officeProcessId();
    }

    // An office that ended meanwhile (it crashed, or a test ended it) is
    // started again, so that one lost office does not fail every later test;
    // the tests that check that an office stays up still see it go (the
    // process id is not renewed behind their backs).
    void restartIfGone()
    {
        if (!pid_ || platform::isProcessRunning(pid_))
            return;
        std::fprintf(stderr, "The shared office (pid %lld) has ended; starting another.\n", static_cast<long long>(pid_));
        application_ = spreadsheet::createLibreOfficeApplication(options_);
        application_->connect();
        pid_ = application_->officeProcessId();
    }

    void TearDown() override
    {
        application_.reset();
        if (pid_)
            platform::terminateProcess(pid_);
        folder_.reset();
    }

    std::unique_ptr<QTemporaryDir> folder_;
    spreadsheet::OfficeOptions options_;
    std::unique_ptr<spreadsheet::Application> application_;
    qint64 pid_ = 0;
};

Environment* environment()
{
    static Environment* env = [] {
        auto* e = new Environment;
        testing::AddGlobalTestEnvironment(e); // owned by GoogleTest
        return e;
    }();
    return env;
}

// Registered before main() runs the tests.
const bool registered = (environment(), true);

} // namespace

spreadsheet::OfficeOptions OfficeEnvironment::options()
{
    environment()->restartIfGone();
    return environment()->options_;
}

QString OfficeEnvironment::scratchPath(const QString& fileName)
{
    return QDir(environment()->folder_->path()).filePath(fileName);
}

spreadsheet::OfficeOptions OfficeEnvironment::privateOptions(const QString& tag)
{
    spreadsheet::OfficeOptions options;
    options.pipeName = QStringLiteral("tavrel_test_%1_%2_%3")
                           .arg(QCoreApplication::applicationPid())
                           .arg(QRandomGenerator::global()->generate())
                           .arg(tag);
    options.profileDir = scratchPath(QStringLiteral("profile-") + tag);
    options.headless = true;
    options.startTimeoutMs = 60000;
    return options;
}

qint64 OfficeEnvironment::officeProcessId()
{
    return environment()->pid_;
}

StartedOffice::~StartedOffice()
{
    if (pid_)
        platform::terminateProcess(pid_);
}
