#include "spreadsheet/cell_text.h"

#include <charconv>
#include <cmath>

namespace spreadsheet {

QString decimalText(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return {};
    if (value == 0)
        return QStringLiteral("0"); // also -0
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return {};
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString isoDateText(double serial, QDate nullDate)
{
    if (std::isnan(serial) || std::isinf(serial) || !nullDate.isValid())
        return {};
    const QDate day = nullDate.addDays(static_cast<qint64>(std::floor(serial)));
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace spreadsheet
