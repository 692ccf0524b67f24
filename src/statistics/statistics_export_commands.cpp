#include "statistics/statistics_window.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/printers.h"
#include "spreadsheet/spreadsheet.h"
#include "statistics/export_grids.h"
#include "statistics/export_texts.h"
#include "statistics/print_template.h"
#include "statistics/supplier_export.h"
#include "window_kit/shared_messages.h"
#include "window_kit/status_panels.h"
#include "window_kit/window_status.h"

namespace {

// The template's data begin after row 5 and it has 12 preset data rows.
constexpr int TemplateStartOffset = 5;
constexpr int TemplatePresetRows = 12;

statistics::ExportServices exportServices(kit::WindowRegistry& windows, QWidget* owner, kit::StatusSink& status) {
    statistics::ExportServices services;
    services.office = [&windows]() -> spreadsheet::Application& {
        spreadsheet::Application& office = windows.spreadsheet();
        office.connect();
        return office;
    };
    services.dialogs = &platform::dialogs();
    services.owner = owner;
    services.status = &status;
    services.hasPrinter = [] { return !platform::installedPrinters().isEmpty(); };
    return services;
}

}  // namespace

void TAForm6TJ::ToolButton12Click() {
    kit::WindowStatus status(*sBar);
    statistics::exportGrids({statistics::describeGrid(*DBGrid2)}, exportServices(windows_, this, status));
}

void TAForm6TJ::ToolButton6Click() {
    kit::WindowStatus status(*sBar);
    const statistics::ExportServices services = exportServices(windows_, this, status);
    const statistics::GridExport grid = statistics::describeGrid(*DBGrid2);
    const QString path = platform::programFolder() + statistics::templateRelativePath();
    if (platform::fileExists(path)) {
        statistics::fillPrintTemplate(path, grid, TemplateStartOffset, TemplatePresetRows, services);
        return;
    }
    platform::dialogs().error(nullptr, statistics::templateMissingMessage(), kit::noticeCaption(),
                              platform::MessageIcon::Error);
    statistics::exportGrids({grid}, services);
}

void TAForm6TJ::ToolButtonGYSClick() {
    kit::WindowStatus status(*sBar);
    const QString folder = platform::programFolder() + statistics::purchaseFolderName();
    statistics::exportBySupplier(statistics::describeGrid(*DBGrid2), folder, exportServices(windows_, this, status));
}
