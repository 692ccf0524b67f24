#include "dbui/field_link.h"

#include "dbui/data_source.h"
#include "platform/error_display.h"

namespace dbui {

FieldLink::FieldLink(QObject* parent) : QObject(parent) {}

void FieldLink::setDataSource(DataSource* source)
{
    if (source_ == source)
        return;
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) {
        connect(source_, &DataSource::resultReset, this, &FieldLink::notify);
        connect(source_, &DataSource::currentChanged, this, &FieldLink::notify);
        connect(source_, &DataSource::stateChanged, this, &FieldLink::notify);
        connect(source_, &DataSource::rowRemoved, this, &FieldLink::notify);
        connect(source_, &DataSource::rowsRefreshed, this, &FieldLink::notify);
        connect(source_, &DataSource::fieldChanged, this, &FieldLink::onFieldChanged);
        connect(source_, &DataSource::rowChanged, this, &FieldLink::onRowChanged);
        connect(source_, &QObject::destroyed, this, &FieldLink::valueChanged);
    }
    emit valueChanged();
}

void FieldLink::setFieldName(const QString& name)
{
    fieldName_ = name;
    emit valueChanged();
}

data::Query* FieldLink::query() const
{
    return source_ && source_->isActive() ? source_->query() : nullptr;
}

int FieldLink::fieldIndex() const
{
    data::Query* q = query();
    return q ? q->fieldIndex(fieldName_) : -1;
}

QVariant FieldLink::value() const
{
    const int index = fieldIndex();
    if (index < 0 || query()->recNo() == 0)
        return {};
    return query()->value(index);
}

bool FieldLink::write(const QVariant& value)
{
    data::Query* q = query();
    const int index = fieldIndex();
    if (!q || index < 0)
        return false;
    writing_ = true;
    const bool ok = platform::runGuarded([&] {
        q->edit();
        q->setValue(index, value);
    });
    writing_ = false;
    // The widget was not told while the record went into edit; it may now
    // show the stored value again, or nothing when the write failed.
    emit valueChanged();
    return ok;
}

void FieldLink::notify()
{
    if (!writing_)
        emit valueChanged();
}

void FieldLink::onFieldChanged(int fieldIndex)
{
    if (fieldIndex == this->fieldIndex())
        notify();
}

void FieldLink::onRowChanged(int row)
{
    data::Query* q = query();
    if (q && row == q->recNo() - 1)
        notify();
}

}  // namespace dbui
