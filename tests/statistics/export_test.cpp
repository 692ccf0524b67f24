// The export and print routines over a fake office: which questions are asked
// in which order, what Cancel leaves behind, what reaches the sheet.

#include "orders/fake_spreadsheet.h"
#include "platform/scripted_dialogs.h"
#include "qt_printing.h"
#include "statistics/export_grids.h"
#include "statistics/export_texts.h"
#include "statistics/print_template.h"
#include "statistics/supplier_export.h"
#include "statistics/supplier_sheets.h"
#include "platform/error_display.h"
#include "platform/file_manager.h"
#include "statistics_fixture.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

namespace {

using platform::MessageIcon;
using platform::MessageKind;

// A fixed day that is not today, and how the template writes it, whatever the desktop's language.
const QDate Today(2025, 3, 7);
const QString TodayInFull = QStringLiteral("2025年3月7日");

class ExportRun {
public:
    explicit ExportRun(int records) {
        tables.fillStatistics(records);
        services.office = [this]() -> spreadsheet::Application& {
            office.connect();
            return office;
        };
        services.dialogs = &dialogs;
        services.status = &status;
        services.hasPrinter = [this] { return printer; };
        services.today = [] { return Today; };
    }

    FakeWorksheet& sheet() { return *office.sheet; }

    StatisticsTables tables;
    FakeSpreadsheet office;
    platform::ScriptedDialogs dialogs;
    RecordingSink status;
    statistics::ExportServices services;
    bool printer = true;
};

void queueAnswers(const std::vector<bool>& answers, platform::ScriptedDialogs& dialogs) {
    for (bool a : answers)
        dialogs.queueAnswer(a);
}

struct ExportCase {
    const char* name;
    int records;
    std::vector<bool> answers;
    QStringList questions;
    bool exported;
};

void PrintTo(const ExportCase& c, std::ostream* os) { *os << c.name; }

class ExportQuestions : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ExportQuestions, AskInOrderAndCancelLeavesNothing) {
    const ExportCase& c = GetParam();
    ExportRun run(c.records);
    queueAnswers(c.answers, run.dialogs);
    statistics::exportGrids({run.tables.grid()}, run.services);

    EXPECT_EQ(run.dialogs.messageTexts(), c.questions);
    for (const auto& m : run.dialogs.messages()) {
        EXPECT_EQ(m.caption, QStringLiteral("提示信息"));
        EXPECT_EQ(m.icon, MessageIcon::Question);
        EXPECT_EQ(m.buttons, platform::MessageButtons::OkCancel);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(run.office.opened.size(), c.exported ? 1u : 0u);
    EXPECT_EQ(run.office.isVisible(), c.exported);
    if (!c.exported) {
        EXPECT_EQ(run.office.connects, 0);
        return;
    }
    EXPECT_EQ(run.sheet().name(), QStringLiteral("DBGrid2"));
    EXPECT_EQ(run.sheet().usedRowCount(), c.records + 1);
    EXPECT_EQ(run.sheet().cellText(1, 1), QStringLiteral("供应商"));
    EXPECT_EQ(run.sheet().cellText(1, 19), QStringLiteral("48"));
    EXPECT_EQ(run.sheet().cellText(c.records + 1, 1), statisticsRecord(c.records)[0]);
}

const QString Confirm = QStringLiteral("你真的要导出数据吗？");
const QString Over400 = QStringLiteral("数据超过400行，是否继续？");

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportQuestions,
    ::testing::Values(ExportCase{"CancelFirst", 3, {false}, {Confirm}, false},
                      ExportCase{"Exactly400", 400, {true}, {Confirm}, true},
                      ExportCase{"Over400", 401, {true, true}, {Confirm, Over400}, true},
                      ExportCase{"Over400Cancel", 401, {true, false}, {Confirm, Over400}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExportSheet, TitleRowFormatsFitsAndNumbers) {
    ExportRun run(2);
    statistics::GridExport grid = run.tables.grid();
    // A text-format title among the columns keeps that column's numbers as text.
    grid.titles[2] = QStringLiteral("批号");
    statistics::exportGrids({grid}, run.services);

    FakeWorksheet& sheet = run.sheet();
    EXPECT_EQ(sheet.formats, (QMap<int, QString>{{3, QStringLiteral("@")}}));
    for (int c = 1; c <= 19; ++c)
        EXPECT_EQ(sheet.fits.value(c), 2) << "column " << c;  // after the titles and after the data
    struct Cell {
        int row, column;
        QString text;
        bool number;
    };
    for (const Cell& cell : {Cell{2, 1, QStringLiteral("温州鞋底供应有限公司1"), false},
                             Cell{2, 2, QStringLiteral("0801"), false},  // leading zero: a model, not a number
                             Cell{2, 3, QStringLiteral("11"), false},    // the "@" column
                             Cell{2, 7, QStringLiteral("10"), true},
                             Cell{3, 8, QStringLiteral("2"), true}}) {
        EXPECT_EQ(sheet.cellText(cell.row, cell.column), cell.text);
        EXPECT_EQ(sheet.numberCells.contains({cell.row, cell.column}), cell.number) << cell.row << "," << cell.column;
    }
}

TEST(ExportSheet, WholeNumbersOnly) {
    struct Case {
        QString text;
        bool textColumn;
        bool number;
    };
    FakeWorksheet sheet;
    int row = 0;
    for (const Case& c : {Case{"25", false, true}, Case{"-3", false, true}, Case{"0", false, true},
                          Case{"25", true, false}, Case{"2.5", false, false}, Case{"0805", false, false},
                          Case{"1e5", false, false}, Case{"", false, false}, Case{"12a", false, false},
                          Case{"1234567890123456", false, false}}) {
        statistics::writeFieldText(sheet, ++row, 1, c.text, c.textColumn);
        EXPECT_EQ(sheet.numberCells.contains({row, 1}), c.number) << c.text.toStdString();
        EXPECT_EQ(sheet.cellText(row, 1), c.text);
    }
}

struct FinishCase {
    const char* name;
    bool printer;
    bool failPageSetup;
    QStringList messages;
    QString footer;
};

void PrintTo(const FinishCase& c, std::ostream* os) { *os << c.name; }

class ExportFinish : public ::testing::TestWithParam<FinishCase> {};

TEST_P(ExportFinish, PageSetupOnlyWithAPrinterAndTheDataKept) {
    const FinishCase& c = GetParam();
    ExportRun run(3);
    run.printer = c.printer;
    run.sheet().failPageSetup = c.failPageSetup;
    statistics::exportGrids({run.tables.grid()}, run.services);

    EXPECT_EQ(run.dialogs.messageTexts(), c.messages);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(run.office.opened.size(), 1u);
    EXPECT_TRUE(run.office.opened[0]->isOpen());
    EXPECT_EQ(run.sheet().usedRowCount(), 4);
    EXPECT_EQ(run.sheet().footer, c.footer);
    const bool setUp = c.printer && !c.failPageSetup;
    EXPECT_EQ(run.sheet().orientation(), setUp ? spreadsheet::PageOrientation::Landscape : spreadsheet::PageOrientation::Portrait);
    EXPECT_EQ(run.sheet().gridLines, setUp);
    EXPECT_EQ(run.sheet().centredHorizontally && run.sheet().centredVertically, setUp);
    if (!run.dialogs.messages().empty() && c.failPageSetup) {
        EXPECT_EQ(run.dialogs.messages().back().icon, MessageIcon::Error);
        EXPECT_EQ(run.dialogs.messages().back().kind, MessageKind::Error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportFinish,
    ::testing::Values(FinishCase{"Printer", true, false, {Confirm}, QStringLiteral("Tavrel-Quorin下载")},
                      FinishCase{"NoPrinter", false, false, {Confirm}, QString()},
                      FinishCase{"PrinterFails", true, true, {Confirm, QStringLiteral("导出异常，请检查打印机！")}, QString()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExportOffice, UnreachableOfficeIsReported) {
    struct Case {
        const char* name;
        std::function<void(ExportRun&)> run;
        QStringList questions;
    };
    const QString print = QStringLiteral("你真的要打印吗？");
    for (const Case& c : {Case{"export", [](ExportRun& r) { statistics::exportGrids({r.tables.grid()}, r.services); }, {Confirm}},
                          Case{"print", [](ExportRun& r) {
                                   statistics::fillPrintTemplate(QStringLiteral("t.xls"), r.tables.grid(), 5, 12, r.services);
                               }, {print}}}) {
        ExportRun run(1);
        run.office.failConnect = true;
        c.run(run);
        EXPECT_EQ(run.dialogs.messageTexts(), c.questions + QStringList{QStringLiteral("与EXCEL文件连接失败!")}) << c.name;
        EXPECT_EQ(run.dialogs.messages().back().icon, MessageIcon::Warning) << c.name;
        EXPECT_EQ(run.dialogs.messages().back().caption, QStringLiteral("提示信息")) << c.name;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << c.name;
        EXPECT_TRUE(run.office.opened.empty()) << c.name;
    }
}

struct PrintCase {
    const char* name;
    int records;
    std::vector<bool> answers;
    QStringList questions;
    bool filled;
    int inserted;
};

void PrintTo(const PrintCase& c, std::ostream* os) { *os << c.name; }

class PrintQuestions : public ::testing::TestWithParam<PrintCase> {};

const QString ConfirmPrint = QStringLiteral("你真的要打印吗？");
const QString Over12 = QStringLiteral("数据超过12行，是否继续？");
const QString Insert12 = QStringLiteral("数据超过12行，目标表格预设行数不够，是否自动插入？");

TEST_P(PrintQuestions, AskInOrderInsertWhatDoesNotFit) {
    const PrintCase& c = GetParam();
    ExportRun run(c.records);
    // The template as shipped: titles in row 5, totals in row 18 (column A empty).
    run.sheet().setCellText(5, 1, QStringLiteral("供应商"));
    run.sheet().setCellText(18, 2, QStringLiteral("合计"));
    queueAnswers(c.answers, run.dialogs);
    statistics::fillPrintTemplate(QStringLiteral("template.xls"), run.tables.grid(), 5, 12, run.services);

    EXPECT_EQ(run.dialogs.messageTexts(), c.questions);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    if (!c.filled) {
        EXPECT_TRUE(run.office.opened.empty());
        EXPECT_EQ(run.sheet().cellText(6, 1), QString());
        EXPECT_EQ(run.sheet().cellText(3, 3), QString());
        return;
    }
    ASSERT_EQ(run.office.opened.size(), 1u);
    EXPECT_TRUE(run.office.isVisible());
    EXPECT_EQ(run.sheet().insertedRows, c.inserted);
    EXPECT_LE(run.sheet().insertCalls, 1);
    EXPECT_EQ(run.sheet().cellText(3, 3), TodayInFull);
    EXPECT_EQ(run.sheet().footer, QStringLiteral("Tavrel-Quorin下载"));
    EXPECT_EQ(run.sheet().cellText(5, 1), QStringLiteral("供应商"));
    for (int i = 1; i <= c.records; ++i)
        EXPECT_EQ(run.sheet().cellText(5 + i, 19), statisticsRecord(i)[18]) << "record " << i;
    EXPECT_EQ(run.sheet().cellText(5 + c.records, 1), statisticsRecord(c.records)[0]);
    EXPECT_EQ(run.sheet().cellText(6 + c.records, 1), QString());
    // The totals row moved down by the rows inserted; without them row 18 holds data.
    if (c.inserted) {
        EXPECT_EQ(run.sheet().cellText(18 + c.inserted, 2), QStringLiteral("合计"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintQuestions,
    ::testing::Values(PrintCase{"ThreeRows", 3, {true}, {ConfirmPrint}, true, 0},
                      PrintCase{"CancelFirst", 3, {false}, {ConfirmPrint}, false, 0},
                      PrintCase{"TwelveRows", 12, {true}, {ConfirmPrint}, true, 0},
                      PrintCase{"ThirteenInsert", 13, {true, true, true}, {ConfirmPrint, Over12, Insert12}, true, 1},
                      PrintCase{"ThirteenNoInsert", 13, {true, true, false}, {ConfirmPrint, Over12, Insert12}, true, 0},
                      PrintCase{"ThirteenCancel", 13, {true, false}, {ConfirmPrint, Over12}, false, 0},
                      PrintCase{"FortyInsert", 40, {true, true, true}, {ConfirmPrint, Over12, Insert12}, true, 28}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PrintTemplate, NoPrinterNoFooterAndFailureKeepsTheData) {
    struct Case {
        const char* name;
        bool printer, fail;
        QStringList messages;
        QString footer;
    };
    for (const Case& c : {Case{"no printer", false, false, {ConfirmPrint}, QString()},
                          Case{"printer fails", true, true, {ConfirmPrint, QStringLiteral("导出异常，请检查打印机！")}, QString()}}) {
        ExportRun run(2);
        run.printer = c.printer;
        run.sheet().failPageSetup = c.fail;
        statistics::fillPrintTemplate(QStringLiteral("template.xls"), run.tables.grid(), 5, 12, run.services);
        EXPECT_EQ(run.dialogs.messageTexts(), c.messages) << c.name;
        EXPECT_EQ(run.sheet().footer, c.footer) << c.name;
        EXPECT_EQ(run.sheet().cellText(7, 1), statisticsRecord(2)[0]) << c.name;
        ASSERT_EQ(run.office.opened.size(), 1u);
        EXPECT_TRUE(run.office.opened[0]->isOpen()) << c.name;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << c.name;
    }
}

struct ClearCase {
    const char* name;
    int filledRows;      // rows from 6 with column 1 filled
    int generatedRows;   // rows from 2 whose column 1 always reads filled
    QString lastText;
    int clearedTexts;
};

void PrintTo(const ClearCase& c, std::ostream* os) { *os << c.name; }

class ClearRows : public ::testing::TestWithParam<ClearCase> {};

TEST_P(ClearRows, EmptiesDownToTheFirstEmptyFirstCell) {
    const ClearCase& c = GetParam();
    FakeWorksheet sheet;
    sheet.generatedRows = c.generatedRows;
    sheet.setCellText(5, 1, QStringLiteral("供应商"));
    for (int row = 6; row < 6 + c.filledRows; ++row) {
        sheet.setCellText(row, 1, QStringLiteral("S%1").arg(row));
        sheet.setCellText(row, 20, QStringLiteral("x"));
    }
    sheet.setCellText(6 + c.filledRows, 2, QStringLiteral("合计"));
    RecordingSink status;
    statistics::clearTemplateRows(sheet, 20, status);

    ASSERT_FALSE(status.progressTexts().isEmpty());
    EXPECT_EQ(status.progressTexts().back(), c.lastText);
    EXPECT_EQ(status.progressTexts().size() - 1, c.clearedTexts);
    if (c.filledRows || c.generatedRows) {
        EXPECT_EQ(status.progressTexts().front(), QStringLiteral("在6::第4行检测到空值，清空已结束！"));
    }
    if (c.generatedRows)
        return;  // the generated first cells always read filled
    EXPECT_EQ(sheet.cellText(5, 1), QStringLiteral("供应商"));
    EXPECT_EQ(sheet.cellText(6 + c.filledRows, 2), QStringLiteral("合计"));
    for (int row = 6; row < 6 + c.filledRows; ++row)
        EXPECT_EQ(sheet.cellText(row, 20), QString()) << row;
    EXPECT_EQ(status.eventTurns, 20 * c.filledRows);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClearRows,
    ::testing::Values(ClearCase{"Empty", 0, 0, QStringLiteral("在第一列第4行检测到空值，清空已结束！"), 0},
                      ClearCase{"FiveOldRows", 5, 0, QStringLiteral("在第一列第9行检测到空值，清空已结束！"), 10},
                      ClearCase{"HundredThousand", 0, 100010, QStringLiteral("行数大于十万行，清空已结束！"), 99997}),
    [](const auto& info) { return std::string(info.param.name); });

// The export by supplier. The day is not today's, so that nothing depends on
// the clock.
const QDate PurchaseDay(2027, 1, 15);

class SupplierRun {
public:
    // Rows of supplier and model; the size 33 of row i (from 1) is i.
    explicit SupplierRun(const std::vector<std::pair<QString, QString>>& rows) {
        const QStringList columns = statisticsColumns();
        std::vector<TableFolder::Row> records;
        int i = 0;
        for (const auto& [supplier, model] : rows) {
            TableFolder::Row record{{columns[0], supplier}, {columns[1], model}};
            ++i;
            for (int c = 2; c < columns.size(); ++c)
                record[columns[c]] = c <= 3 ? i : 0;
            records.push_back(record);
        }
        tables.storeRows(QStringLiteral("xdtj.db"), records);
        tables.statistics->open();
        services.office = [this]() -> spreadsheet::Application& {
            office.connect();
            return office;
        };
        services.dialogs = &dialogs;
        services.status = &status;
        services.hasPrinter = [] { return false; };
        services.today = [] { return PurchaseDay; };
        dialogs.setDefaultAnswer(true);
    }

    statistics::SupplierExportResult run() {
        return statistics::exportBySupplier(tables.grid(), tables.dir.filePath(QStringLiteral("采购单")), services);
    }
    QString day() const { return tables.dir.filePath(QStringLiteral("采购单/2027-01-15")); }
    QStringList files() const {
        QStringList names = QDir(day()).entryList(QDir::Files);
        names.sort();
        return names;
    }

    // "sheet name: model model ..." of each workbook made, with the models
    // read down column A from the first data row to the totals row.
    QStringList workbooks() const {
        QStringList books;
        for (const auto& book : office.hidden) {
            FakeWorksheet& sheet = *book->fakeSheet();
            QStringList models;
            for (int row = 6; row < 100 && sheet.cellText(row, 1) != QStringLiteral("合计"); ++row)
                models << sheet.cellText(row, 1);
            books << sheet.name() + QStringLiteral(": ") + models.join(QLatin1Char(' '));
        }
        return books;
    }

    StatisticsTables tables;
    FakeSpreadsheet office;
    platform::ScriptedDialogs dialogs;
    RecordingSink status;
    statistics::ExportServices services;
    platform::RecordingFileManager fileManager;
};

QStringList pairOfFiles(const QStringList& bases) {
    QStringList files;
    for (const QString& base : bases)
        files << base + QStringLiteral(".pdf") << base + QStringLiteral(".xlsx");
    files.sort();
    return files;
}

struct SupplierCase {
    const char* name;
    std::vector<std::pair<QString, QString>> rows;
    int exports;
    QStringList workbooks;  // of all exports, in the order made
    QStringList bases;      // file names without extension
};

void PrintTo(const SupplierCase& c, std::ostream* os) { *os << c.name; }

class SupplierExport : public ::testing::TestWithParam<SupplierCase> {};

TEST_P(SupplierExport, OneWorkbookAndPdfPerSupplierEveryRowOnceNothingReplaced) {
    const SupplierCase& c = GetParam();
    SupplierRun run(c.rows);
    for (int n = 1; n <= c.exports; ++n) {
        const statistics::SupplierExportResult result = run.run();
        EXPECT_EQ(result.suppliers * 2, result.files.size());
    }
    EXPECT_EQ(run.workbooks(), c.workbooks);
    EXPECT_EQ(run.files(), pairOfFiles(c.bases));
    for (const auto& book : run.office.hidden)
        EXPECT_FALSE(book->isOpen()) << "every workbook is closed";
    EXPECT_TRUE(run.office.opened.empty()) << "no workbook is shown";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(run.dialogs.messageTexts(), QStringList(c.exports, QStringLiteral("你真的要按供应商导出吗？")));
    const int suppliers = int(c.workbooks.size()) / c.exports;
    EXPECT_EQ(run.status.progressTexts(), QStringList(c.exports, QStringLiteral("已导出%1家供应商的采购单").arg(suppliers)));
    EXPECT_EQ(run.fileManager.openedFolders(), suppliers ? QStringList(c.exports, run.day()) : QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SupplierExport,
    ::testing::Values(
        SupplierCase{"EmptyAndUnregistered",
                     {{"鑫达", "D-1"}, {"", "E-1"}, {"未登记", "未登记"}, {"  ", "E-2"}, {"鑫达", "0805"}},
                     1,
                     {"鑫达: D-1 0805", "未填供应商: E-1 E-2", "未登记: 未登记"},
                     {"鑫达_2027-01-15", "未填供应商_2027-01-15", "未登记_2027-01-15"}},
        SupplierCase{"QuotesAndSlashes",
                     {{"A/B \"C\"", "M-1"}, {"A_B _C_", "M-2"}, {"[x]:y?", "M-3"}},
                     1,
                     {"A_B \"C\": M-1", "A_B _C_: M-2", "_x__y_: M-3"},
                     {"A_B _C__2027-01-15", "A_B _C__2027-01-15 (2)", "[x]_y__2027-01-15"}},
        SupplierCase{"SecondExportSameDay",
                     {{"鑫达", "D-1"}, {"", "E-1"}},
                     2,
                     {"鑫达: D-1", "未填供应商: E-1", "鑫达: D-1", "未填供应商: E-1"},
                     {"鑫达_2027-01-15", "未填供应商_2027-01-15", "鑫达_2027-01-15 (2)", "未填供应商_2027-01-15 (2)"}},
        SupplierCase{"NoRows", {}, 1, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SupplierNames, SafeForFilesAndSheets) {
    struct Case {
        QString label, file, sheet;
    };
    const QString longName(100, QChar(u'鞋'));
    for (const Case& c : {Case{"鑫达", "鑫达", "鑫达"},
                          Case{"a<b>c:d\"e/f\\g|h?i*j", "a_b_c_d_e_f_g_h_i_j", "a<b>c_d\"e_f_g|h_i_j"},
                          Case{" 鑫\t达 ", "鑫_达", " 鑫_达 "},
                          Case{"'A'", "'A'", "A"},
                          Case{"///", "___", "___"},
                          Case{"  ?", "_", "  _"},
                          Case{longName, longName.left(80), longName.left(31)}}) {
        EXPECT_EQ(statistics::safeFileName(c.label), c.file) << c.label.toStdString();
        EXPECT_EQ(statistics::safeSheetName(c.label), c.sheet) << c.label.toStdString();
    }
}

TEST(SupplierSheet, TitleSupplierDateTotalsAndPrintSettings) {
    SupplierRun run({{"鑫达", "0805"}, {"鑫达", "D-2"}});
    run.run();
    ASSERT_EQ(run.office.hidden.size(), 1u);
    FakeWorksheet& sheet = *run.office.hidden[0]->fakeSheet();
    struct Cell {
        int row, column;
        QString text;
        bool number;
    };
    for (const Cell& cell : {Cell{1, 1, QStringLiteral("鞋底采购单"), false}, Cell{2, 2, QStringLiteral("鑫达"), false},
                             Cell{3, 2, QStringLiteral("2027年1月15日"), false}, Cell{5, 1, QStringLiteral("鞋底型号"), false},
                             Cell{5, 2, QStringLiteral("双数"), false}, Cell{5, 3, QStringLiteral("33"), false},
                             Cell{5, 18, QStringLiteral("48"), false}, Cell{6, 1, QStringLiteral("0805"), false},
                             Cell{6, 2, QStringLiteral("1"), true}, Cell{7, 3, QStringLiteral("2"), true},
                             Cell{7, 18, QStringLiteral("0"), true}, Cell{8, 1, QStringLiteral("合计"), false},
                             Cell{8, 2, QStringLiteral("=SUM(B6:B7)"), false}, Cell{8, 18, QStringLiteral("=SUM(R6:R7)"), false},
                             Cell{9, 1, QString(), false}}) {
        EXPECT_EQ(sheet.cellText(cell.row, cell.column), cell.text) << cell.row << "," << cell.column;
        EXPECT_EQ(sheet.numberCells.contains({cell.row, cell.column}), cell.number) << cell.row << "," << cell.column;
    }
    EXPECT_EQ(sheet.formats.value(1), QStringLiteral("@"));
    EXPECT_EQ(sheet.orientation(), spreadsheet::PageOrientation::Landscape);
    EXPECT_EQ(sheet.pagesWide, 1);
    EXPECT_TRUE(sheet.gridLines);
}

TEST(SupplierExportFault, EndsWithTheFaultAndNamesTheSuppliersWritten) {
    struct Case {
        const char* name;
        QString failingFile;
        QString written;
        QStringList files;
    };
    for (const Case& c : {Case{"first workbook", QStringLiteral("甲_2027-01-15.xlsx"), QStringLiteral("没有写出任何供应商的采购单。"), {}},
                          Case{"second PDF", QStringLiteral("乙_2027-01-15.pdf"), QStringLiteral("已写出1家供应商的采购单：甲"),
                               pairOfFiles({QStringLiteral("甲_2027-01-15")})}}) {
        SupplierRun run({{"甲", "D-1"}, {"乙", "D-2"}, {"丙", "D-3"}});
        run.office.failStore = [&](const QString& path) {
            if (path.endsWith(c.failingFile))
                throw spreadsheet::Error(QStringLiteral("磁盘已满"), spreadsheet::Error::Operation::Save);
        };
        EXPECT_FALSE(platform::runGuarded([&] { run.run(); })) << c.name;
        EXPECT_EQ(run.dialogs.messageTexts(),
                  (QStringList{QStringLiteral("你真的要按供应商导出吗？"), QStringLiteral("磁盘已满\n") + c.written}))
            << c.name;
        EXPECT_EQ(run.files(), c.files) << c.name;
        EXPECT_FALSE(run.office.hidden.back()->isOpen()) << c.name;
        EXPECT_EQ(run.office.hidden.size(), c.files.size() / 2 + 1) << c.name;
        EXPECT_TRUE(run.fileManager.openedFolders().isEmpty()) << c.name;
        EXPECT_TRUE(run.status.progressTexts().isEmpty()) << c.name;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << c.name;
    }
}

}  // namespace
