#pragma once

// The workbook the import benchmarks read: a title row, then one order per
// row in the columns the order window's grid shows.

#include "spreadsheet/spreadsheet.h"

#include <QStringList>

namespace bench {

inline QStringList importColumns() {
    QStringList c{QStringLiteral("批号"), QStringLiteral("鞋的型号"), QStringLiteral("颜色"), QStringLiteral("件数"),
                  QStringLiteral("双数")};
    for (int s = 33; s <= 48; ++s)
        c << QString::number(s);
    return c << QStringLiteral("备注");
}

// Writes `rows` orders whose batch numbers start with `prefix` and saves the
// workbook at path; the workbook stays open.
inline std::shared_ptr<spreadsheet::Workbook> writeImportWorkbook(spreadsheet::Application& office, const QString& path,
                                                                  int rows, const QString& prefix) {
    office.setSheetsInNewWorkbook(1);
    auto book = office.addWorkbook();
    auto sheet = book->sheet(1);
    const QStringList heading = importColumns();
    for (int c = 0; c < heading.size(); ++c)
        sheet->setCellText(1, c + 1, heading[c]);
    for (int r = 2; r <= rows + 1; ++r) {
        sheet->setCellText(r, 1, prefix + QStringLiteral("%1").arg(r, 6, 10, QLatin1Char('0')));
        sheet->setCellText(r, 2, QStringLiteral("A1001"));
        sheet->setCellText(r, 3, r % 3 ? QStringLiteral("h") : QStringLiteral("棕"));
        sheet->setCellNumber(r, 4, 1 + r % 9);
        for (int c = 9; c <= 14; ++c)
            sheet->setCellNumber(r, c, 6 + (r + c) % 7);
        sheet->setCellText(r, 22, QStringLiteral("样品"));
    }
    book->saveAs(path);
    return book;
}

}  // namespace bench
