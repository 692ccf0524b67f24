#include "statistics/supplier_export.h"

#include "data/core/errors.h"
#include "platform/busy_cursor.h"
#include "platform/dialogs.h"
#include "platform/error_display.h"
#include "platform/file_manager.h"
#include "platform/files.h"
#include "spreadsheet/spreadsheet.h"
#include "statistics/export_texts.h"
#include "statistics/supplier_sheets.h"
#include "window_kit/progress.h"
#include "window_kit/shared_messages.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace statistics {

namespace {

// Writes one supplier's workbook and PDF; on failure the workbook is closed
// unsaved and whichever of the two files was written is removed.
void writeSupplierFiles(spreadsheet::Application& office, const SupplierRows& supplier, const QDate& date,
                        const QString& workbookPath, const QString& pdfPath) {
    std::shared_ptr<spreadsheet::Workbook> workbook = office.addHiddenWorkbook();
    try {
        writePurchaseSheet(*workbook->sheet(1), supplier, date);
        workbook->saveAs(workbookPath, spreadsheet::FileFormat::Xlsx);
        workbook->exportPdf(pdfPath);
        workbook->close();
    } catch (...) {
        try {
            workbook->close();
        } catch (const std::exception&) {
            // The office has gone: nothing is left open.
        }
        QFile::remove(workbookPath);
        QFile::remove(pdfPath);
        throw;
    }
}

}  // namespace

SupplierExportResult exportBySupplier(const GridExport& grid, const QString& purchaseFolder,
                                      const ExportServices& services) {
    SupplierExportResult result;
    if (!services.dialogs->question(services.owner, exportBySupplierQuestion(), kit::noticeCaption()))
        return result;
    if (!grid.query)
        return result;

    platform::BusyCursor busy;
    const std::vector<SupplierRows> suppliers = groupBySupplier(*grid.query);
    if (suppliers.empty()) {
        busy.restore();
        services.status->setPanelText(kit::ProgressPanel, suppliersExportedText(0));
        return result;
    }
    const QDate date = services.today();
    const QString folder = QDir(purchaseFolder).filePath(date.toString(QStringLiteral("yyyy-MM-dd")));
    if (!platform::ensureFolder(folder))
        throw platform::FileError(folderNotCreatedText(QDir::toNativeSeparators(folder)), folder);
    spreadsheet::Application* office = connectOffice(services, busy);
    if (!office)
        return result;

    QStringList written;
    QStringList taken;
    const QDir dir(folder);
    for (const SupplierRows& supplier : suppliers) {
        const QString label = supplierLabel(supplier.supplier);
        const QString base = freeBaseName(folder, safeFileName(label), date, taken);
        taken << base;
        const QString workbookPath = dir.filePath(base + QStringLiteral(".xlsx"));
        const QString pdfPath = dir.filePath(base + QStringLiteral(".pdf"));
        try {
            writeSupplierFiles(*office, supplier, date, workbookPath, pdfPath);
        } catch (const data::SilentAbort&) {
            throw;
        } catch (const std::exception& fault) {
            busy.restore();
            const QString text = platform::errorText(fault) + QLatin1Char('\n') + suppliersWrittenText(written);
            throw std::runtime_error(text.toStdString());
        }
        written << label;
        result.files << workbookPath << pdfPath;
    }
    result.folder = folder;
    result.suppliers = int(written.size());
    busy.restore();
    platform::fileManager().openFolder(folder);
    services.status->setPanelText(kit::ProgressPanel, suppliersExportedText(result.suppliers));
    return result;
}

}  // namespace statistics
