#pragma once

#include <QDate>
#include <QString>

namespace spreadsheet {

// One cell's content as the layer keeps it between the office and its callers.
struct CellValue {
    enum class Kind { Empty, Text, Number, Date };

    Kind kind = Kind::Empty;
    double number = 0; // Number and Date (the date's serial day number)
    QString text;      // Text

    static CellValue empty() { return {}; }
    static CellValue ofText(const QString& text);
    static CellValue ofNumber(double value) { return {Kind::Number, value, {}}; }
    static CellValue ofDate(double serial) { return {Kind::Date, serial, {}}; }

    bool isEmpty() const { return kind == Kind::Empty; }
    bool operator==(const CellValue&) const = default;
};

// The cell as text for callers: see Worksheet::cellText. nullDate is the day
// with serial number 0 in the workbook.
QString cellValueText(const CellValue& value, QDate nullDate);

} // namespace spreadsheet
