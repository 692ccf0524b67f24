#include "spreadsheet/uno_worksheet.h"

#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XHeaderFooterContent.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XUniqueCellFormatRangesSupplier.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/CellHoriJustify.hpp>
#include <com/sun/star/table/TableBorder2.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/table/XTableRows.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/XMergeable.hpp>

#include <algorithm>

namespace spreadsheet::uno {

namespace {

// Rows fetched per call when the used area is read.
constexpr int readBlockRows = 4096;
// Calc's sheet size.
constexpr int maxRows = 1048576;
constexpr int maxColumns = 16384;

void checkCell(int row, int column, Error::Operation operation = Error::Operation::Write)
{
    if (row < 1 || column < 1 || row > maxRows || column > maxColumns)
        throw Error(QStringLiteral("There is no cell at row %1, column %2").arg(row).arg(column), operation);
}

CellValue fromAny(const css::uno::Any& any)
{
    double number = 0;
    if (any >>= number)
        return CellValue::ofNumber(number);
    OUString text;
    if (any >>= text)
        return CellValue::ofText(toQ(text));
    return CellValue::empty();
}

css::uno::Any toAny(const CellValue& value)
{
    switch (value.kind) {
    case CellValue::Kind::Empty:
        return css::uno::Any(OUString());
    case CellValue::Kind::Text:
        return css::uno::Any(toOU(value.text));
    case CellValue::Kind::Number:
    case CellValue::Kind::Date:
        return css::uno::Any(value.number);
    }
    return {};
}

} // namespace

UnoWorksheet::UnoWorksheet(std::shared_ptr<DocumentState> state, Reference<css::sheet::XSpreadsheet> sheet)
    : state_(std::move(state))
    , sheet_(std::move(sheet))
{
}

UnoWorksheet::~UnoWorksheet() = default;

QString UnoWorksheet::name() const
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Reading the sheet name failed"), [&] {
        return toQ(Reference<css::container::XNamed>(sheet_, UNO_QUERY_THROW)->getName());
    });
}

void UnoWorksheet::setName(const QString& name)
{
    state_->checkOpen();
    state_->call(Error::Operation::Write, QStringLiteral("Renaming the sheet to \"%1\" failed").arg(name), [&] {
        Reference<css::container::XNamed>(sheet_, UNO_QUERY_THROW)->setName(toOU(name));
    });
}

QString UnoWorksheet::cellText(int row, int column)
{
    checkCell(row, column, Error::Operation::Read);
    ensureLoaded();
    const CellValue value = cache_.value(row, column);
    if (value.kind != CellValue::Kind::Date)
        return cellValueText(value, {});
    const QDate nullDate =
        state_->call(Error::Operation::Read, QStringLiteral("Reading the workbook's date settings failed"),
                     [&] { return state_->nullDate(); });
    return cellValueText(value, nullDate);
}

void UnoWorksheet::write(int row, int column, const CellValue& value)
{
    checkCell(row, column);
    state_->checkOpen();
    cache_.write(row, column, value);
}

void UnoWorksheet::setCellText(int row, int column, const QString& text)
{
    write(row, column, CellValue::ofText(text));
}

void UnoWorksheet::setCellNumber(int row, int column, double value)
{
    write(row, column, CellValue::ofNumber(value));
}

void UnoWorksheet::clearCell(int row, int column)
{
    write(row, column, CellValue::empty());
}

void UnoWorksheet::flush()
{
    if (!cache_.hasPending())
        return;
    state_->checkOpen();
    const std::vector<CellBlock> blocks = groupIntoBlocks(cache_.takePending());
    state_->call(Error::Operation::Write, QStringLiteral("Writing cells failed"), [&] {
        DocumentState::BulkEdit edit(*state_);
        for (const CellBlock& block : blocks) {
            css::uno::Sequence<css::uno::Sequence<css::uno::Any>> rows(block.rowCount);
            auto* rowData = rows.getArray();
            for (int r = 0; r < block.rowCount; ++r) {
                css::uno::Sequence<css::uno::Any> cells(block.columnCount);
                auto* cellData = cells.getArray();
                for (int c = 0; c < block.columnCount; ++c)
                    cellData[c] = toAny(block.at(r, c));
                rowData[r] = cells;
            }
            Reference<css::table::XCellRange> range = sheet_->getCellRangeByPosition(
                block.left - 1, block.top - 1, block.left + block.columnCount - 2, block.top + block.rowCount - 2);
            Reference<css::sheet::XCellRangeData>(range, UNO_QUERY_THROW)->setDataArray(rows);
        }
    });
}

void UnoWorksheet::refresh()
{
    cache_.forget();
}

void UnoWorksheet::ensureLoaded()
{
    state_->checkOpen();
    if (cache_.isLoaded())
        return;
    flush();
    state_->call(Error::Operation::Read, QStringLiteral("Reading cells failed"), [&] { load(); });
}

void UnoWorksheet::load()
{
    Reference<css::sheet::XSheetCellCursor> cursor = sheet_->createCursor();
    Reference<css::sheet::XUsedAreaCursor>(cursor, UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
    const css::table::CellRangeAddress end =
        Reference<css::sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress();
    const int rows = end.EndRow + 1;
    const int columns = end.EndColumn + 1;

    std::vector<CellValue> cells(static_cast<size_t>(rows) * columns);
    for (int top = 0; top < rows; top += readBlockRows) {
        const int bottom = std::min(rows, top + readBlockRows) - 1;
        Reference<css::table::XCellRange> range = sheet_->getCellRangeByPosition(0, top, columns - 1, bottom);
        const css::uno::Sequence<css::uno::Sequence<css::uno::Any>> data =
            Reference<css::sheet::XCellRangeData>(range, UNO_QUERY_THROW)->getDataArray();
        for (int r = 0; r < data.getLength(); ++r) {
            const css::uno::Sequence<css::uno::Any>& rowData = data[r];
            CellValue* target = cells.data() + static_cast<size_t>(top + r) * columns;
            for (int c = 0; c < rowData.getLength() && c < columns; ++c)
                target[c] = fromAny(rowData[c]);
        }
    }
    markDates(rows, columns, cells);
    cache_.load(rows, columns, std::move(cells));
}

// Numbers in cells with a date format become dates. The used area is asked
// for its ranges of equal formatting, so the cost follows the number of
// different formats, not the number of cells.
void UnoWorksheet::markDates(int rows, int columns, std::vector<CellValue>& cells)
{
    Reference<css::table::XCellRange> area = sheet_->getCellRangeByPosition(0, 0, columns - 1, rows - 1);
    Reference<css::container::XIndexAccess> formatRanges =
        Reference<css::sheet::XUniqueCellFormatRangesSupplier>(area, UNO_QUERY_THROW)->getUniqueCellFormatRanges();
    const sal_Int32 count = formatRanges->getCount();
    for (sal_Int32 i = 0; i < count; ++i) {
        Reference<css::sheet::XSheetCellRanges> ranges(formatRanges->getByIndex(i), UNO_QUERY_THROW);
        sal_Int32 key = 0;
        Reference<css::beans::XPropertySet>(ranges, UNO_QUERY_THROW)->getPropertyValue("NumberFormat") >>= key;
        if (!state_->isDateFormat(key))
            continue;
        const auto addresses = ranges->getRangeAddresses();
        for (const css::table::CellRangeAddress& a : addresses) {
            for (int r = a.StartRow; r <= std::min<int>(a.EndRow, rows - 1); ++r) {
                for (int c = a.StartColumn; c <= std::min<int>(a.EndColumn, columns - 1); ++c) {
                    CellValue& cell = cells[static_cast<size_t>(r) * columns + c];
                    if (cell.kind == CellValue::Kind::Number)
                        cell.kind = CellValue::Kind::Date;
                }
            }
        }
    }
}

std::pair<int, int> UnoWorksheet::usedSize()
{
    ensureLoaded();
    if (cache_.writtenSinceLoad()) {
        flush();
        cache_.forget();
        ensureLoaded();
    }
    int lastRow = 0;
    int lastColumn = 0;
    for (int r = 1; r <= cache_.loadedRows(); ++r) {
        for (int c = 1; c <= cache_.loadedColumns(); ++c) {
            if (!cache_.value(r, c).isEmpty()) {
                lastRow = r;
                lastColumn = std::max(lastColumn, c);
            }
        }
    }
    return {lastRow, lastColumn};
}

int UnoWorksheet::usedRowCount()
{
    return usedSize().first;
}

int UnoWorksheet::usedColumnCount()
{
    return usedSize().second;
}

Reference<css::beans::XPropertySet> UnoWorksheet::column(int column)
{
    checkCell(1, column);
    Reference<css::table::XColumnRowRange> columnsAndRows(sheet_, UNO_QUERY_THROW);
    return Reference<css::beans::XPropertySet>(columnsAndRows->getColumns()->getByIndex(column - 1), UNO_QUERY_THROW);
}

void UnoWorksheet::setColumnNumberFormat(int columnNumber, const QString& format)
{
    state_->checkOpen();
    state_->call(Error::Operation::Write,
                     QStringLiteral("Setting the number format of column %1 failed").arg(columnNumber), [&] {
        column(columnNumber)->setPropertyValue("NumberFormat", css::uno::Any(state_->formatKey(format)));
    });
    // Dates read before may not be dates any more.
    if (!cache_.hasPending())
        cache_.forget();
}

void UnoWorksheet::autoFitColumn(int columnNumber)
{
    state_->checkOpen();
    flush();
    state_->call(Error::Operation::Write,
                     QStringLiteral("Fitting the width of column %1 failed").arg(columnNumber), [&] {
        column(columnNumber)->setPropertyValue("OptimalWidth", css::uno::Any(true));
    });
}

void UnoWorksheet::autoFitColumns(int first, int last)
{
    if (last < first)
        return;
    auto cells = range(1, first, 1, last);
    state_->call(Error::Operation::Write,
                     QStringLiteral("Fitting the width of columns %1 to %2 failed").arg(first).arg(last), [&] {
        Reference<css::table::XColumnRowRange> columnsAndRows(cells, UNO_QUERY_THROW);
        Reference<css::beans::XPropertySet>(columnsAndRows->getColumns(), UNO_QUERY_THROW)
            ->setPropertyValue("OptimalWidth", css::uno::Any(true));
    });
}

void UnoWorksheet::insertRow(int row)
{
    checkCell(row, 1);
    state_->checkOpen();
    flush();
    state_->call(Error::Operation::Write, QStringLiteral("Inserting a row at row %1 failed").arg(row), [&] {
        Reference<css::table::XColumnRowRange> columnsAndRows(sheet_, UNO_QUERY_THROW);
        columnsAndRows->getRows()->insertByIndex(row - 1, 1);
    });
    cache_.forget();
}

void UnoWorksheet::insertRows(int row, int count)
{
    if (count <= 0)
        return;
    checkCell(row, 1);
    state_->checkOpen();
    flush();
    state_->call(Error::Operation::Write,
                     QStringLiteral("Inserting %1 rows at row %2 failed").arg(count).arg(row), [&] {
        Reference<css::table::XColumnRowRange> columnsAndRows(sheet_, UNO_QUERY_THROW);
        columnsAndRows->getRows()->insertByIndex(row - 1, count);
    });
    cache_.forget();
}

void UnoWorksheet::setCellFormula(int row, int column, const QString& formula)
{
    checkCell(row, column);
    state_->checkOpen();
    flush();
    state_->call(Error::Operation::Write, QStringLiteral("Writing the formula %1 failed").arg(formula), [&] {
        sheet_->getCellByPosition(column - 1, row - 1)->setFormula(toOU(formula));
    });
    cache_.forget();
}

Reference<css::table::XCellRange> UnoWorksheet::range(int top, int left, int bottom, int right)
{
    checkCell(top, left);
    checkCell(bottom, right);
    if (bottom < top || right < left)
        throw Error(
            QStringLiteral("Rows %1 to %2, columns %3 to %4 are no range").arg(top).arg(bottom).arg(left).arg(right),
            Error::Operation::Write);
    state_->checkOpen();
    flush();
    return sheet_->getCellRangeByPosition(left - 1, top - 1, right - 1, bottom - 1);
}

void UnoWorksheet::setBorders(int top, int left, int bottom, int right)
{
    auto cells = range(top, left, bottom, right);
    state_->call(Error::Operation::Write, QStringLiteral("Drawing cell borders failed"), [&] {
        css::table::BorderLine2 line;
        line.OuterLineWidth = 26; // a thin line, in 1/100 mm
        line.LineWidth = 26;
        css::table::TableBorder2 border;
        border.TopLine = border.BottomLine = border.LeftLine = border.RightLine = line;
        border.HorizontalLine = border.VerticalLine = line;
        border.IsTopLineValid = border.IsBottomLineValid = border.IsLeftLineValid = border.IsRightLineValid = true;
        border.IsHorizontalLineValid = border.IsVerticalLineValid = true;
        Reference<css::beans::XPropertySet>(cells, UNO_QUERY_THROW)->setPropertyValue("TableBorder2", css::uno::Any(border));
    });
}

void UnoWorksheet::setBold(int top, int left, int bottom, int right)
{
    auto cells = range(top, left, bottom, right);
    state_->call(Error::Operation::Write, QStringLiteral("Setting bold type failed"), [&] {
        Reference<css::beans::XPropertySet> properties(cells, UNO_QUERY_THROW);
        const float bold = 150.0f; // awt::FontWeight::BOLD
        properties->setPropertyValue("CharWeight", css::uno::Any(bold));
        // Chinese text is set in the Asian font.
        properties->setPropertyValue("CharWeightAsian", css::uno::Any(bold));
    });
}

void UnoWorksheet::mergeCells(int top, int left, int bottom, int right)
{
    auto cells = range(top, left, bottom, right);
    state_->call(Error::Operation::Write, QStringLiteral("Merging cells failed"), [&] {
        Reference<css::util::XMergeable>(cells, UNO_QUERY_THROW)->merge(true);
        Reference<css::beans::XPropertySet>(cells, UNO_QUERY_THROW)
            ->setPropertyValue("HoriJustify", css::uno::Any(css::table::CellHoriJustify_CENTER));
    });
    cache_.forget();
}

Reference<css::beans::XPropertySet> UnoWorksheet::pageStyle()
{
    OUString styleName;
    Reference<css::beans::XPropertySet>(sheet_, UNO_QUERY_THROW)->getPropertyValue("PageStyle") >>= styleName;
    Reference<css::style::XStyleFamiliesSupplier> families(state_->document(), UNO_QUERY_THROW);
    Reference<css::container::XNameAccess> pageStyles(families->getStyleFamilies()->getByName("PageStyles"),
                                                      UNO_QUERY_THROW);
    return Reference<css::beans::XPropertySet>(pageStyles->getByName(styleName), UNO_QUERY_THROW);
}

void UnoWorksheet::setCenterFooter(const QString& text)
{
    state_->checkOpen();
    state_->call(Error::Operation::Write, QStringLiteral("Setting the page footer failed"), [&] {
        Reference<css::beans::XPropertySet> style = pageStyle();
        style->setPropertyValue("FooterIsOn", css::uno::Any(true));
        Reference<css::sheet::XHeaderFooterContent> content(style->getPropertyValue("RightPageFooterContent"),
                                                            UNO_QUERY_THROW);
        content->getCenterText()->setString(toOU(text));
        style->setPropertyValue("RightPageFooterContent", css::uno::Any(content));
    });
}

void UnoWorksheet::setCenterHorizontally(bool on)
{
    state_->checkOpen();
    state_->call(Error::Operation::Write, QStringLiteral("Setting the page centring failed"),
            [&] { pageStyle()->setPropertyValue("CenterHorizontally", css::uno::Any(on)); });
}

void UnoWorksheet::setCenterVertically(bool on)
{
    state_->checkOpen();
    state_->call(Error::Operation::Write, QStringLiteral("Setting the page centring failed"),
            [&] { pageStyle()->setPropertyValue("CenterVertically", css::uno::Any(on)); });
}

void UnoWorksheet::setPrintGridLines(bool on)
{
    state_->checkOpen();
    state_->call(Error::Operation::Write, QStringLiteral("Setting the printing of grid lines failed"),
            [&] { pageStyle()->setPropertyValue("PrintGrid", css::uno::Any(on)); });
}

void UnoWorksheet::setOrientation(PageOrientation orientation)
{
    state_->checkOpen();
    state_->call(Error::Operation::Write, QStringLiteral("Setting the page orientation failed"), [&] {
        Reference<css::beans::XPropertySet> style = pageStyle();
        const bool landscape = orientation == PageOrientation::Landscape;
        sal_Int32 width = 0;
        sal_Int32 height = 0;
        style->getPropertyValue("Width") >>= width;
        style->getPropertyValue("Height") >>= height;
        style->setPropertyValue("IsLandscape", css::uno::Any(landscape));
        if ((width > height) != landscape) {
            style->setPropertyValue("Width", css::uno::Any(height));
            style->setPropertyValue("Height", css::uno::Any(width));
        }
    });
}

} // namespace spreadsheet::uno

namespace spreadsheet::uno {

void UnoWorksheet::setFitToPagesWide(int pages)
{
    state_->checkOpen();
    state_->call(Error::Operation::Write, QStringLiteral("Setting the page scale failed"), [&] {
        Reference<css::beans::XPropertySet> style = pageStyle();
        style->setPropertyValue("ScaleToPagesX", css::uno::Any(static_cast<sal_Int16>(pages)));
        style->setPropertyValue("ScaleToPagesY", css::uno::Any(static_cast<sal_Int16>(0)));
    });
}

QString UnoWorksheet::centerFooter()
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Reading the page footer failed"), [&] {
        Reference<css::beans::XPropertySet> style = pageStyle();
        bool on = false;
        style->getPropertyValue("FooterIsOn") >>= on;
        if (!on)
            return QString();
        Reference<css::sheet::XHeaderFooterContent> content(style->getPropertyValue("RightPageFooterContent"),
                                                            UNO_QUERY_THROW);
        return toQ(content->getCenterText()->getString());
    });
}

PageOrientation UnoWorksheet::orientation()
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Reading the page orientation failed"), [&] {
        bool landscape = false;
        pageStyle()->getPropertyValue("IsLandscape") >>= landscape;
        return landscape ? PageOrientation::Landscape : PageOrientation::Portrait;
    });
}

bool UnoWorksheet::centerHorizontally()
{
    return pageStyleFlag("CenterHorizontally");
}

bool UnoWorksheet::centerVertically()
{
    return pageStyleFlag("CenterVertically");
}

bool UnoWorksheet::printGridLines()
{
    return pageStyleFlag("PrintGrid");
}

bool UnoWorksheet::pageStyleFlag(const char* property)
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Reading the page settings failed"), [&] {
        bool on = false;
        pageStyle()->getPropertyValue(OUString::createFromAscii(property)) >>= on;
        return on;
    });
}

int UnoWorksheet::fitToPagesWide()
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Reading the page scale failed"), [&] {
        sal_Int16 pages = 0;
        pageStyle()->getPropertyValue("ScaleToPagesX") >>= pages;
        return int(pages);
    });
}

int UnoWorksheet::columnWidth(int columnNumber)
{
    state_->checkOpen();
    flush();
    return state_->call(Error::Operation::Read, QStringLiteral("Reading the width of column %1 failed").arg(columnNumber), [&] {
        sal_Int32 width = 0;
        column(columnNumber)->getPropertyValue("Width") >>= width;
        return int(width);
    });
}

} // namespace spreadsheet::uno
