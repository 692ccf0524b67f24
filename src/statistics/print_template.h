#pragma once

#include "statistics/export_services.h"

namespace statistics {

// Row of the template above which rows are inserted when the data does not
// fit its preset rows; it lies inside the preset data rows.
inline constexpr int TemplateInsertRow = 9;
// Columns emptied in the template's data rows.
inline constexpr int TemplateClearColumns = 20;
// First data row of the template; the messages number the rows from here as 4.
inline constexpr int TemplateFirstDataRow = 6;
inline constexpr int TemplateRowLimit = 100000;

// The template printing: after the user's consent, an untitled copy of the
// template workbook at `path` is opened, its sheet "0" cleared of old data
// and filled with the grid's records from row start + 1 on, columns from A;
// C3 gets today's long date, the office is shown with the workbook and,
// when a printer is installed, the footer is set. When the records exceed
// the preset rows, the user may have rows inserted so that the data never
// runs past the preset area.
void fillPrintTemplate(const QString& path, const GridExport& grid, int start, int presetRows,
                       const ExportServices& services);

// Empties columns 1 to `columns` of the rows from 6 on, down to the first row
// whose first cell is empty, and reports into the third status panel.
void clearTemplateRows(spreadsheet::Worksheet& sheet, int columns, kit::StatusSink& status);

}  // namespace statistics
