#pragma once

#include <QPlainTextEdit>

namespace dbui {

class DataSource;
class FieldLink;

// A multi-line text box showing one text field of the current record.
// Typing puts the record into edit and writes the text into the field as it
// changes, so posting or moving stores it.
class DbMemo : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit DbMemo(QWidget* parent = nullptr);

    DataSource* dataSource() const;
    void setDataSource(DataSource* source);
    QString fieldName() const;
    void setFieldName(const QString& name);

private:
    void showValue();
    void onTextChanged();

    FieldLink* link_;
    bool showing_ = false;
};

}  // namespace dbui
