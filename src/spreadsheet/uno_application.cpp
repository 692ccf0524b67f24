#include "spreadsheet/uno_application.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include "platform/process.h"

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
        throw Error(QStringLiteral("A workbook cannot have %1 sheets").arg(count));
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
        throw Error(QStringLiteral("There is no workbook %1").arg(index));
    return workbooks_[static_cast<size_t>(index - 1)];
}

Reference<css::sheet::XSpreadsheetDocument> UnoApplication::load(const OUString& url, bool asTemplate)
{
    css::beans::PropertyValue properties[2];
    properties[0].Name = "Hidden";
    properties[0].Value <<= !visible_;
    properties[1].Name = "AsTemplate";
    properties[1].Value <<= asTemplate;
    Reference<css::lang::XComponent> component = desktop()->loadComponentFromURL(
        url, "_blank", 0, css::uno::Sequence<css::beans::PropertyValue>(properties, 2));
    if (!component.is())
        return nullptr;
    Reference<css::sheet::XSpreadsheetDocument> document(component, UNO_QUERY);
    if (!document.is()) {
        // Opened by another part of the office (a text file in the writer):
        // not a workbook, and not left open.
        Reference<css::util::XCloseable> closeable(component, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
    }
    return document;
}

std::shared_ptr<Workbook> UnoApplication::addWorkbook()
{
    auto workbook = guarded(QStringLiteral("Creating a new workbook failed"), [&] {
        Reference<css::sheet::XSpreadsheetDocument> document = load("private:factory/scalc");
        if (!document.is())
            throw Error(QStringLiteral("LibreOffice made no new workbook"));
        return std::make_shared<UnoWorkbook>(document, true);
    });
    workbooks_.push_back(workbook);
    workbook->setSheetCount(sheetsInNewWorkbook_);
    return workbook;
}

std::shared_ptr<Workbook> UnoApplication::addHiddenWorkbook()
{
    auto workbook = guarded(QStringLiteral("Creating a new workbook failed"), [&] {
        css::beans::PropertyValue hidden;
        hidden.Name = "Hidden";
        hidden.Value <<= true;
        Reference<css::sheet::XSpreadsheetDocument> document(
            desktop()->loadComponentFromURL("private:factory/scalc", "_blank", 0,
                                            css::uno::Sequence<css::beans::PropertyValue>(&hidden, 1)),
            UNO_QUERY);
        if (!document.is())
            throw Error(QStringLiteral("LibreOffice made no new workbook"));
        return std::make_shared<UnoWorkbook>(document, true);
    });
    workbook->keepHidden();
    dropClosedWorkbooks();
    workbooks_.push_back(workbook);
    workbook->setSheetCount(1);
    return workbook;
}

Reference<css::sheet::XSpreadsheetDocument>
UnoApplication::findOpenDocument(const Reference<css::frame::XDesktop2>& desktop, const QString& path)
{
    Reference<css::container::XEnumeration> components = desktop->getComponents()->createEnumeration();
    while (components->hasMoreElements()) {
        Reference<css::frame::XModel> model(components->nextElement(), UNO_QUERY);
        if (model.is() && samePath(localPath(model->getURL()), path))
            return Reference<css::sheet::XSpreadsheetDocument>(model, UNO_QUERY);
    }
    return nullptr;
}

std::shared_ptr<Workbook> UnoApplication::openWorkbook(const QString& path)
{
    if (!QFileInfo(path).isFile())
        throw Error(QStringLiteral("The file %1 does not exist").arg(path));
    const QString what = QStringLiteral("Opening the workbook %1 failed").arg(path);
    auto workbook = guarded(what, [&] {
        Reference<css::frame::XDesktop2> desk = desktop();
        dropClosedWorkbooks();
        for (const auto& known : workbooks_) {
            if (samePath(known->filePath(), path))
                return known;
        }
        // A document the user already has open is used, never taken over.
        if (Reference<css::sheet::XSpreadsheetDocument> open = findOpenDocument(desk, path); open.is()) {
            auto found = std::make_shared<UnoWorkbook>(open, false);
            workbooks_.push_back(found);
            return found;
        }
        Reference<css::sheet::XSpreadsheetDocument> document = load(fileUrl(path));
        if (!document.is())
            throw Error(QStringLiteral("%1: not a workbook LibreOffice can read").arg(what));
        auto opened = std::make_shared<UnoWorkbook>(document, true);
        workbooks_.push_back(opened);
        return opened;
    });
    return workbook;
}

std::shared_ptr<Workbook> UnoApplication::openTemplate(const QString& path)
{
    if (!QFileInfo(path).isFile())
        throw Error(QStringLiteral("The file %1 does not exist").arg(path));
    const QString what = QStringLiteral("Opening a workbook from %1 failed").arg(path);
    auto workbook = guarded(what, [&] {
        Reference<css::sheet::XSpreadsheetDocument> document = load(fileUrl(path), true);
        if (!document.is())
            throw Error(QStringLiteral("%1: not a workbook LibreOffice can read").arg(what));
        return std::make_shared<UnoWorkbook>(document, true);
    });
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
        // An office this object started, now without documents, is ended.
        Reference<css::frame::XDesktop2> desk = office_.desktop();
        if (office_.startedProcessId() != 0 && !desk->getComponents()->createEnumeration()->hasMoreElements())
            terminated = desk->terminate();
    } catch (const css::uno::Exception&) {
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
