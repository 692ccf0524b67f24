#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace data {
class Query;
}
namespace dbui {
class DbGrid;
}
namespace kit {
class StatusSink;
}
namespace platform {
class Dialogs;
class BusyCursor;
}
namespace spreadsheet {
class Application;
class Worksheet;
}

namespace statistics {

// What the export reads from a data grid: its name (the sheet's name), its
// column titles and, per column, the field of the query it shows.
struct GridExport {
    QString name;
    QStringList titles;
    QStringList fields;
    data::Query* query = nullptr;

    // Records in the grid's result; 0 when the result is not open.
    int rowCount() const;
};

// The grid's name, its columns' captions and fields, and its query.
GridExport describeGrid(dbui::DbGrid& grid);

// What the export and print commands need from around them.
struct ExportServices {
    // The spreadsheet application, connected; throws when the office cannot
    // be reached.
    std::function<spreadsheet::Application&()> office;
    platform::Dialogs* dialogs = nullptr;
    // Owner of the questions (the statistics window).
    QWidget* owner = nullptr;
    // The window's status panels (the clearing of the template writes there).
    kit::StatusSink* status = nullptr;
    // Whether the system has at least one printer.
    std::function<bool()> hasPrinter;
    // Today, for the template's date cell and the purchase sheets.
    std::function<QDate()> today = [] { return QDate::currentDate(); };
};

// Writes a field's text into a cell: a whole number goes in as a number so
// that sums work, unless the column is a text column; anything else as text.
// The connected office, or nullptr after restoring the cursor and saying
// that the office could not be reached.
spreadsheet::Application* connectOffice(const ExportServices& services, platform::BusyCursor& busy);

void writeFieldText(spreadsheet::Worksheet& sheet, int row, int column, const QString& text, bool textColumn);

// Writes the grid's records, in result order, one per row from firstRow on,
// grid column c into sheet column c. With textTitles, the columns whose title
// is a text column's title keep their numbers as text. The query ends past
// its last record.
void writeGridRecords(spreadsheet::Worksheet& sheet, const GridExport& grid, int firstRow, bool textTitles);

}  // namespace statistics
