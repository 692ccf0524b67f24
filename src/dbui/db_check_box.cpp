#include "dbui/db_check_box.h"

#include "dbui/field_link.h"

namespace dbui {

DbCheckBox::DbCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent), link_(new FieldLink(this))
{
    setObjectName(QStringLiteral("dbCheckBox"));
    setAccessibleName(caption);
    connect(link_, &FieldLink::valueChanged, this, &DbCheckBox::showValue);
    connect(this, &QCheckBox::clicked, this, &DbCheckBox::onClicked);
    showValue();
}

DataSource* DbCheckBox::dataSource() const
{
    return link_->dataSource();
}

void DbCheckBox::setDataSource(DataSource* source)
{
    link_->setDataSource(source);
}

QString DbCheckBox::fieldName() const
{
    return link_->fieldName();
}

void DbCheckBox::setFieldName(const QString& name)
{
    link_->setFieldName(name);
}

void DbCheckBox::showValue()
{
    const QVariant value = link_->value();
    setChecked(value.isValid() && value.toBool());
    setEnabled(link_->fieldIndex() >= 0);
}

void DbCheckBox::onClicked(bool checked)
{
    if (!link_->write(checked))
        showValue();
}

}  // namespace dbui
