#pragma once

#include "data/engine/query.h"
#include "dbui/data_source.h"

#include <QObject>
#include <QPointer>

namespace dbui {

// Ties a widget to one field of a data source's current record: tells it
// when the value to show may have changed, and writes into the field,
// putting the record into edit first.
class FieldLink : public QObject {
    Q_OBJECT

public:
    explicit FieldLink(QObject* parent = nullptr);

    DataSource* dataSource() const { return source_; }
    void setDataSource(DataSource* source);
    QString fieldName() const { return fieldName_; }
    void setFieldName(const QString& name);

    // The query when it is open, the data source enabled and the field known.
    data::Query* query() const;
    int fieldIndex() const;
    // The field's value in the current record; invalid when there is none.
    QVariant value() const;
    // Puts the record into edit and stores the value; errors go to the
    // general error display. False when the value could not be stored.
    bool write(const QVariant& value);

signals:
    // The value to show may be different now.
    void valueChanged();

private:
    void notify();
    void onFieldChanged(int fieldIndex);
    void onRowChanged(int row);

    QPointer<DataSource> source_;
    QString fieldName_;
    bool writing_ = false;
};

}  // namespace dbui
