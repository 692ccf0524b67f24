#include "statistics/print_template.h"

#include "data/engine/query.h"
#include "platform/busy_cursor.h"
#include "platform/dialogs.h"
#include "spreadsheet/spreadsheet.h"
#include "statistics/export_texts.h"
#include "window_kit/progress.h"
#include "window_kit/shared_messages.h"


namespace statistics {

void clearTemplateRows(spreadsheet::Worksheet& sheet, int columns, kit::StatusSink& status) {
    for (int row = TemplateFirstDataRow, figure = TemplateFirstDataRow - 2;; ++row, ++figure) {
        if (sheet.cellText(row, 1).isEmpty()) {
            status.setPanelText(kit::ProgressPanel, clearEndedText(figure));
            return;
        }
        for (int c = 1; c <= columns; ++c) {
            status.letEventsRun();
            if (!sheet.cellText(row, c).isEmpty()) {
                sheet.clearCell(row, c);
                status.setPanelText(kit::ProgressPanel, cellClearedText(row, figure));
            }
        }
        if (figure >= TemplateRowLimit) {
            status.setPanelText(kit::ProgressPanel, clearTooManyRowsText());
            return;
        }
    }
}

void fillPrintTemplate(const QString& path, const GridExport& grid, int start, int presetRows,
                       const ExportServices& services) {
    platform::Dialogs& dialogs = *services.dialogs;
    if (!dialogs.question(services.owner, confirmPrintQuestion(), kit::noticeCaption()))
        return;
    if (grid.rowCount() > presetRows &&
        !dialogs.question(services.owner, manyRowsPrintQuestion(presetRows), kit::noticeCaption()))
        return;

    platform::BusyCursor busy;
    spreadsheet::Application* office = connectOffice(services, busy);
    if (!office)
        return;

    std::shared_ptr<spreadsheet::Workbook> workbook = office->openTemplate(path);
    std::shared_ptr<spreadsheet::Worksheet> sheet;
    try {
        sheet = workbook->sheet(QStringLiteral("0"));
        clearTemplateRows(*sheet, TemplateClearColumns, *services.status);
    } catch (...) {
        // Only the copy of the template is open: nothing of the user's is lost.
        workbook->close();
        throw;
    }
    if (!grid.query || !grid.query->isOpen()) {
        workbook->close();
        return;
    }
    const int rows = grid.rowCount();
    if (rows > presetRows && dialogs.question(services.owner, insertRowsQuestion(presetRows), kit::noticeCaption()))
        sheet->insertRows(TemplateInsertRow, rows - presetRows);
    writeGridRecords(*sheet, grid, start + 1, false);

    try {
        office->setVisible(true);
        busy.restore();
        sheet->setCellText(3, 3, templateDateText(services.today()));
        if (services.hasPrinter())
            sheet->setCenterFooter(pageFooterText());
        sheet->flush();
    } catch (const std::exception&) {
        // The filled workbook stays open; only the finishing touches are missing.
        busy.restore();
        dialogs.error(nullptr, exportFailedMessage(), kit::noticeCaption(), platform::MessageIcon::Error);
    }
}

}  // namespace statistics
