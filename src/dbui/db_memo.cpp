#include "dbui/db_memo.h"

#include "dbui/field_link.h"

namespace dbui {

DbMemo::DbMemo(QWidget* parent) : QPlainTextEdit(parent), link_(new FieldLink(this))
{
    setObjectName(QStringLiteral("dbMemo"));
    setAccessibleName(QStringLiteral("文本"));
    connect(link_, &FieldLink::valueChanged, this, &DbMemo::showValue);
    connect(this, &QPlainTextEdit::textChanged, this, &DbMemo::onTextChanged);
    showValue();
}

DataSource* DbMemo::dataSource() const
{
    return link_->dataSource();
}

void DbMemo::setDataSource(DataSource* source)
{
    link_->setDataSource(source);
}

QString DbMemo::fieldName() const
{
    return link_->fieldName();
}

void DbMemo::setFieldName(const QString& name)
{
    link_->setFieldName(name);
}

void DbMemo::showValue()
{
    const QVariant value = link_->value();
    const QString text = value.isValid() ? value.toString() : QString();
    if (text == toPlainText())
        return;
    showing_ = true;
    setPlainText(text);
    showing_ = false;
}

void DbMemo::onTextChanged()
{
    if (showing_ || !link_->query() || link_->fieldIndex() < 0)
        return;
    link_->write(toPlainText());
}

}  // namespace dbui
