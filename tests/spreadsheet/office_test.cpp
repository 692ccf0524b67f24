// Cells, sheets and files through a real headless LibreOffice.

#include "office_environment.h"

#include <QFile>

#include <functional>
#include <gtest/gtest.h>

using namespace spreadsheet;

namespace {

class OfficeTest : public testing::Test {
protected:
    void SetUp() override
    {
        app = createLibreOfficeApplication(OfficeEnvironment::options());
        app->setSheetsInNewWorkbook(1);
    }
    void TearDown() override { app->quit(); }

    std::unique_ptr<Application> app;
};

// A cell as the tests write it: text, number, or a number in a date column.
struct Written {
    const char* name;
    enum { Text, Number, Date, Nothing } kind;
    QString text;
    double number;
    QString expected;
};

const Written writtenCells[] = {
    {"whole number", Written::Number, {}, 25, "25"},
    {"fraction", Written::Number, {}, 2.5, "2.5"},
    {"negative fraction", Written::Number, {}, -0.125, "-0.125"},
    {"large number", Written::Number, {}, 1234567, "1234567"},
    {"digits kept as text", Written::Text, "0805", 0, "0805"},
    {"chinese text", Written::Text, QStringLiteral("黑色皮面"), 0, QStringLiteral("黑色皮面")},
    {"text with decimal comma", Written::Text, "2,5", 0, "2,5"},
    {"date", Written::Date, {}, 45000, "2023-03-15"},
    {"date with time", Written::Date, {}, 45000.5, "2023-03-15"},
    {"empty", Written::Nothing, {}, 0, ""},
};

constexpr int dateColumn = 3;

// Writes the cells of writtenCells one per row from row 2 (text and numbers in
// column 2, dates in the date column).
void writeCells(Worksheet& sheet)
{
    sheet.setColumnNumberFormat(dateColumn, QStringLiteral("YYYY-MM-DD"));
    int row = 2;
    for (const Written& w : writtenCells) {
        switch (w.kind) {
        case Written::Text:
            sheet.setCellText(row, 2, w.text);
            break;
        case Written::Number:
            sheet.setCellNumber(row, 2, w.number);
            break;
        case Written::Date:
            sheet.setCellNumber(row, dateColumn, w.number);
            break;
        case Written::Nothing:
            break;
        }
        ++row;
    }
}

void expectCells(Worksheet& sheet, const char* where)
{
    int row = 2;
    for (const Written& w : writtenCells) {
        const int column = w.kind == Written::Date ? dateColumn : 2;
        EXPECT_EQ(sheet.cellText(row, column), w.expected) << w.name << " (" << where << ")";
        ++row;
    }
}

} // namespace

TEST_F(OfficeTest, CellTextsReadBackFromTheOffice)
{
    auto sheet = app->addWorkbook()->sheet(1);
    writeCells(*sheet);
    expectCells(*sheet, "before sending");
    sheet->refresh(); // sends the writes and reads the sheet anew
    expectCells(*sheet, "read from the office");
    EXPECT_EQ(sheet->cellText(1, 1), "");
    EXPECT_EQ(sheet->usedRowCount(), 1 + static_cast<int>(std::size(writtenCells)) - 1);
}

class SavedFormatTest : public OfficeTest, public testing::WithParamInterface<const char*> {};

TEST_P(SavedFormatTest, SavedWorkbookReopensWithItsCells)
{
    const QString path = OfficeEnvironment::scratchPath(QStringLiteral("saved.") + GetParam());
    {
        app->setSheetsInNewWorkbook(2);
        auto book = app->addWorkbook();
        auto sheet = book->sheet(1);
        sheet->setName(QStringLiteral("DBGrid2"));
        sheet->setCellText(1, 1, QStringLiteral("供应商"));
        writeCells(*sheet);
        book->saveAs(path);
        EXPECT_EQ(book->filePath(), path);
        book->close();
        EXPECT_FALSE(book->isOpen());
        EXPECT_THROW(sheet->cellText(1, 1), Error);
    }
    auto reopened = app->openWorkbook(path);
    EXPECT_EQ(reopened->sheetCount(), 2);
    auto sheet = reopened->sheet(QStringLiteral("DBGrid2"));
    EXPECT_EQ(sheet->cellText(1, 1), QStringLiteral("供应商"));
    expectCells(*sheet, GetParam());
    EXPECT_TRUE(reopened->activeSheetIsWorksheet());
    EXPECT_EQ(reopened->activeSheet()->name(), "DBGrid2");
}

INSTANTIATE_TEST_SUITE_P(Formats, SavedFormatTest, testing::Values("xls", "xlsx", "ods"));

TEST_F(OfficeTest, LargeSheetIsReadCorrectlyAcrossBlockEdges)
{
    constexpr int rows = 5000;
    constexpr int columns = 22;
    auto sheet = app->addWorkbook()->sheet(1);
    for (int r = 1; r <= rows; ++r) {
        sheet->setCellText(r, 1, QStringLiteral("B%1").arg(r, 5, 10, QLatin1Char('0')));
        for (int c = 2; c <= columns; ++c)
            sheet->setCellNumber(r, c, r * 100 + c);
    }
    sheet->refresh();
    EXPECT_EQ(sheet->usedRowCount(), rows);
    EXPECT_EQ(sheet->usedColumnCount(), columns);
    for (int r : {1, 2, 4095, 4096, 4097, 4999, 5000}) {
        EXPECT_EQ(sheet->cellText(r, 1), QStringLiteral("B%1").arg(r, 5, 10, QLatin1Char('0'))) << r;
        EXPECT_EQ(sheet->cellText(r, 2), QString::number(r * 100 + 2)) << r;
        EXPECT_EQ(sheet->cellText(r, columns), QString::number(r * 100 + columns)) << r;
        EXPECT_EQ(sheet->cellText(r, columns + 1), "") << r;
    }
    EXPECT_EQ(sheet->cellText(rows + 1, 1), "");
}

TEST_F(OfficeTest, ClearedCellsAreEmptyInTheOffice)
{
    auto sheet = app->addWorkbook()->sheet(1);
    for (int r = 1; r <= 10; ++r)
        sheet->setCellText(r, 1, QStringLiteral("x"));
    sheet->refresh();
    ASSERT_EQ(sheet->usedRowCount(), 10);
    // Read, then empty, then read again, as the template clearing does.
    for (int r = 6; r <= 10; ++r) {
        ASSERT_EQ(sheet->cellText(r, 1), "x");
        if (r % 2 == 0)
            sheet->clearCell(r, 1);
        else
            sheet->setCellText(r, 1, QString());
        EXPECT_EQ(sheet->cellText(r, 1), "");
    }
    sheet->refresh();
    EXPECT_EQ(sheet->usedRowCount(), 5);
    EXPECT_EQ(sheet->cellText(6, 1), "");
}

TEST_F(OfficeTest, InsertedRowPushesRowsDown)
{
    auto sheet = app->addWorkbook()->sheet(1);
    for (int r = 7; r <= 10; ++r)
        sheet->setCellText(r, 1, QStringLiteral("row %1").arg(r));
    EXPECT_EQ(sheet->cellText(9, 1), "row 9");
    sheet->insertRow(9);
    EXPECT_EQ(sheet->cellText(8, 1), "row 8");
    EXPECT_EQ(sheet->cellText(9, 1), "");
    EXPECT_EQ(sheet->cellText(10, 1), "row 9");
    EXPECT_EQ(sheet->cellText(11, 1), "row 10");
}

TEST_F(OfficeTest, SheetsByIndexAndName)
{
    app->setSheetsInNewWorkbook(3);
    auto book = app->addWorkbook();
    ASSERT_EQ(book->sheetCount(), 3);
    book->sheet(2)->setName(QStringLiteral("0"));
    EXPECT_EQ(book->sheet(QStringLiteral("0")), book->sheet(2)); // one object per sheet
    EXPECT_EQ(book->sheet(2)->name(), QStringLiteral("0"));
    EXPECT_EQ(book->sheet(book->sheet(3)->name()), book->sheet(3));
    EXPECT_THROW(book->sheet(0), Error);
    EXPECT_THROW(book->sheet(4), Error);
    EXPECT_THROW(book->sheet(QStringLiteral("missing")), Error);
    EXPECT_TRUE(book->activeSheetIsWorksheet());
    EXPECT_EQ(book->activeSheet(), book->sheet(1));
    EXPECT_EQ(app->workbookCount(), 1);
    EXPECT_EQ(app->workbook(1), book);
    EXPECT_THROW(app->workbook(2), Error);
}

TEST_F(OfficeTest, ExportFormattingAndPageSetupAreReadBackFromTheOffice)
{
    auto sheet = app->addWorkbook()->sheet(1);
    sheet->setColumnNumberFormat(1, QStringLiteral("@"));
    sheet->setCellText(1, 1, QStringLiteral("鞋底型号 0805 很长的一段文字"));
    sheet->setCellText(2, 1, QStringLiteral("25"));
    sheet->setCellText(1, 2, QStringLiteral("1"));
    sheet->setCellText(1, 3, QStringLiteral("2"));
    const int unfitted = sheet->columnWidth(1);
    ASSERT_GT(unfitted, 0);
    EXPECT_EQ(sheet->columnWidth(2), unfitted);
    sheet->autoFitColumn(1);
    sheet->autoFitColumns(2, 3);
    EXPECT_GT(sheet->columnWidth(1), unfitted);  // the long title fits
    EXPECT_LT(sheet->columnWidth(2), unfitted);  // one digit needs less than the default
    EXPECT_LT(sheet->columnWidth(3), unfitted);
    EXPECT_EQ(sheet->columnWidth(4), unfitted);

    EXPECT_NE(sheet->centerFooter(), QStringLiteral("Tavrel-Quorin下载"));
    EXPECT_FALSE(sheet->centerHorizontally());
    EXPECT_FALSE(sheet->centerVertically());
    EXPECT_FALSE(sheet->printGridLines());
    EXPECT_EQ(sheet->orientation(), PageOrientation::Portrait);
    EXPECT_EQ(sheet->fitToPagesWide(), 0);
    sheet->setCenterFooter(QStringLiteral("Tavrel-Quorin下载"));
    sheet->setCenterHorizontally(true);
    sheet->setCenterVertically(true);
    sheet->setPrintGridLines(true);
    sheet->setOrientation(PageOrientation::Landscape);
    sheet->setFitToPagesWide(1);
    EXPECT_EQ(sheet->centerFooter(), QStringLiteral("Tavrel-Quorin下载"));
    EXPECT_TRUE(sheet->centerHorizontally());
    EXPECT_TRUE(sheet->centerVertically());
    EXPECT_TRUE(sheet->printGridLines());
    EXPECT_EQ(sheet->orientation(), PageOrientation::Landscape);
    EXPECT_EQ(sheet->fitToPagesWide(), 1);
    sheet->setCenterVertically(false);
    EXPECT_TRUE(sheet->centerHorizontally());
    EXPECT_FALSE(sheet->centerVertically());

    app->setVisible(true);
    sheet->refresh();
    EXPECT_EQ(sheet->cellText(2, 1), "25");
}

// Bytes that no office filter should be left to guess at: the file's own
// bytes tell that it is no workbook, or the office fails to read it; either
// way at once, without a question to anyone, and nothing stays open.
QByteArray randomBytes(int count)
{
    QByteArray bytes;
    quint32 x = 12345;
    for (int i = 0; i < count; ++i) {
        x = x * 1103515245u + 12345u;
        bytes.append(static_cast<char>(x >> 16));
    }
    return bytes;
}

TEST_F(OfficeTest, FilesThatCannotBeOpenedAreErrors)
{
    const QString saved = OfficeEnvironment::scratchPath(QStringLiteral("whole.xlsx"));
    auto whole = app->addWorkbook();
    whole->sheet(1)->setCellText(1, 1, QStringLiteral("批号"));
    whole->saveAs(saved);
    whole->close();
    QFile wholeFile(saved);
    ASSERT_TRUE(wholeFile.open(QIODevice::ReadOnly));
    const QByteArray xlsx = wholeFile.readAll();

    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"empty.xls", {}},
        {"random.xls", randomBytes(20000)},
        {"text.xls", QStringLiteral("批号\t鞋的型号\tX1\t0805\n").repeated(200).toUtf8()},
        {"truncated.xlsx", xlsx.left(xlsx.size() / 2)},
        {"compound-garbage.xls", QByteArray::fromHex("D0CF11E0A1B11AE1") + randomBytes(4000)},
    };
    for (const auto& f : files) {
        const QString path = OfficeEnvironment::scratchPath(QString::fromLatin1(f.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(f.bytes);
        file.close();
        for (bool asTemplate : {false, true}) {
            try {
                asTemplate ? app->openTemplate(path) : app->openWorkbook(path);
                ADD_FAILURE() << f.name << " was opened";
            } catch (const Error& e) {
                EXPECT_EQ(e.operation(), Error::Operation::Open) << f.name << ": " << e.what();
            }
        }
    }
    EXPECT_EQ(app->workbookCount(), 0);
    EXPECT_THROW(app->openWorkbook(OfficeEnvironment::scratchPath(QStringLiteral("missing.xls"))), Error);

    auto book = app->addWorkbook();
    EXPECT_THROW(book->saveAs(OfficeEnvironment::scratchPath(QStringLiteral("book.txt"))), Error);
    EXPECT_THROW(book->saveAs(QStringLiteral("/proc/no-such-folder/book.xls")), Error);
}

TEST_F(OfficeTest, StoringFailuresAreSavingFailures)
{
    auto book = app->addHiddenWorkbook();
    EXPECT_EQ(book->sheetCount(), 1);
    const std::function<void()> stores[] = {
        [&] { book->saveAs(OfficeEnvironment::scratchPath(QStringLiteral("book.txt"))); },
        [&] { book->saveAs(QStringLiteral("/proc/no-such-folder/book.xlsx")); },
        [&] { book->exportPdf(QStringLiteral("/proc/no-such-folder/book.pdf")); },
    };
    for (const auto& store : stores) {
        try {
            store();
            ADD_FAILURE() << "stored where nothing can be stored";
        } catch (const Error& e) {
            EXPECT_EQ(e.operation(), Error::Operation::Save) << e.message().toStdString();
        }
    }
    book->close();
}
