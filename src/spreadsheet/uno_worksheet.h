#pragma once

#include "spreadsheet/sheet_cache.h"
#include "spreadsheet/spreadsheet.h"
#include "spreadsheet/uno_document.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>

#include <memory>

namespace spreadsheet::uno {

// A Calc sheet. Reads are answered from the used area, read in blocks of rows
// at the first read; writes are gathered and sent in rectangles.
class UnoWorksheet : public Worksheet {
public:
    UnoWorksheet(std::shared_ptr<DocumentState> state, Reference<css::sheet::XSpreadsheet> sheet);
    ~UnoWorksheet() override;

    const Reference<css::sheet::XSpreadsheet>& unoSheet() const { return sheet_; }

    QString name() const override;
    void setName(const QString& name) override;

    QString cellText(int row, int column) override;
    void setCellText(int row, int column, const QString& text) override;
    void setCellNumber(int row, int column, double value) override;
    void clearCell(int row, int column) override;

    int usedRowCount() override;
    int usedColumnCount() override;

    void setColumnNumberFormat(int column, const QString& format) override;
    void autoFitColumn(int column) override;
    void autoFitColumns(int first, int last) override;
    void insertRow(int row) override;
    void insertRows(int row, int count) override;
    void setCellFormula(int row, int column, const QString& formula) override;
    void setBorders(int top, int left, int bottom, int right) override;
    void setBold(int top, int left, int bottom, int right) override;
    void mergeCells(int top, int left, int bottom, int right) override;

    void setCenterFooter(const QString& text) override;
    void setCenterHorizontally(bool on) override;
    void setCenterVertically(bool on) override;
    void setPrintGridLines(bool on) override;
    void setOrientation(PageOrientation orientation) override;
    void setFitToPagesWide(int pages) override;
    QString centerFooter() override;
    PageOrientation orientation() override;
    bool centerHorizontally() override;
    bool centerVertically() override;
    bool printGridLines() override;
    int fitToPagesWide() override;
    int columnWidth(int column) override;

    void flush() override;
    void refresh() override;
    // Forgets the writes not yet sent (the workbook is closed unsaved).
    void discardPending() { cache_.dropPending(); }

private:
    void write(int row, int column, const CellValue& value);
    void ensureLoaded();
    void load();
    void markDates(int rows, int columns, std::vector<CellValue>& cells);
    std::pair<int, int> usedSize();
    Reference<css::beans::XPropertySet> column(int column);
    bool pageStyleFlag(const char* property);
    Reference<css::beans::XPropertySet> pageStyle();
    Reference<css::table::XCellRange> range(int top, int left, int bottom, int right);

    std::shared_ptr<DocumentState> state_;
    Reference<css::sheet::XSpreadsheet> sheet_;
    SheetCache cache_;
};

} // namespace spreadsheet::uno
