#include "office_environment.h"

#include "platform/process.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

class Environment : public testing::Environment {
public:
    void SetUp() override
    {
        folder_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(folder_->isValid());
        // The office the layer's defaults lead to in a test program (see
        // tests/test_office.cpp): objects made with those defaults, the
        // program's windows among them, attach to this office as well.
        options_ = spreadsheet::OfficeOptions();
        options_.startTimeoutMs = 60000;
        application_ = spreadsheet::createLibreOfficeApplication(options_);
        try {
            application_->connect();
        } catch (const spreadsheet::Error& e) {
            FAIL() << "LibreOffice could not be started: " << e.what();
        }
        pid_ = application_->officeProcessId();
    }

    // The shared office lives as long as the program: no test may end it,
    // and one that ended (it crashed, or a test ended it) is a failure,
    // reported with the test that used it last. Another is started, so that
    // one lost office does not fail every later test as well.
    void restartIfGone()
    {
        if (!pid_ || platform::isProcessRunning(pid_)) {
            noteUser();
            return;
        }
        ADD_FAILURE() << "The shared office (pid " << pid_ << ") has ended; it was last used by "
                      << lastUser_.toStdString() << ". Starting another.";
        application_ = spreadsheet::createLibreOfficeApplication(options_);
        application_->connect();
        pid_ = application_->officeProcessId();
        noteUser();
    }

    void noteUser()
    {
        if (const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info())
            lastUser_ = QStringLiteral("%1.%2").arg(QString::fromUtf8(test->test_suite_name()), QString::fromUtf8(test->name()));
    }

    void TearDown() override
    {
        if (pid_ && !platform::isProcessRunning(pid_))
            ADD_FAILURE() << "The shared office (pid " << pid_ << ") has ended; it was last used by "
                          << lastUser_.toStdString() << ".";
        application_.reset();
        if (pid_)
            platform::terminateProcess(pid_);
        folder_.reset();
    }

    std::unique_ptr<QTemporaryDir> folder_;
    spreadsheet::OfficeOptions options_;
    std::unique_ptr<spreadsheet::Application> application_;
    qint64 pid_ = 0;
    QString lastUser_ = QStringLiteral("no test");
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
