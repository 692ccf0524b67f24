#include "spreadsheet/error.h"
#include "spreadsheet/libreoffice.h"

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

QString OfficeOptions::defaultPipeName()
{
    QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    user.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")));
    return QStringLiteral("tavrel_calc_") + (user.isEmpty() ? QStringLiteral("user") : user);
}

} // namespace spreadsheet
