#include "dbui/query_table_model.h"

#include "dbui/data_source.h"
#include "platform/error_display.h"

namespace dbui {

namespace {

QString displayText(const QVariant& value, data::FieldKind kind)
{
    if (!value.isValid())
        return {};
    if (kind == data::FieldKind::Boolean)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

}  // namespace

QueryTableModel::QueryTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void QueryTableModel::setDataSource(DataSource* source)
{
    if (source_ == source)
        return;
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) {
        connect(source_, &DataSource::resultReset, this, &QueryTableModel::reset);
        connect(source_, &DataSource::rowInserted, this, &QueryTableModel::onRowInserted);
        connect(source_, &DataSource::rowRemoved, this, &QueryTableModel::onRowRemoved);
        connect(source_, &DataSource::rowChanged, this, &QueryTableModel::onRowChanged);
        connect(source_, &DataSource::fieldChanged, this, &QueryTableModel::onFieldChanged);
        connect(source_, &DataSource::currentChanged, this, &QueryTableModel::onCurrentChanged);
        connect(source_, &DataSource::stateChanged, this, &QueryTableModel::onStateChanged);
        connect(source_, &DataSource::rowsRefreshed, this, &QueryTableModel::onRowsRefreshed);
        connect(source_, &QObject::destroyed, this, &QueryTableModel::reset);
    }
    reset();
}

void QueryTableModel::setColumns(const QStringList& fieldNames, const QStringList& captions)
{
    names_ = fieldNames;
    captions_ = captions;
    reset();
}

QStringList QueryTableModel::columnFieldNames() const
{
    QStringList names;
    for (const Column& c : columns_)
        names << c.fieldName;
    return names;
}

void QueryTableModel::setColumnCaption(int column, const QString& caption)
{
    if (column < 0 || column >= int(columns_.size()))
        return;
    while (captions_.size() <= column)
        captions_ << QString();
    captions_[column] = caption;
    columns_[column].caption = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void QueryTableModel::resolveColumns()
{
    columns_.clear();
    data::Query* query = source_ && source_->isActive() ? source_->query() : nullptr;
    if (names_.isEmpty()) {
        const int count = query ? query->fieldCount() : 0;
        for (int i = 0; i < count; ++i)
            columns_.push_back({query->fieldName(i), captions_.value(i), i});
        return;
    }
    for (int c = 0; c < names_.size(); ++c)
        columns_.push_back({names_[c], captions_.value(c), query ? query->fieldIndex(names_[c]) : -1});
}

void QueryTableModel::reset()
{
    beginResetModel();
    resolveColumns();
    const bool active = source_ && source_->isActive();
    rows_ = active ? source_->query()->rowCount() : 0;
    currentRow_ = active ? source_->query()->recNo() - 1 : -1;
    endResetModel();
}

int QueryTableModel::fieldIndex(int column) const
{
    return column >= 0 && column < int(columns_.size()) ? columns_[column].fieldIndex : -1;
}

int QueryTableModel::columnOfField(int fieldIndex) const
{
    for (int c = 0; c < int(columns_.size()); ++c)
        if (columns_[c].fieldIndex == fieldIndex)
            return c;
    return -1;
}

int QueryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int QueryTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QString QueryTableModel::cellText(int row, int column) const
{
    const int field = fieldIndex(column);
    if (field < 0 || !source_ || !source_->isActive() || row < 0 || row >= rows_)
        return {};
    data::Query* query = source_->query();
    return displayText(query->valueAt(row, field), query->fieldKind(field));
}

QVariant QueryTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return cellText(index.row(), index.column());
    return {};
}

bool QueryTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    lastWriteRefused_ = false;
    if (role != Qt::EditRole || !index.isValid() || !source_ || !source_->isActive())
        return false;
    const int field = fieldIndex(index.column());
    if (field < 0)
        return false;
    const QString text = value.toString();
    // An editor closed without a change leaves the record as it was.
    if (text == cellText(index.row(), index.column()))
        return true;
    data::Query* query = source_->query();
    lastWriteRefused_ = !platform::runGuarded([&] {
        if (query->recNo() != index.row() + 1)
            query->moveTo(index.row() + 1);
        query->edit();
        query->field(field).setText(text);
    });
    return !lastWriteRefused_;
}

QVariant QueryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= int(columns_.size()))
            return {};
        const Column& c = columns_[section];
        return c.caption.isEmpty() ? c.fieldName : c.caption;
    }
    // The row header marks the current record and what is being done to it.
    if (section != currentRow_ || !source_ || !source_->isActive())
        return QString();
    switch (source_->query()->state()) {
    case data::Query::State::Edit:
        return editMark();
    case data::Query::State::Insert:
        return insertMark();
    default:
        return browseMark();
    }
}

Qt::ItemFlags QueryTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (fieldIndex(index.column()) >= 0)
        f |= Qt::ItemIsEditable;
    return f;
}

void QueryTableModel::onRowInserted(int row)
{
    if (!source_ || !source_->isActive() || row < 0 || row > rows_)
        return reset();
    beginInsertRows({}, row, row);
    ++rows_;
    if (currentRow_ >= row)
        ++currentRow_;
    endInsertRows();
}

void QueryTableModel::onRowRemoved(int row)
{
    if (!source_ || !source_->isActive() || row < 0 || row >= rows_)
        return reset();
    beginRemoveRows({}, row, row);
    --rows_;
    if (currentRow_ == row)
        currentRow_ = -1;
    else if (currentRow_ > row)
        --currentRow_;
    endRemoveRows();
}

void QueryTableModel::onRowChanged(int row)
{
    if (row < 0 || row >= rows_ || columns_.empty())
        return;
    emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
    refreshIndicator(row);
}

void QueryTableModel::onFieldChanged(int fieldIndex)
{
    if (!source_ || !source_->isActive())
        return;
    const int row = source_->query()->recNo() - 1;
    if (row < 0 || row >= rows_)
        return;
    for (int c = 0; c < int(columns_.size()); ++c)
        if (columns_[c].fieldIndex == fieldIndex)
            emit dataChanged(index(row, c), index(row, c));
}

void QueryTableModel::onCurrentChanged(int recNo)
{
    const int previous = currentRow_;
    currentRow_ = recNo - 1;
    refreshIndicator(previous);
    refreshIndicator(currentRow_);
}

void QueryTableModel::onStateChanged()
{
    refreshIndicator(currentRow_);
}

// Every row but the one being edited is read again when next painted; the
// edited row shows what was typed, and an open cell editor on it is left
// alone (the views would give it the cell's value again).
void QueryTableModel::onRowsRefreshed()
{
    if (!source_ || !source_->isActive())
        return;
    data::Query* query = source_->query();
    if (query->rowCount() != rows_)
        return reset();
    if (rows_ == 0 || columns_.empty())
        return;
    const int lastColumn = int(columns_.size()) - 1;
    const int edited = query->isEditing() ? query->recNo() - 1 : -1;
    if (edited < 0) {
        emit dataChanged(index(0, 0), index(rows_ - 1, lastColumn));
        return;
    }
    if (edited > 0)
        emit dataChanged(index(0, 0), index(edited - 1, lastColumn));
    if (edited < rows_ - 1)
        emit dataChanged(index(edited + 1, 0), index(rows_ - 1, lastColumn));
}

void QueryTableModel::refreshIndicator(int row)
{
    if (row >= 0 && row < rows_)
        emit headerDataChanged(Qt::Vertical, row, row);
}

}  // namespace dbui
