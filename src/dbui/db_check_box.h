#pragma once

#include <QCheckBox>

namespace dbui {

class DataSource;
class FieldLink;

// A check box showing one boolean field of the current record: ticked for
// true, cleared for false or no value. Clicking it puts the record into edit
// and sets the field; posting or moving stores it.
class DbCheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit DbCheckBox(const QString& caption = QString(), QWidget* parent = nullptr);

    DataSource* dataSource() const;
    void setDataSource(DataSource* source);
    QString fieldName() const;
    void setFieldName(const QString& name);

private:
    void showValue();
    void onClicked(bool checked);

    FieldLink* link_;
};

}  // namespace dbui
