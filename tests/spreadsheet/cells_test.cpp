// Cell texts, the read cache and the grouping of writes, without an office.

#include "spreadsheet/cell_text.h"
#include "spreadsheet/cell_value.h"
#include "spreadsheet/sheet_cache.h"
#include "spreadsheet/write_batch.h"

#include <gtest/gtest.h>

using namespace spreadsheet;

TEST(DecimalText, PlainDigitsWithoutExponentOrTrailingZeros)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {25, "25"},       {2.5, "2.5"},         {-0.125, "-0.125"}, {0, "0"},
        {-0.0, "0"},      {0.1, "0.1"},         {1e6, "1000000"},   {1234567.25, "1234567.25"},
        {1e20, "100000000000000000000"},        {0.0001, "0.0001"}, {-48, "-48"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decimalText(c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST(IsoDateText, CountsDaysFromTheNullDate)
{
    const QDate spreadsheetNull(1899, 12, 30);
    EXPECT_EQ(isoDateText(45000, spreadsheetNull), "2023-03-15");
    EXPECT_EQ(isoDateText(45000.75, spreadsheetNull), "2023-03-15"); // time of day dropped
    EXPECT_EQ(isoDateText(1, spreadsheetNull), "1899-12-31");
    EXPECT_EQ(isoDateText(0, QDate(1904, 1, 1)), "1904-01-01");
}

TEST(CellValueText, EachKindAsText)
{
    const QDate nullDate(1899, 12, 30);
    EXPECT_EQ(cellValueText(CellValue::empty(), nullDate), "");
    EXPECT_EQ(cellValueText(CellValue::ofText("0805"), nullDate), "0805");
    EXPECT_EQ(cellValueText(CellValue::ofNumber(805), nullDate), "805");
    EXPECT_EQ(cellValueText(CellValue::ofDate(45000), nullDate), "2023-03-15");
    EXPECT_TRUE(CellValue::ofText("").isEmpty());
}

namespace {

std::map<CellPos, CellValue> numbers(std::initializer_list<CellPos> cells)
{
    std::map<CellPos, CellValue> result;
    for (const CellPos& p : cells)
        result[p] = CellValue::ofNumber(p.first * 100 + p.second);
    return result;
}

struct Rect {
    int top, left, rows, columns;
    bool operator==(const Rect&) const = default;
};

std::vector<Rect> rects(const std::vector<CellBlock>& blocks)
{
    std::vector<Rect> result;
    for (const auto& b : blocks)
        result.push_back({b.top, b.left, b.rowCount, b.columnCount});
    std::sort(result.begin(), result.end(), [](const Rect& a, const Rect& b) {
        return std::tie(a.top, a.left) < std::tie(b.top, b.left);
    });
    return result;
}

} // namespace

TEST(GroupIntoBlocks, CoversExactlyTheWrittenCells)
{
    const struct {
        const char* name;
        std::map<CellPos, CellValue> cells;
        int maxRows;
        std::vector<Rect> expected;
    } cases[] = {
        {"full rectangle", numbers({{1, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}}), 100, {{1, 1, 3, 2}}},
        {"gap in a row splits runs", numbers({{1, 1}, {1, 3}}), 100, {{1, 1, 1, 1}, {1, 3, 1, 1}}},
        {"different widths", numbers({{1, 1}, {1, 2}, {2, 1}}), 100, {{1, 1, 1, 2}, {2, 1, 1, 1}}},
        {"skipped row", numbers({{1, 1}, {3, 1}}), 100, {{1, 1, 1, 1}, {3, 1, 1, 1}}},
        {"two column runs side by side",
         numbers({{1, 1}, {1, 3}, {2, 1}, {2, 3}}), 100, {{1, 1, 2, 1}, {1, 3, 2, 1}}},
        {"row limit", numbers({{1, 1}, {2, 1}, {3, 1}}), 2, {{1, 1, 2, 1}, {3, 1, 1, 1}}},
        {"nothing", {}, 100, {}},
    };
    for (const auto& c : cases) {
        const auto blocks = groupIntoBlocks(c.cells, c.maxRows);
        EXPECT_EQ(rects(blocks), c.expected) << c.name;
        size_t covered = 0;
        for (const auto& b : blocks) {
            for (int r = 0; r < b.rowCount; ++r) {
                for (int col = 0; col < b.columnCount; ++col) {
                    EXPECT_EQ(b.at(r, col), c.cells.at({b.top + r, b.left + col})) << c.name;
                    ++covered;
                }
            }
        }
        EXPECT_EQ(covered, c.cells.size()) << c.name;
    }
}

TEST(SheetCache, WritesShowInReadsBeforeAndAfterSending)
{
    SheetCache cache;
    cache.load(2, 2, {CellValue::ofText("a"), CellValue::ofDate(45000), CellValue::empty(), CellValue::ofNumber(3)});
    EXPECT_EQ(cache.value(1, 1).text, "a");
    EXPECT_TRUE(cache.value(5, 5).isEmpty());

    cache.write(1, 1, CellValue::empty());
    cache.write(1, 2, CellValue::ofNumber(45001)); // over a date: stays a date
    cache.write(5, 5, CellValue::ofText("far"));
    EXPECT_TRUE(cache.writtenSinceLoad());
    EXPECT_TRUE(cache.value(1, 1).isEmpty());
    EXPECT_EQ(cache.value(1, 2), CellValue::ofDate(45001));

    const auto sent = cache.takePending();
    EXPECT_EQ(sent.size(), 3u);
    EXPECT_FALSE(cache.hasPending());
    // After sending, the cache still answers with what was written.
    EXPECT_TRUE(cache.value(1, 1).isEmpty());
    EXPECT_EQ(cache.value(5, 5).text, "far");
    EXPECT_EQ(cache.value(2, 2), CellValue::ofNumber(3));

    cache.forget();
    EXPECT_FALSE(cache.isLoaded());
    EXPECT_TRUE(cache.value(5, 5).isEmpty());
}

TEST(SheetCache, WritesBeforeLoadingAreKeptForSending)
{
    SheetCache cache;
    cache.write(3, 4, CellValue::ofText("x"));
    EXPECT_FALSE(cache.writtenSinceLoad());
    cache.load(1, 1, {CellValue::empty()});
    EXPECT_TRUE(cache.hasPending());
    EXPECT_EQ(cache.value(3, 4).text, "x");
}
