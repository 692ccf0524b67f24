// Export and template printing against a real LibreOffice, with the template
// that ships with the program; what was written is read back from the office.

#include "../spreadsheet/office_environment.h"
#include "platform/error_display.h"
#include "platform/scripted_dialogs.h"
#include "qt_printing.h"
#include "spreadsheet/libreoffice.h"
#include "statistics/export_grids.h"
#include "statistics/print_template.h"
#include "statistics/supplier_export.h"
#include "platform/file_manager.h"
#include "statistics_fixture.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A fixed day that is not today, and how the template writes it, whatever the desktop's language.
const QDate Today(2025, 3, 7);
const QString TodayInFull = QStringLiteral("2025年3月7日");

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
    RecordingSink status;
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
        StatisticsTables tables;
        tables.fillStatistics(c.records);
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
        EXPECT_EQ(sheet->centerHorizontally(), c.printer) << c.name;
        EXPECT_EQ(sheet->centerVertically(), c.printer) << c.name;
        EXPECT_EQ(sheet->printGridLines(), c.printer) << c.name;
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
        StatisticsTables tables;
        tables.fillStatistics(c.records);
        dialogs.clear();
        status.writes.clear();
        statistics::fillPrintTemplate(templatePath, tables.grid(), 5, 12, services);
        EXPECT_EQ(dialogs.messageTexts(), c.questions) << c.name;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(status.progressTexts(), QStringList{QStringLiteral("在第一列第4行检测到空值，清空已结束！")}) << c.name;

        auto book = result();
        EXPECT_TRUE(book->filePath().isEmpty()) << "an untitled copy, not the template itself";
        auto sheet = book->sheet(QStringLiteral("0"));
        sheet->refresh();
        EXPECT_EQ(sheet->cellText(3, 3), TodayInFull) << c.name;
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

    StatisticsTables tables;
    tables.fillStatistics(2);
    statistics::fillPrintTemplate(oldData, tables.grid(), 5, 12, services);
    EXPECT_EQ(status.progressTexts().back(), QStringLiteral("在第一列第9行检测到空值，清空已结束！"));
    EXPECT_EQ(status.progressTexts().front(), QStringLiteral("在6::第4行检测到空值，清空已结束！"));
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

TEST_F(OfficeExport, BySupplierWorkbooksReadBackAndPdfsArePdfs) {
    // Row i: size 33 holds i, size 48 holds 10 i, the pairs 11 i.
    StatisticsTables tables;
    const QStringList suppliers{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("甲"), QString()};
    const QStringList models{QStringLiteral("0805"), QStringLiteral("D-1"), QStringLiteral("D-2"), QStringLiteral("E-1")};
    std::vector<TableFolder::Row> records;
    for (int i = 1; i <= 4; ++i) {
        TableFolder::Row record{{QStringLiteral("供应商"), suppliers[i - 1]}, {QStringLiteral("鞋底型号"), models[i - 1]},
                                {QStringLiteral("双数"), 11 * i}};
        for (int size = 33; size <= 48; ++size)
            record[QString::number(size)] = size == 33 ? i : size == 48 ? 10 * i : 0;
        records.push_back(record);
    }
    tables.storeRows(QStringLiteral("xdtj.db"), records);
    tables.statistics->open();
    services.today = [] { return QDate(2027, 1, 15); };
    platform::RecordingFileManager fileManager;
    QTemporaryDir purchases;
    const statistics::SupplierExportResult result = statistics::exportBySupplier(tables.grid(), purchases.path(), services);
    EXPECT_EQ(result.suppliers, 3);
    EXPECT_EQ(office->workbookCount(), 0) << "every workbook is closed";
    EXPECT_FALSE(office->isVisible());
    EXPECT_EQ(fileManager.openedFolders(), QStringList{purchases.filePath(QStringLiteral("2027-01-15"))});

    struct Expected {
        QString name;
        QStringList models;
        QString pairs, size33, size48;
        QString size33WithFirst100;  // the sums are formulas: they follow a change
    };
    for (const Expected& e : {Expected{QStringLiteral("甲"), {QStringLiteral("0805"), QStringLiteral("D-2")}, "44", "4", "40", "103"},
                              Expected{QStringLiteral("乙"), {QStringLiteral("D-1")}, "22", "2", "20", "100"},
                              Expected{QStringLiteral("未填供应商"), {QStringLiteral("E-1")}, "44", "4", "40", "100"}}) {
        const QString base = purchases.filePath(QStringLiteral("2027-01-15/%1_2027-01-15").arg(e.name));
        QFile pdf(base + QStringLiteral(".pdf"));
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << e.name.toStdString();
        const QByteArray pdfBytes = pdf.readAll();
        EXPECT_TRUE(pdfBytes.startsWith("%PDF")) << e.name.toStdString();
        // One landscape page (the page dictionaries are not compressed).
        int pages = 0;
        for (auto it = QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]")).globalMatch(QString::fromLatin1(pdfBytes));
             it.hasNext(); it.next())
            ++pages;
        EXPECT_EQ(pages, 1) << e.name.toStdString();
        const QRegularExpressionMatch box =
            QRegularExpression(QStringLiteral("/MediaBox\\s*\\[\\s*0 0 ([0-9.]+) ([0-9.]+)")).match(QString::fromLatin1(pdfBytes));
        ASSERT_TRUE(box.hasMatch()) << e.name.toStdString();
        EXPECT_GT(box.captured(1).toDouble(), box.captured(2).toDouble()) << e.name.toStdString();

        auto book = office->openWorkbook(base + QStringLiteral(".xlsx"));
        ASSERT_EQ(book->sheetCount(), 1);
        auto sheet = book->sheet(1);
        EXPECT_EQ(sheet->name(), e.name);
        EXPECT_EQ(sheet->cellText(1, 1), QStringLiteral("鞋底采购单"));
        EXPECT_EQ(sheet->cellText(2, 2), e.name);
        EXPECT_EQ(sheet->cellText(3, 2), QStringLiteral("2027年1月15日"));
        EXPECT_EQ(sheet->cellText(5, 3), QStringLiteral("33"));
        QStringList read;
        for (int row = 6; row < 6 + e.models.size(); ++row)
            read << sheet->cellText(row, 1);
        EXPECT_EQ(read, e.models);
        const int totals = 6 + int(e.models.size());
        EXPECT_EQ((QStringList{sheet->cellText(totals, 1), sheet->cellText(totals, 2), sheet->cellText(totals, 3),
                               sheet->cellText(totals, 18)}),
                  (QStringList{QStringLiteral("合计"), e.pairs, e.size33, e.size48}));
        EXPECT_EQ(sheet->usedRowCount(), totals);
        EXPECT_EQ(sheet->orientation(), spreadsheet::PageOrientation::Landscape);
        sheet->setCellNumber(6, 3, 100);
        sheet->flush();
        sheet->refresh();
        EXPECT_EQ(sheet->cellText(totals, 3), e.size33WithFirst100);
        book->close();
    }
}

}  // namespace
