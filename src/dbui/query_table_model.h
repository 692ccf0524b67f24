#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <vector>

namespace dbui {

class DataSource;

// The rows of a data source's query as a table model: one row per row of the
// result (a pending insert included), one column per chosen field. Nothing is
// read until a view asks for a cell, so a reset costs the same for any number
// of rows.
class QueryTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit QueryTableModel(QObject* parent = nullptr);

    DataSource* dataSource() const { return source_; }
    void setDataSource(DataSource* source);

    // Columns by field name, with optional captions (an empty or missing
    // caption shows the field name). No names: every field of the query.
    void setColumns(const QStringList& fieldNames, const QStringList& captions = {});
    QStringList columnFieldNames() const;
    void setColumnCaption(int column, const QString& caption);
    // The query's field index shown in a column; -1 when the query is closed
    // or has no such field.
    int fieldIndex(int column) const;
    // The column showing a field, -1 when none does.
    int columnOfField(int fieldIndex) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The text a cell shows (booleans as "True" / "False").
    QString cellText(int row, int column) const;

    // Whether the last text written through setData() was refused (and
    // reported); cleared by the next write.
    bool lastWriteRefused() const { return lastWriteRefused_; }

    // The row header's mark on the current record: browsing, being edited,
    // being inserted.
    static QString browseMark() { return QStringLiteral("\u25B6"); }
    static QString editMark() { return QStringLiteral("\u270E"); }
    static QString insertMark() { return QStringLiteral("*"); }

private:
    struct Column {
        QString fieldName;
        QString caption;
        int fieldIndex = -1;
    };

    void reset();
    void resolveColumns();
    void onRowInserted(int row);
    void onRowRemoved(int row);
    void onRowChanged(int row);
    void onFieldChanged(int fieldIndex);
    void onCurrentChanged(int recNo);
    void onStateChanged();
    void onRowsRefreshed();
    void refreshIndicator(int row);

    QPointer<DataSource> source_;
    QStringList names_;
    QStringList captions_;
    std::vector<Column> columns_;
    int rows_ = 0;         // as last announced to the views
    int currentRow_ = -1;  // the row showing the current-record indicator
    bool lastWriteRefused_ = false;
};

}  // namespace dbui
