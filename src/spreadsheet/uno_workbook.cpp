#include "spreadsheet/uno_workbook.h"

#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>

#include <QFileInfo>

namespace spreadsheet::uno {

namespace {

QString filterName(const QString& path, FileFormat format)
{
    if (format == FileFormat::FromExtension) {
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("xls"))
            format = FileFormat::Xls;
        else if (suffix == QLatin1String("xlsx"))
            format = FileFormat::Xlsx;
        else if (suffix == QLatin1String("ods"))
            format = FileFormat::Ods;
        else
            throw Error(QStringLiteral("Unknown workbook file type: %1").arg(path), Error::Operation::Save);
    }
    switch (format) {
    case FileFormat::Xls:
        return QStringLiteral("MS Excel 97");
    case FileFormat::Xlsx:
        return QStringLiteral("Calc MS Excel 2007 XML");
    case FileFormat::Ods:
    case FileFormat::FromExtension:
        break;
    }
    return QStringLiteral("calc8");
}

int sheetPosition(const Reference<css::sheet::XSpreadsheet>& sheet)
{
    return Reference<css::sheet::XCellRangeAddressable>(sheet, UNO_QUERY_THROW)->getRangeAddress().Sheet;
}

css::beans::PropertyValue property(const char* name, const css::uno::Any& value)
{
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

} // namespace

UnoWorkbook::UnoWorkbook(Reference<css::sheet::XSpreadsheetDocument> document, std::shared_ptr<OfficeLink> link,
                         bool owned)
    : state_(std::make_shared<DocumentState>(std::move(document), std::move(link)))
    , owned_(owned)
{
}

UnoWorkbook::~UnoWorkbook() = default;

bool UnoWorkbook::holds(const Reference<css::sheet::XSpreadsheetDocument>& document) const
{
    return state_->isOpen() && state_->document() == document;
}

QString UnoWorkbook::filePath() const
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Reading the workbook's file name failed"),
                   [&] { return localPath(state_->model()->getURL()); });
}

int UnoWorkbook::sheetCount()
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Counting the sheets failed"), [&] {
        Reference<css::container::XIndexAccess> sheets(state_->document()->getSheets(), UNO_QUERY_THROW);
        return static_cast<int>(sheets->getCount());
    });
}

std::shared_ptr<UnoWorksheet> UnoWorkbook::wrap(const Reference<css::sheet::XSpreadsheet>& sheet)
{
    // Calc hands out a new object for a sheet on every request; the sheet's
    // position tells whether it is one we already have.
    const int position = sheetPosition(sheet);
    for (const auto& known : sheets_) {
        if (sheetPosition(known->unoSheet()) == position)
            return known;
    }
    sheets_.push_back(std::make_shared<UnoWorksheet>(state_, sheet));
    return sheets_.back();
}

std::shared_ptr<Worksheet> UnoWorkbook::sheet(int index)
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Taking sheet %1 failed").arg(index), [&] {
        Reference<css::container::XIndexAccess> sheets(state_->document()->getSheets(), UNO_QUERY_THROW);
        if (index < 1 || index > sheets->getCount())
            throw Error(QStringLiteral("The workbook has no sheet %1").arg(index), Error::Operation::Read);
        return wrap(Reference<css::sheet::XSpreadsheet>(sheets->getByIndex(index - 1), UNO_QUERY_THROW));
    });
}

std::shared_ptr<Worksheet> UnoWorkbook::sheet(const QString& name)
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Taking sheet \"%1\" failed").arg(name), [&] {
        Reference<css::sheet::XSpreadsheets> sheets = state_->document()->getSheets();
        if (!sheets->hasByName(toOU(name)))
            throw Error(QStringLiteral("The workbook has no sheet named \"%1\"").arg(name), Error::Operation::Read);
        return wrap(Reference<css::sheet::XSpreadsheet>(sheets->getByName(toOU(name)), UNO_QUERY_THROW));
    });
}

bool UnoWorkbook::activeSheetIsWorksheet()
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Taking the active sheet failed"), [&] {
        Reference<css::sheet::XSpreadsheetView> view(state_->model()->getCurrentController(), UNO_QUERY);
        return view.is() && view->getActiveSheet().is();
    });
}

std::shared_ptr<Worksheet> UnoWorkbook::activeSheet()
{
    state_->checkOpen();
    return state_->call(Error::Operation::Read, QStringLiteral("Taking the active sheet failed"), [&] {
        Reference<css::sheet::XSpreadsheetView> view(state_->model()->getCurrentController(), UNO_QUERY);
        Reference<css::sheet::XSpreadsheet> sheet = view.is() ? view->getActiveSheet() : nullptr;
        if (!sheet.is())
            throw Error(QStringLiteral("The active sheet is not a worksheet"), Error::Operation::Read);
        return wrap(sheet);
    });
}

void UnoWorkbook::flushAll()
{
    for (const auto& sheet : sheets_)
        sheet->flush();
}

void UnoWorkbook::saveAs(const QString& path, FileFormat format)
{
    state_->checkOpen();
    const QString filter = filterName(path, format);
    flushAll();
    state_->callOnWholeDocument(Error::Operation::Save, QStringLiteral("Saving the workbook as %1 failed").arg(path), [&] {
        const css::beans::PropertyValue properties[] = {
            property("FilterName", css::uno::Any(toOU(filter))),
            property("Overwrite", css::uno::Any(true)),
        };
        const css::uno::Sequence<css::beans::PropertyValue> args(properties, 2);
        Reference<css::frame::XStorable>(state_->document(), UNO_QUERY_THROW)->storeAsURL(fileUrl(path), args);
    });
}

void UnoWorkbook::exportPdf(const QString& path)
{
    state_->checkOpen();
    flushAll();
    state_->callOnWholeDocument(Error::Operation::Save,
                                QStringLiteral("Exporting the workbook as PDF to %1 failed").arg(path), [&] {
        const css::beans::PropertyValue properties[] = {
            property("FilterName", css::uno::Any(OUString("calc_pdf_Export"))),
            property("Overwrite", css::uno::Any(true)),
        };
        const css::uno::Sequence<css::beans::PropertyValue> args(properties, 2);
        Reference<css::frame::XStorable>(state_->document(), UNO_QUERY_THROW)->storeToURL(fileUrl(path), args);
    });
}

void UnoWorkbook::close()
{
    if (!state_->isOpen())
        return;
    for (const auto& sheet : sheets_)
        sheet->discardPending();
    state_->markClosed();
    state_->call(Error::Operation::Other, QStringLiteral("Closing the workbook failed"), [&] {
        Reference<css::util::XModifiable> modifiable(state_->document(), UNO_QUERY);
        if (modifiable.is())
            modifiable->setModified(false);
        Reference<css::util::XCloseable>(state_->document(), UNO_QUERY_THROW)->close(true);
    });
}

void UnoWorkbook::setSheetCount(int count)
{
    state_->checkOpen();
    state_->call(Error::Operation::Write, QStringLiteral("Setting up the new workbook's sheets failed"), [&] {
        Reference<css::sheet::XSpreadsheets> sheets = state_->document()->getSheets();
        Reference<css::container::XIndexAccess> indexed(sheets, UNO_QUERY_THROW);
        int have = indexed->getCount();
        for (int n = 1; have < count; ++n) {
            const OUString name = toOU(QStringLiteral("Sheet%1").arg(n));
            if (!sheets->hasByName(name))
                sheets->insertNewByName(name, static_cast<sal_Int16>(have++));
        }
        while (have > count && have > 1) {
            Reference<css::container::XNamed> last(indexed->getByIndex(have - 1), UNO_QUERY_THROW);
            sheets->removeByName(last->getName());
            --have;
        }
    });
}

void UnoWorkbook::setWindowVisible(bool visible)
{
    if (hidden_)
        return;
    state_->checkOpen();
    flushAll();
    state_->call(Error::Operation::Other, QStringLiteral("Showing the workbook failed"), [&] {
        Reference<css::frame::XController> controller = state_->model()->getCurrentController();
        if (!controller.is() || !controller->getFrame().is())
            return;
        Reference<css::awt::XWindow> window = controller->getFrame()->getContainerWindow();
        if (window.is())
            window->setVisible(visible);
    });
}

} // namespace spreadsheet::uno
