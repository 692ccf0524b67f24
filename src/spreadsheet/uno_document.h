#pragma once

#include "spreadsheet/office_link.h"

#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>

#include <QDate>
#include <map>
#include <memory>

namespace spreadsheet::uno {

// What the workbook and its worksheets share about one open document,
// including the link to the office it lives in.
class DocumentState {
public:
    DocumentState(Reference<css::sheet::XSpreadsheetDocument> document, std::shared_ptr<OfficeLink> link);

    const Reference<css::sheet::XSpreadsheetDocument>& document() const { return document_; }
    Reference<css::frame::XModel> model() const;

    bool isOpen() const { return open_ && !link_->isCut(); }
    void markClosed() { open_ = false; }
    // An Error when the workbook was closed or its office has gone.
    void checkOpen() const;
    // A call into the office about this document (see OfficeLink::call).
    template <class F>
    auto call(Error::Operation operation, const QString& what, F&& f) const -> decltype(f())
    {
        return link_->call(operation, what, std::forward<F>(f));
    }
    // A call that stores the whole document (see OfficeLink::callOnWholeDocument).
    template <class F>
    auto callOnWholeDocument(Error::Operation operation, const QString& what, F&& f) const -> decltype(f())
    {
        return link_->callOnWholeDocument(operation, what, std::forward<F>(f));
    }

    // Day number 0 of the document's dates.
    QDate nullDate();
    bool isDateFormat(sal_Int32 formatKey);
    // Key of a number format code, added to the document when new.
    sal_Int32 formatKey(const QString& code);

    // Switches the document's automatic row heights and view updates off
    // while cells are written, and back as they were at the end.
    class BulkEdit {
    public:
        explicit BulkEdit(DocumentState& state);
        ~BulkEdit();
        BulkEdit(const BulkEdit&) = delete;
        BulkEdit& operator=(const BulkEdit&) = delete;

    private:
        DocumentState& state_;
        bool heightsWereAdjusted_ = false;
        bool locked_ = false;
    };

private:
    Reference<css::util::XNumberFormats> numberFormats();

    Reference<css::sheet::XSpreadsheetDocument> document_;
    std::shared_ptr<OfficeLink> link_;
    Reference<css::util::XNumberFormats> formats_;
    bool open_ = true;
    QDate nullDate_;
    std::map<sal_Int32, bool> dateFormats_;
};

} // namespace spreadsheet::uno
