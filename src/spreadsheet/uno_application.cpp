#include "spreadsheet/uno_application.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include "platform/process.h"
#include "spreadsheet/declining_handler.h"
#include "spreadsheet/workbook_kind.h"

#include <rtl/ref.hxx>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

namespace spreadsheet {

std::unique_ptr<Application> createLibreOfficeApplication(const OfficeOptions& options)
{
    return std::make_unique<uno::UnoApplication>(options);
}

} // namespace spreadsheet

namespace spreadsheet::uno {

namespace {

constexpr int quitWaitMs = 10000;

css::beans::PropertyValue property(const char* name, const css::uno::Any& value)
{
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

// The office's import filter for a kind of workbook; empty for a file the
// program does not hand to the office.
OUString importFilter(WorkbookKind kind)
{
    switch (kind) {
    case WorkbookKind::Xls:
        return "MS Excel 97";
    case WorkbookKind::Xlsx:
        return "Calc MS Excel 2007 XML";
    case WorkbookKind::Ods:
        return "calc8";
    case WorkbookKind::Unknown:
        break;
    }
    return OUString();
}

// The filter for the workbook file at path; an Error, before the office sees
// the file, when it is none the program reads.
OUString importFilterOfFile(const QString& path, const QString& what)
{
    if (!QFileInfo(path).isFile())
        throw Error(QStringLiteral("%1: the file does not exist").arg(what), Error::Operation::Open);
    const OUString filter = importFilter(workbookKindOfFile(path));
    if (filter.isEmpty())
        throw Error(QStringLiteral("%1: the file is no Excel or OpenDocument workbook").arg(what),
                    Error::Operation::Open);
    return filter;
}

bool samePath(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    const QString ca = fa.canonicalFilePath();
    const QString cb = fb.canonicalFilePath();
    return !ca.isEmpty() ? ca == cb : fa.absoluteFilePath() == fb.absoluteFilePath();
}

} // namespace

UnoApplication::UnoApplication(const OfficeOptions& options)
    : office_(options)
{
}

UnoApplication::~UnoApplication()
{
    // What was written reaches the office; the workbooks stay open for the user.
    for (const auto& workbook : workbooks_) {
        try {
            if (workbook->isOpen())
                workbook->flushAll();
        } catch (const Error&) {
        }
    }
}

Reference<css::frame::XDesktop2> UnoApplication::desktop()
{
    Reference<css::frame::XDesktop2> result = office_.desktop();
    if (office_.generation() != generation_) {
        for (const auto& workbook : workbooks_)
            workbook->markGone();
        workbooks_.clear();
        generation_ = office_.generation();
    }
    return result;
}

void UnoApplication::connect()
{
    desktop();
}

void UnoApplication::dropClosedWorkbooks()
{
    std::erase_if(workbooks_, [](const auto& workbook) { return !workbook->isOpen(); });
}

void UnoApplication::setVisible(bool visible)
{
    visible_ = visible;
    desktop();
    dropClosedWorkbooks();
    for (const auto& workbook : workbooks_)
        workbook->setWindowVisible(visible);
}

void UnoApplication::setSheetsInNewWorkbook(int count)
{
    if (count < 1 || count > 255)
        throw Error(QStringLiteral("A workbook cannot have %1 sheets").arg(count), Error::Operation::Other);
    sheetsInNewWorkbook_ = count;
}

int UnoApplication::workbookCount()
{
    desktop();
    dropClosedWorkbooks();
    return static_cast<int>(workbooks_.size());
}

std::shared_ptr<Workbook> UnoApplication::workbook(int index)
{
    const int count = workbookCount();
    if (index < 1 || index > count)
        throw Error(QStringLiteral("There is no workbook %1").arg(index), Error::Operation::Other);
    return workbooks_[static_cast<size_t>(index - 1)];
}

Reference<css::sheet::XSpreadsheetDocument> UnoApplication::load(const OUString& url, const LoadOptions& options)
{
    // Nothing the office would ask while loading reaches a dialog: every
    // question is declined, damaged packages are not repaired, macros and
    // links stay off, and the filter is given rather than guessed.
    const rtl::Reference<DecliningHandler> handler(new DecliningHandler);
    const Reference<css::task::XInteractionHandler> declining(handler.get());
    std::vector<css::beans::PropertyValue> properties{
        property("Hidden", css::uno::Any(options.hidden || !visible_)),
        property("AsTemplate", css::uno::Any(options.asTemplate)),
        property("InteractionHandler", css::uno::Any(declining)),
        property("RepairPackage", css::uno::Any(false)),
        property("MacroExecutionMode", css::uno::Any(css::document::MacroExecMode::NEVER_EXECUTE)),
        property("UpdateDocMode", css::uno::Any(css::document::UpdateDocMode::NO_UPDATE)),
    };
    if (!options.filter.isEmpty())
        properties.push_back(property("FilterName", css::uno::Any(options.filter)));
    const css::uno::Sequence<css::beans::PropertyValue> arguments(properties.data(),
                                                                 static_cast<sal_Int32>(properties.size()));
    Reference<css::frame::XDesktop2> desk = desktop();
    const QString what = options.what;
    return office_.link()->callOnWholeDocument(Error::Operation::Open, what, [&]() -> Reference<css::sheet::XSpreadsheetDocument> {
        Reference<css::lang::XComponent> component;
        try {
            component = desk->loadComponentFromURL(url, "_blank", 0, arguments);
        } catch (const css::lang::DisposedException&) {
            throw;
        } catch (const css::uno::Exception& e) {
            const QString declined = handler->declined();
            if (declined.isEmpty())
                throw;
            throwError(Error::Operation::Open, QStringLiteral("%1 (declined: %2)").arg(what, declined), e);
        }
        if (!component.is()) {
            const QString declined = handler->declined();
            throw Error(declined.isEmpty() ? QStringLiteral("%1: not a workbook LibreOffice can read").arg(what)
                                           : QStringLiteral("%1: LibreOffice asked %2; declined").arg(what, declined),
                        Error::Operation::Open);
        }
        Reference<css::sheet::XSpreadsheetDocument> document(component, UNO_QUERY);
        if (!document.is()) {
            // Opened by another part of the office: not a workbook, and not
            // left open.
            Reference<css::util::XCloseable> closeable(component, UNO_QUERY);
            if (closeable.is())
                closeable->close(true);
            throw Error(QStringLiteral("%1: not a workbook").arg(what), Error::Operation::Open);
        }
        return document;
    });
}

std::shared_ptr<Workbook> UnoApplication::addWorkbook()
{
    Reference<css::sheet::XSpreadsheetDocument> document =
        load("private:factory/scalc", {QStringLiteral("Creating a new workbook failed"), OUString(), false});
    auto workbook = std::make_shared<UnoWorkbook>(document, office_.link(), true);
    workbooks_.push_back(workbook);
    workbook->setSheetCount(sheetsInNewWorkbook_);
    return workbook;
}

std::shared_ptr<Workbook> UnoApplication::addHiddenWorkbook()
{
    LoadOptions options{QStringLiteral("Creating a new workbook failed"), OUString(), false};
    options.hidden = true;
    auto workbook = std::make_shared<UnoWorkbook>(load("private:factory/scalc", options), office_.link(), true);
    workbook->keepHidden();
    dropClosedWorkbooks();
    workbooks_.push_back(workbook);
    workbook->setSheetCount(1);
    return workbook;
}

Reference<css::sheet::XSpreadsheetDocument>
UnoApplication::findOpenDocument(const Reference<css::frame::XDesktop2>& desktop, const QString& path)
{
    return office_.link()->call(
        Error::Operation::Open, QStringLiteral("Looking for the open workbook %1 failed").arg(path),
        [&]() -> Reference<css::sheet::XSpreadsheetDocument> {
            Reference<css::container::XEnumeration> components = desktop->getComponents()->createEnumeration();
            while (components->hasMoreElements()) {
                Reference<css::frame::XModel> model(components->nextElement(), UNO_QUERY);
                if (model.is() && samePath(localPath(model->getURL()), path))
                    return Reference<css::sheet::XSpreadsheetDocument>(model, UNO_QUERY);
            }
            return nullptr;
        });
}

std::shared_ptr<Workbook> UnoApplication::openWorkbook(const QString& path)
{
    const QString what = QStringLiteral("Opening the workbook %1 failed").arg(path);
    const OUString filter = importFilterOfFile(path, what);
    Reference<css::frame::XDesktop2> desk = desktop();
    dropClosedWorkbooks();
    for (const auto& known : workbooks_) {
        if (samePath(known->filePath(), path))
            return known;
    }
    // A document the user already has open is used, never taken over.
    if (Reference<css::sheet::XSpreadsheetDocument> open = findOpenDocument(desk, path); open.is()) {
        auto found = std::make_shared<UnoWorkbook>(open, office_.link(), false);
        workbooks_.push_back(found);
        return found;
    }
    Reference<css::sheet::XSpreadsheetDocument> document = load(fileUrl(path), {what, filter});
    auto opened = std::make_shared<UnoWorkbook>(document, office_.link(), true);
    workbooks_.push_back(opened);
    return opened;
}

std::shared_ptr<Workbook> UnoApplication::openTemplate(const QString& path)
{
    const QString what = QStringLiteral("Opening a workbook from %1 failed").arg(path);
    const OUString filter = importFilterOfFile(path, what);
    Reference<css::sheet::XSpreadsheetDocument> document = load(fileUrl(path), {what, filter, true});
    auto workbook = std::make_shared<UnoWorkbook>(document, office_.link(), true);
    dropClosedWorkbooks();
    workbooks_.push_back(workbook);
    return workbook;
}

void UnoApplication::quit()
{
    if (!office_.isConnected()) {
        workbooks_.clear();
        return;
    }
    for (const auto& workbook : workbooks_) {
        try {
            if (workbook->isOwned())
                workbook->close();
            else
                workbook->flushAll();
        } catch (const Error&) {
            // The office may have gone meanwhile; nothing is left to close.
        }
    }
    workbooks_.clear();
    bool terminated = false;
    try {
        // An office this object started, now without documents, is ended;
        // one that has gone meanwhile is not started again only to be ended.
        Reference<css::frame::XDesktop2> desk = office_.answeringDesktop();
        if (desk.is() && office_.startedProcessId() != 0)
            terminated = office_.link()->call(
                Error::Operation::Other, QStringLiteral("Ending LibreOffice failed"),
                [&] { return !desk->getComponents()->createEnumeration()->hasMoreElements() && desk->terminate(); });
    } catch (const Error&) {
    }
    office_.disconnect();
    if (terminated) {
        // Wait until it is gone, so that a later connection cannot reach the
        // office while it is shutting down.
        QDeadlineTimer deadline(quitWaitMs);
        while (platform::isProcessRunning(office_.startedProcessId()) && !deadline.hasExpired())
            QThread::msleep(50);
    }
}

} // namespace spreadsheet::uno
