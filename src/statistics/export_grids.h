#pragma once

#include "statistics/export_services.h"

#include <vector>

namespace statistics {

// Result sets of more rows than this ask before they are exported.
inline constexpr int ExportRowWarning = 400;

// The quick export: after the user's consent, a new workbook in the office
// with one sheet per grid, named after the grid, holding the grid's column
// titles in row 1 and its records from row 2 on; the office is shown with
// the workbook (unsaved) and, when a printer is installed, the last sheet is
// set up for printing. Columns with certain titles keep their cells as text.
void exportGrids(const std::vector<GridExport>& grids, const ExportServices& services);

// Whether a column with this title is formatted as text.
bool isTextColumnTitle(const QString& title);

}  // namespace statistics
