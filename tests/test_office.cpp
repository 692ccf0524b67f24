// Linked into every test program: before any test runs, the process is given
// an office of its own (see OfficeOptions), so that nothing a test does with
// the office's defaults, through the program's windows included, reaches the
// office a clerk may have open on the program's pipe, or the clerk's profile.
// Each test program gets its own pipe, so that programs running side by side
// never share an office either. The profile folder goes when the program ends;
// the offices the tests started are stopped by the tests themselves.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

struct TestOffice {
    TestOffice()
    {
        const QByteArray pipe = QStringLiteral("tavrel_test_%1_%2")
                                    .arg(QCoreApplication::applicationPid())
                                    .arg(QRandomGenerator::global()->generate())
                                    .toLatin1();
        qputenv("TAVREL_OFFICE_PIPE", pipe);
        if (folder.isValid())
            qputenv("TAVREL_OFFICE_PROFILE", QDir(folder.path()).filePath(QStringLiteral("profile")).toLocal8Bit());
        else
            qunsetenv("TAVREL_OFFICE_PROFILE"); // the layer then picks a folder of the pipe's name
    }

    QTemporaryDir folder{QDir::temp().filePath(QStringLiteral("tavrel_test_office_XXXXXX"))};
};

const TestOffice testOffice;

} // namespace
