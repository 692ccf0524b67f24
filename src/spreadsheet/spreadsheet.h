#pragma once

// The spreadsheet application as the rest of the program sees it: an
// application holding workbooks, a workbook holding sheets, a worksheet holding
// cells addressed by row and column counted from 1. Nothing here depends on
// the office suite behind it; see libreoffice.h for the implementation.

#include "spreadsheet/error.h"

#include <QString>
#include <memory>

namespace spreadsheet {

enum class FileFormat {
    FromExtension, // .xls, .xlsx or .ods, taken from the file name
    Xls,
    Xlsx,
    Ods,
};

enum class PageOrientation { Portrait, Landscape };

class Worksheet {
public:
    virtual ~Worksheet() = default;

    virtual QString name() const = 0;
    virtual void setName(const QString& name) = 0;

    // The cell's value as text: empty for an empty cell, the text of a text
    // cell (also when it looks like a number, "0805"), plain decimal digits
    // for a number ("25", "2.5", "-0.125") and yyyy-mm-dd for a date.
    virtual QString cellText(int row, int column) = 0;
    virtual void setCellText(int row, int column, const QString& text) = 0;
    virtual void setCellNumber(int row, int column, double value) = 0;
    // Removes the cell's content.
    virtual void clearCell(int row, int column) = 0;

    // Rows and columns up to the last cell that holds something (0 when the
    // sheet is empty).
    virtual int usedRowCount() = 0;
    virtual int usedColumnCount() = 0;

    // Number format code for a whole column, "@" for text.
    virtual void setColumnNumberFormat(int column, const QString& format) = 0;
    virtual void autoFitColumn(int column) = 0;
    // Fits the columns first..last in one step (the same widths as fitting
    // them one by one, faster on long sheets).
    virtual void autoFitColumns(int first, int last) = 0;
    // Inserts an empty row above `row`; the rows from there move down by one.
    virtual void insertRow(int row) = 0;
    // Inserts `count` empty rows above `row` in one step; the same as
    // insertRow(row) `count` times.
    virtual void insertRows(int row, int count) = 0;

    // A formula in the cell, as typed in the office ("=SUM(C6:C17)"). Its
    // result is what cellText() reads.
    virtual void setCellFormula(int row, int column, const QString& formula) = 0;

    // Look of a rectangle of cells, rows top..bottom and columns left..right.
    // Thin lines around every cell of the rectangle:
    virtual void setBorders(int top, int left, int bottom, int right) = 0;
    virtual void setBold(int top, int left, int bottom, int right) = 0;
    // One cell over the rectangle, its content centred.
    virtual void mergeCells(int top, int left, int bottom, int right) = 0;

    // Print settings of the sheet.
    virtual void setCenterFooter(const QString& text) = 0;
    virtual void setCenterHorizontally(bool on) = 0;
    virtual void setCenterVertically(bool on) = 0;
    virtual void setPrintGridLines(bool on) = 0;
    virtual void setOrientation(PageOrientation orientation) = 0;
    // Printed this many pages wide, as many pages high as needed.
    virtual void setFitToPagesWide(int pages) = 0;
    // The centre text of the footer; empty when the footer is off.
    virtual QString centerFooter() = 0;
    virtual PageOrientation orientation() = 0;
    virtual bool centerHorizontally() = 0;
    virtual bool centerVertically() = 0;
    virtual bool printGridLines() = 0;
    // Pages wide the sheet is fitted to; 0 when it is not fitted.
    virtual int fitToPagesWide() = 0;
    // Width of a column in 1/100 mm.
    virtual int columnWidth(int column) = 0;

    // Writes are gathered and sent in blocks; flush() sends them now. Reading,
    // saving and showing the workbook flush on their own.
    virtual void flush() = 0;
    // Forgets what was read, so that the next read sees changes made by
    // someone else (the user in the visible window).
    virtual void refresh() = 0;
};

class Workbook {
public:
    virtual ~Workbook() = default;

    // The file the workbook was opened from or last saved to; empty for a new
    // workbook never saved.
    virtual QString filePath() const = 0;

    virtual int sheetCount() = 0;
    // Sheets by position (from 1) or by name; an Error when there is none.
    virtual std::shared_ptr<Worksheet> sheet(int index) = 0;
    virtual std::shared_ptr<Worksheet> sheet(const QString& name) = 0;

    // Whether the sheet shown in the workbook's window is a worksheet with
    // cells. Calc has no chart sheets: a sheet always has cells, so this is
    // false only when the window shows something else than a sheet view
    // (or the workbook has no window).
    virtual bool activeSheetIsWorksheet() = 0;
    // The active sheet; an Error when it is not a worksheet.
    virtual std::shared_ptr<Worksheet> activeSheet() = 0;

    // Errors of saving and exporting are Error::Operation::Save.
    virtual void saveAs(const QString& path, FileFormat format = FileFormat::FromExtension) = 0;
    // Writes the workbook as a PDF file at path, laid out by the sheets'
    // print settings; the workbook keeps its own file.
    virtual void exportPdf(const QString& path) = 0;
    // Closes the workbook without saving.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

class Application {
public:
    virtual ~Application() = default;

    // Attaches to the office this program started before if it still answers,
    // otherwise starts one. Every other call connects on its own when needed.
    virtual void connect() = 0;
    virtual bool isConnected() const = 0;

    virtual bool isVisible() const = 0;
    virtual void setVisible(bool visible) = 0;

    // Number of sheets a workbook made by addWorkbook() starts with.
    virtual int sheetsInNewWorkbook() const = 0;
    virtual void setSheetsInNewWorkbook(int count) = 0;

    // The office never asks the user anything on our behalf; the flag is kept
    // so that callers can state their intent as with other spreadsheet programs.
    virtual bool displayAlerts() const = 0;
    virtual void setDisplayAlerts(bool on) = 0;

    // Workbooks made or opened through this object, from 1.
    virtual int workbookCount() = 0;
    virtual std::shared_ptr<Workbook> workbook(int index) = 0;
    virtual std::shared_ptr<Workbook> addWorkbook() = 0;
    // A new workbook of one sheet that the office shows in no window, whatever
    // isVisible() says: for workbooks that are only written, saved and closed.
    virtual std::shared_ptr<Workbook> addHiddenWorkbook() = 0;
    virtual std::shared_ptr<Workbook> openWorkbook(const QString& path) = 0;
    // A new, untitled workbook made from the file at path: the file is only
    // read, and saving the workbook asks for a name of its own.
    virtual std::shared_ptr<Workbook> openTemplate(const QString& path) = 0;

    // Closes, without saving, the workbooks this object made or opened, and
    // lets go of the office. Documents the user opened stay open; an office
    // this object started is ended only when no document is left in it.
    virtual void quit() = 0;

    // Process id of the office this object started, 0 when it attached to an
    // office it did not start.
    virtual qint64 officeProcessId() const = 0;
};

} // namespace spreadsheet
