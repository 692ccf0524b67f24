// Export and template printing against a real LibreOffice, with the template
// that ships with the program; what was written is read back from the office.

#include "../spreadsheet/office_environment.h"
#include "platform/error_display.h"
#include "platform/scripted_dialogs.h"
#include "qt_printing.h"
#include "spreadsheet/libreoffice.h"
#include "statistics/export_grids.h"
#include "statistics/print_template.h"
#include "export_fixture.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

const QDate Today(2026, 12, 8);

class OfficeExport : public ::testing::Test {
protected:
    void SetUp() override {
        office = spreadsheet::createLibreOfficeApplication(OfficeEnvironment::options());
        services.office = [this]() -> spreadsheet::Application& {
            office->connect();
            return *office;
        };
        services.dialogs = &dialogs;
        services.status = &status;
        services.hasPrinter = [this] { return printer; };
        services.today = [] { return Today; };
        dialogs.setDefaultAnswer(true);
    }
    void TearDown() override { office->quit(); }

    // The workbook the command left open: the last one made or opened.
    std::shared_ptr<spreadsheet::Workbook> result() { return office->workbook(office->workbookCount()); }

    QStringList rowTexts(spreadsheet::Worksheet& sheet, int row) {
        QStringList texts;
        for (int c = 1; c <= 19; ++c)
            texts << sheet.cellText(row, c);
        return texts;
    }

    // Sum over the records 1..n of the size 37 (= i), as the totals show it.
    static QString sizeSum(int n) { return QString::number(n * (n + 1) / 2); }

    std::unique_ptr<spreadsheet::Application> office;
    platform::ScriptedDialogs dialogs;
    PanelTexts status;
    statistics::ExportServices services;
    bool printer = true;
    const QString templatePath = QStringLiteral(TAVREL_PRINT_TEMPLATE_FILE);
};

TEST_F(OfficeExport, QuickExportTitleRowDataAndPageSetup) {
    struct Case {
        const char* name;
        int records;
        bool printer;
    };
    for (const Case& c : {Case{"empty, printer", 0, true}, Case{"three rows, no printer", 3, false}}) {
        StatisticsTables tables(c.records);
        printer = c.printer;
        statistics::exportGrids({tables.grid()}, services);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        auto book = result();
        ASSERT_EQ(book->sheetCount(), 1) << c.name;
        auto sheet = book->sheet(QStringLiteral("DBGrid2"));
        sheet->refresh();
        EXPECT_EQ(rowTexts(*sheet, 1), statisticsColumns()) << c.name;
        EXPECT_EQ(sheet->usedRowCount(), c.records + 1) << c.name;
        EXPECT_EQ(sheet->usedColumnCount(), 19) << c.name;
        for (int i = 1; i <= c.records; ++i)
            EXPECT_EQ(rowTexts(*sheet, i + 1), statisticsRecord(i)) << c.name;
        EXPECT_EQ(sheet->centerFooter() == QStringLiteral("Tavrel-Quorin下载"), c.printer) << c.name;
        EXPECT_EQ(sheet->orientation() == spreadsheet::PageOrientation::Landscape, c.printer) << c.name;
        EXPECT_TRUE(book->filePath().isEmpty());
    }
}

TEST_F(OfficeExport, TemplateFillsPresetRowsOrInsertsAndTotalsFollow) {
    struct Case {
        const char* name;
        int records;
        QStringList questions;
        int totalsRow;
    };
    const QString confirm = QStringLiteral("你真的要打印吗？");
    for (const Case& c : {Case{"three rows", 3, {confirm}, 18},
                          Case{"thirteen rows", 13,
                               {confirm, QStringLiteral("数据超过12行，是否继续？"),
                                QStringLiteral("数据超过12行，目标表格预设行数不够，是否自动插入？")},
                               19}}) {
        StatisticsTables tables(c.records);
        dialogs.clear();
        status.texts.clear();
        statistics::fillPrintTemplate(templatePath, tables.grid(), 5, 12, services);
        EXPECT_EQ(dialogs.messageTexts(), c.questions) << c.name;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(status.texts, QStringList{QStringLiteral("在第一列第4行检测到空值，清空已结束！")}) << c.name;

        auto book = result();
        EXPECT_TRUE(book->filePath().isEmpty()) << "an untitled copy, not the template itself";
        auto sheet = book->sheet(QStringLiteral("0"));
        sheet->refresh();
        EXPECT_EQ(sheet->cellText(3, 3), QStringLiteral("2026年12月8日")) << c.name;
        EXPECT_EQ(sheet->cellText(5, 1), QStringLiteral("供应商")) << c.name;
        for (int i = 1; i <= c.records; ++i)
            EXPECT_EQ(rowTexts(*sheet, 5 + i), statisticsRecord(i)) << c.name << " record " << i;
        EXPECT_EQ(sheet->cellText(6 + c.records, 1), QString()) << c.name;
        EXPECT_EQ(sheet->cellText(c.totalsRow, 2), QStringLiteral("合计")) << c.name;
        EXPECT_EQ(sheet->cellText(c.totalsRow, 8), sizeSum(c.records)) << c.name;
        EXPECT_EQ(sheet->cellText(c.totalsRow, 7), QString::number(10 * c.records)) << c.name;
        EXPECT_EQ(sheet->centerFooter(), QStringLiteral("Tavrel-Quorin下载")) << c.name;
    }
}

TEST_F(OfficeExport, OldDataIsClearedAndATemplateWithoutSheetZeroIsRefused) {
    // A template saved with old data in rows 6 to 10, row 11 empty in column 1.
    const QString oldData = OfficeEnvironment::scratchPath(QStringLiteral("old-data.xls"));
    {
        auto book = office->openTemplate(templatePath);
        auto sheet = book->sheet(QStringLiteral("0"));
        for (int row = 6; row <= 10; ++row)
            for (int c = 1; c <= 20; ++c)
                sheet->setCellText(row, c, QStringLiteral("old"));
        sheet->setCellText(11, 2, QStringLiteral("kept"));
        book->saveAs(oldData);
        book->close();
    }
    const QString noSheetZero = OfficeEnvironment::scratchPath(QStringLiteral("no-sheet-zero.xls"));
    {
        auto book = office->addWorkbook();
        book->sheet(1)->setCellText(1, 1, QStringLiteral("x"));
        book->saveAs(noSheetZero);
        book->close();
    }

    StatisticsTables tables(2);
    statistics::fillPrintTemplate(oldData, tables.grid(), 5, 12, services);
    EXPECT_EQ(status.texts.back(), QStringLiteral("在第一列第9行检测到空值，清空已结束！"));
    EXPECT_EQ(status.texts.front(), QStringLiteral("在6::第4行检测到空值，清空已结束！"));
    auto sheet = result()->sheet(QStringLiteral("0"));
    sheet->refresh();
    EXPECT_EQ(rowTexts(*sheet, 7), statisticsRecord(2));
    for (int row = 8; row <= 10; ++row)
        for (int c = 1; c <= 20; ++c)
            EXPECT_EQ(sheet->cellText(row, c), QString()) << row << "," << c;
    EXPECT_EQ(sheet->cellText(6, 20), QString());
    EXPECT_EQ(sheet->cellText(11, 2), QStringLiteral("kept"));

    const int workbooks = office->workbookCount();
    dialogs.clear();
    EXPECT_FALSE(platform::runGuarded([&] { statistics::fillPrintTemplate(noSheetZero, tables.grid(), 5, 12, services); }));
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_TRUE(dialogs.messages().back().text.contains(QStringLiteral("\"0\""))) << dialogs.messages().back().text.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(office->workbookCount(), workbooks) << "the copy of the bad template is closed";
}

}  // namespace
