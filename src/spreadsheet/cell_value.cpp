#include "spreadsheet/cell_value.h"

#include "spreadsheet/cell_text.h"

namespace spreadsheet {

CellValue CellValue::ofText(const QString& text)
{
    if (text.isEmpty())
        return empty();
    return {Kind::Text, 0, text};
}

QString cellValueText(const CellValue& value, QDate nullDate)
{
    switch (value.kind) {
    case CellValue::Kind::Empty:
        return {};
    case CellValue::Kind::Text:
        return value.text;
    case CellValue::Kind::Number:
        return decimalText(value.number);
    case CellValue::Kind::Date:
        return isoDateText(value.number, nullDate);
    }
    return {};
}

} // namespace spreadsheet
