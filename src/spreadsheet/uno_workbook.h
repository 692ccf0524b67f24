#pragma once

#include "spreadsheet/spreadsheet.h"
#include "spreadsheet/uno_document.h"
#include "spreadsheet/uno_worksheet.h"

#include <memory>
#include <vector>

namespace spreadsheet::uno {

// A Calc document. `owned` tells whether the layer made or opened it (and may
// close it) or found it already open in the office (the user's).
class UnoWorkbook : public Workbook {
public:
    UnoWorkbook(Reference<css::sheet::XSpreadsheetDocument> document, std::shared_ptr<OfficeLink> link, bool owned);
    ~UnoWorkbook() override;

    bool isOwned() const { return owned_; }
    // Whether this is the given document.
    bool holds(const Reference<css::sheet::XSpreadsheetDocument>& document) const;

    QString filePath() const override;
    int sheetCount() override;
    std::shared_ptr<Worksheet> sheet(int index) override;
    std::shared_ptr<Worksheet> sheet(const QString& name) override;
    bool activeSheetIsWorksheet() override;
    std::shared_ptr<Worksheet> activeSheet() override;
    void saveAs(const QString& path, FileFormat format) override;
    void exportPdf(const QString& path) override;
    void close() override;
    bool isOpen() const override { return state_->isOpen(); }

    // Makes the sheet count what a new workbook should start with.
    void setSheetCount(int count);
    // A workbook made hidden stays hidden when the application is shown.
    void keepHidden() { hidden_ = true; }
    void setWindowVisible(bool visible);
    void flushAll();
    // The office went away: every later call is an Error.
    void markGone() { state_->markClosed(); }

private:
    std::shared_ptr<UnoWorksheet> wrap(const Reference<css::sheet::XSpreadsheet>& sheet);

    std::shared_ptr<DocumentState> state_;
    bool owned_;
    bool hidden_ = false;
    std::vector<std::shared_ptr<UnoWorksheet>> sheets_;
};

} // namespace spreadsheet::uno
