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
        connect(source_, &DataSource::resultReset, this, &FieldLink::valueChanged);
        connect(source_, &DataSource::currentChanged, this, &FieldLink::valueChanged);
        connect(source_, &DataSource::stateChanged, this, &FieldLink::valueChanged);
        connect(source_, &DataSource::rowRemoved, this, &FieldLink::valueChanged);
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
    if (!ok)
        emit valueChanged();
    return ok;
}

void FieldLink::onFieldChanged(int fieldIndex)
{
    if (!writing_ && fieldIndex == this->fieldIndex())
        emit valueChanged();
}

void FieldLink::onRowChanged(int row)
{
    data::Query* q = query();
    if (q && row == q->recNo() - 1)
        emit valueChanged();
}

}  // namespace dbui
