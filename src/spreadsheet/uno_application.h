#pragma once

#include "spreadsheet/libreoffice.h"
#include "spreadsheet/office_connection.h"
#include "spreadsheet/uno_workbook.h"

#include <memory>
#include <vector>

namespace spreadsheet::uno {

class UnoApplication : public Application {
public:
    explicit UnoApplication(const OfficeOptions& options);
    ~UnoApplication() override;

    void connect() override;
    bool isConnected() const override { return office_.isConnected(); }
    bool isVisible() const override { return visible_; }
    void setVisible(bool visible) override;
    int sheetsInNewWorkbook() const override { return sheetsInNewWorkbook_; }
    void setSheetsInNewWorkbook(int count) override;
    bool displayAlerts() const override { return displayAlerts_; }
    void setDisplayAlerts(bool on) override { displayAlerts_ = on; }
    int workbookCount() override;
    std::shared_ptr<Workbook> workbook(int index) override;
    std::shared_ptr<Workbook> addWorkbook() override;
    std::shared_ptr<Workbook> addHiddenWorkbook() override;
    std::shared_ptr<Workbook> openWorkbook(const QString& path) override;
    std::shared_ptr<Workbook> openTemplate(const QString& path) override;
    void quit() override;
    qint64 officeProcessId() const override { return office_.startedProcessId(); }

private:
    // Connects (again) when needed; workbooks of an office that has gone are
    // dropped.
    Reference<css::frame::XDesktop2> desktop();
    void dropClosedWorkbooks();
    Reference<css::sheet::XSpreadsheetDocument> findOpenDocument(const Reference<css::frame::XDesktop2>& desktop,
                                                                 const QString& path);
    struct LoadOptions {
        QString what;      // the start of an Error's text
        OUString filter;   // the import filter; empty for a new document
        bool asTemplate = false;
        bool hidden = false;  // hidden whatever the application's visibility
    };
    Reference<css::sheet::XSpreadsheetDocument> load(const OUString& url, const LoadOptions& options);

    OfficeConnection office_;
    int generation_ = 0;
    bool visible_ = false;
    bool displayAlerts_ = true;
    int sheetsInNewWorkbook_ = 3;
    std::vector<std::shared_ptr<UnoWorkbook>> workbooks_;
};

} // namespace spreadsheet::uno
