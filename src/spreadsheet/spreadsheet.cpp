#include "spreadsheet/error.h"
#include "spreadsheet/libreoffice.h"

#include <QDir>
#include <QRegularExpression>

namespace spreadsheet {

Error::Error(const QString& message, Operation operation)
    : std::runtime_error(message.toStdString()), operation_(operation)
{
}

QString Error::message() const
{
    return QString::fromStdString(what());
}

namespace {
const char testPipeVariable[] = "TAVREL_OFFICE_PIPE";
const char testProfileVariable[] = "TAVREL_OFFICE_PROFILE";
} // namespace

bool OfficeOptions::testOfficeSet()
{
    return !qEnvironmentVariable(testPipeVariable).isEmpty();
}

QString OfficeOptions::defaultPipeName()
{
    return testOfficeSet() ? qEnvironmentVariable(testPipeVariable) : programPipeName();
}

QString OfficeOptions::defaultProfileDir()
{
    if (!testOfficeSet())
        return QString();
    const QString profile = qEnvironmentVariable(testProfileVariable);
    if (!profile.isEmpty())
        return profile;
    // Never the user's profile: an office started on it while the user's
    // office runs would hand its pipe over to that office.
    return QDir::temp().filePath(defaultPipeName() + QStringLiteral("-profile"));
}

QString OfficeOptions::programPipeName()
{
    QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    user.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")));
    return QStringLiteral("tavrel_calc_") + (user.isEmpty() ? QStringLiteral("user") : user);
}

} // namespace spreadsheet
