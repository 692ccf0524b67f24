#pragma once

#include "statistics/export_services.h"

namespace statistics {

// What an export by supplier left behind.
struct SupplierExportResult {
    QString folder;      // the day's folder; empty when nothing was exported
    QStringList files;   // the workbooks and PDFs written, in order, as full paths
    int suppliers = 0;   // the suppliers exported
};

// The export by supplier: after the user's consent, for every supplier among
// the grid's records one workbook (.xlsx) and the office's PDF of it, in the
// sub-folder of `purchaseFolder` named by services.today() (yyyy-MM-dd),
// both created when missing. Rows without a supplier go together under
// "未填供应商"; no file is ever replaced (see freeBaseName()). The office
// makes the workbooks hidden and closes each after saving. At the end the
// folder is opened in the file manager and the third status panel says how
// many suppliers were exported. A fault closes the workbook in hand, removes
// its unfinished files and ends the export with the fault's text followed by
// the suppliers whose files were written.
SupplierExportResult exportBySupplier(const GridExport& grid, const QString& purchaseFolder,
                                      const ExportServices& services);

}  // namespace statistics
