#pragma once

#include <QDate>
#include <QString>

namespace spreadsheet {

// Plain decimal text of a number: no exponent, no trailing zeros, a point as
// the decimal separator, the fewest digits that give the same number back
// ("25", "2.5", "0.1", "-3", "1000000").
QString decimalText(double value);

// yyyy-mm-dd of the day `serial` days after nullDate (the time of day, the
// fraction, is dropped).
QString isoDateText(double serial, QDate nullDate);

} // namespace spreadsheet
