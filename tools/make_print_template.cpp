// Makes the print template of the sole statistics, the workbook the
// "导出打印" command fills, and saves it as an .xls file. Run by hand after
// changing the layout, then commit the file:
//
//   tavrel-make-template [FILE]
//
// FILE defaults to resources/print/鞋底打印.xls in the source tree. A headless
// office of its own is started for the job and ended afterwards.
//
// Layout of sheet "0": a title in row 1, the date label in B3 beside the date
// cell C3, the column titles of the statistics grid in row 5, twelve bordered
// data rows 6 to 17 and the totals in row 18. Rows the program inserts go in
// above row 9, inside the data rows, so the totals keep covering all data.
// Column A of the totals row stays empty: the program clears old data from
// row 6 down to the first row with an empty first cell, and must stop there.

#include "platform/process.h"
#include "spreadsheet/libreoffice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int TitleRow = 1;
constexpr int DateRow = 3;
constexpr int HeadingRow = 5;
constexpr int FirstDataRow = 6;
constexpr int PresetRows = 12;
constexpr int TotalsRow = FirstDataRow + PresetRows;

QStringList columnTitles() {
    QStringList titles{QStringLiteral("供应商"), QStringLiteral("鞋底型号"), QStringLiteral("双数")};
    for (int size = 33; size <= 48; ++size)
        titles << QString::number(size);
    return titles;
}

// "C", "S": the letters of a column from 1 (up to Z is enough here).
QString columnLetter(int column) { return QString(QChar('A' + column - 1)); }

void drawTemplate(spreadsheet::Worksheet& sheet) {
    const QStringList titles = columnTitles();
    const int columns = int(titles.size());

    sheet.setName(QStringLiteral("0"));
    sheet.setCellText(TitleRow, 1, QStringLiteral("鞋底统计表"));
    sheet.mergeCells(TitleRow, 1, TitleRow, columns);
    sheet.setBold(TitleRow, 1, TitleRow, columns);

    sheet.setCellText(DateRow, 2, QStringLiteral("日期："));
    sheet.mergeCells(DateRow, 3, DateRow, 8);

    for (int c = 1; c <= columns; ++c)
        sheet.setCellText(HeadingRow, c, titles[c - 1]);
    sheet.setBold(HeadingRow, 1, HeadingRow, columns);

    sheet.setCellText(TotalsRow, 2, QStringLiteral("合计"));
    for (int c = 3; c <= columns; ++c) {
        const QString letter = columnLetter(c);
        sheet.setCellFormula(TotalsRow, c,
                             QStringLiteral("=SUM(%1%2:%1%3)").arg(letter).arg(FirstDataRow).arg(TotalsRow - 1));
    }
    sheet.setBold(TotalsRow, 1, TotalsRow, columns);
    sheet.setBorders(HeadingRow, 1, TotalsRow, columns);

    sheet.autoFitColumns(1, columns);

    sheet.setOrientation(spreadsheet::PageOrientation::Landscape);
    sheet.setCenterHorizontally(true);
    sheet.setFitToPagesWide(1);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    platform::ignoreBrokenPipes();
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QStringLiteral(TAVREL_RESOURCES_DIR "/print/鞋底打印.xls");
    QDir().mkpath(QFileInfo(file).absolutePath());

    QTemporaryDir profile;
    spreadsheet::OfficeOptions options;
    options.pipeName = QStringLiteral("tavrel_template_%1").arg(QCoreApplication::applicationPid());
    options.profileDir = profile.path();
    options.headless = true;
    options.startTimeoutMs = 60000;

    qint64 started = 0;
    int result = 0;
    try {
        auto office = spreadsheet::createLibreOfficeApplication(options);
        office->connect();
        started = office->officeProcessId();
        office->setSheetsInNewWorkbook(1);
        auto workbook = office->addWorkbook();
        drawTemplate(*workbook->sheet(1));
        workbook->saveAs(QFileInfo(file).absoluteFilePath(), spreadsheet::FileFormat::Xls);
        office->quit();
        std::printf("written %s\n", qPrintable(QFileInfo(file).absoluteFilePath()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "making the template failed: %s\n", e.what());
        result = 1;
    }
    // The office was started for this run alone.
    if (started && platform::isProcessRunning(started))
        platform::terminateProcess(started);
    return result;
}
