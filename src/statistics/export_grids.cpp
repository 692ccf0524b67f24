#include "statistics/export_grids.h"

#include "data/engine/query.h"
#include "platform/busy_cursor.h"
#include "platform/dialogs.h"
#include "spreadsheet/spreadsheet.h"
#include "statistics/export_texts.h"
#include "window_kit/shared_messages.h"

namespace statistics {

namespace {

// Number of sheets a new workbook starts with, for the time of one export.
class NewWorkbookSheets {
public:
    NewWorkbookSheets(spreadsheet::Application& office, int count)
        : office_(office), before_(office.sheetsInNewWorkbook()) {
        office_.setSheetsInNewWorkbook(count);
    }
    ~NewWorkbookSheets() {
        try {
            office_.setSheetsInNewWorkbook(before_);
        } catch (const std::exception&) {
        }
    }
    NewWorkbookSheets(const NewWorkbookSheets&) = delete;
    NewWorkbookSheets& operator=(const NewWorkbookSheets&) = delete;

private:
    spreadsheet::Application& office_;
    int before_;
};

void writeTitleRow(spreadsheet::Worksheet& sheet, const GridExport& grid) {
    for (int c = 1; c <= grid.titles.size(); ++c)
        sheet.setCellText(1, c, grid.titles[c - 1]);
    for (int c = 1; c <= grid.titles.size(); ++c) {
        if (isTextColumnTitle(grid.titles[c - 1]))
            sheet.setColumnNumberFormat(c, QStringLiteral("@"));
        sheet.autoFitColumn(c);
    }
}

void writeRecords(spreadsheet::Worksheet& sheet, const GridExport& grid) {
    writeGridRecords(sheet, grid, 2, true);
    // Once more with the data in place, so that long names show whole.
    sheet.autoFitColumns(1, int(grid.titles.size()));
}

void setUpPage(spreadsheet::Worksheet& sheet) {
    sheet.setCenterFooter(pageFooterText());
    sheet.setCenterHorizontally(true);
    sheet.setCenterVertically(true);
    sheet.setPrintGridLines(true);
    sheet.setOrientation(spreadsheet::PageOrientation::Landscape);
}

}  // namespace

bool isTextColumnTitle(const QString& title) {
    static const QStringList titles{QStringLiteral("批号"),   QStringLiteral("厂内型号"), QStringLiteral("里布打印"),
                                    QStringLiteral("楦型"),   QStringLiteral("厂内单号"), QStringLiteral("外购"),
                                    QStringLiteral("未下料")};
    return titles.contains(title);
}

void exportGrids(const std::vector<GridExport>& grids, const ExportServices& services) {
    platform::Dialogs& dialogs = *services.dialogs;
    if (grids.empty())
        return;
    if (!dialogs.question(services.owner, confirmExportQuestion(), kit::noticeCaption()))
        return;
    if (grids.front().rowCount() > ExportRowWarning &&
        !dialogs.question(services.owner, manyRowsExportQuestion(), kit::noticeCaption()))
        return;

    platform::BusyCursor busy;
    spreadsheet::Application* office = connectOffice(services, busy);
    if (!office)
        return;

    std::shared_ptr<spreadsheet::Workbook> workbook;
    {
        NewWorkbookSheets sheets(*office, int(grids.size()));
        workbook = office->addWorkbook();
    }
    std::shared_ptr<spreadsheet::Worksheet> sheet;
    for (int k = 1; k <= int(grids.size()); ++k) {
        const GridExport& grid = grids[size_t(k - 1)];
        workbook->sheet(k)->setName(grid.name);
        sheet = workbook->sheet(grid.name);
        if (!grid.query || !grid.query->isOpen()) {
            // Nothing was written: the empty workbook is not left behind.
            if (k == 1)
                workbook->close();
            return;
        }
        writeTitleRow(*sheet, grid);
        writeRecords(*sheet, grid);
        office->setVisible(true);
    }

    try {
        if (services.hasPrinter())
            setUpPage(*sheet);
        sheet->flush();
        busy.restore();
    } catch (const std::exception&) {
        // The data stays in the open workbook; only the page setup is missing.
        busy.restore();
        dialogs.error(nullptr, exportFailedMessage(), kit::noticeCaption(), platform::MessageIcon::Error);
    }
}

}  // namespace statistics
