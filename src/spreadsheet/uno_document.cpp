#include "spreadsheet/uno_document.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/util/Date.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XNumberFormatTypes.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>

namespace spreadsheet::uno {

DocumentState::DocumentState(Reference<css::sheet::XSpreadsheetDocument> document,
                             std::shared_ptr<OfficeLink> link)
    : document_(std::move(document))
    , link_(std::move(link))
{
}

Reference<css::frame::XModel> DocumentState::model() const
{
    return Reference<css::frame::XModel>(document_, UNO_QUERY_THROW);
}

void DocumentState::checkOpen() const
{
    if (!isOpen())
        throw Error(QStringLiteral("The workbook is no longer open"), Error::Operation::Gone);
}

Reference<css::util::XNumberFormats> DocumentState::numberFormats()
{
    if (!formats_.is()) {
        Reference<css::util::XNumberFormatsSupplier> supplier(document_, UNO_QUERY_THROW);
        formats_ = supplier->getNumberFormats();
    }
    return formats_;
}

QDate DocumentState::nullDate()
{
    if (!nullDate_.isValid()) {
        Reference<css::util::XNumberFormatsSupplier> supplier(document_, UNO_QUERY_THROW);
        css::util::Date date;
        if (supplier->getNumberFormatSettings()->getPropertyValue("NullDate") >>= date)
            nullDate_ = QDate(date.Year, date.Month, date.Day);
        if (!nullDate_.isValid())
            nullDate_ = QDate(1899, 12, 30);
    }
    return nullDate_;
}

bool DocumentState::isDateFormat(sal_Int32 formatKey)
{
    if (auto it = dateFormats_.find(formatKey); it != dateFormats_.end())
        return it->second;
    sal_Int16 type = 0;
    Reference<css::beans::XPropertySet> format = numberFormats()->getByKey(formatKey);
    if (format.is())
        format->getPropertyValue("Type") >>= type;
    const bool isDate = (type & css::util::NumberFormat::DATE) != 0;
    dateFormats_[formatKey] = isDate;
    return isDate;
}

sal_Int32 DocumentState::formatKey(const QString& code)
{
    const css::lang::Locale locale;
    if (code == QLatin1String("@")) {
        Reference<css::util::XNumberFormatTypes> types(numberFormats(), UNO_QUERY_THROW);
        return types->getStandardFormat(css::util::NumberFormat::TEXT, locale);
    }
    sal_Int32 key = numberFormats()->queryKey(toOU(code), locale, false);
    if (key < 0)
        key = numberFormats()->addNew(toOU(code), locale);
    return key;
}

DocumentState::BulkEdit::BulkEdit(DocumentState& state)
    : state_(state)
{
    Reference<css::beans::XPropertySet> settings(state_.document_, UNO_QUERY_THROW);
    settings->getPropertyValue("IsAdjustHeightEnabled") >>= heightsWereAdjusted_;
    if (heightsWereAdjusted_)
        settings->setPropertyValue("IsAdjustHeightEnabled", css::uno::Any(false));
    state_.model()->lockControllers();
    locked_ = true;
}

DocumentState::BulkEdit::~BulkEdit()
{
    try {
        if (locked_)
            state_.model()->unlockControllers();
        if (heightsWereAdjusted_) {
            Reference<css::beans::XPropertySet> settings(state_.document_, UNO_QUERY_THROW);
            settings->setPropertyValue("IsAdjustHeightEnabled", css::uno::Any(true));
        }
    } catch (const css::uno::Exception&) {
        // The office has gone; the next call reports it.
    }
}

} // namespace spreadsheet::uno
