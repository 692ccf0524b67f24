#pragma once

#include "dbui/data_source.h"
#include "dbui/grid_delegate.h"

#include <QPointer>
#include <QTableView>

namespace dbui {

class QueryTableModel;

// A grid over a data source: one row per record, one column per chosen
// field. The selected row is the query's current record, both ways. Cells are
// edited in place: typing puts the record into edit, leaving the row posts
// it, Escape cancels it, and Down on the last row appends a new record (which
// the query drops again if it is left without a change).
class DbGrid : public QTableView {
    Q_OBJECT

public:
    explicit DbGrid(QWidget* parent = nullptr);

    DataSource* dataSource() const;
    void setDataSource(DataSource* source);

    // Columns by field name with optional captions; no names: all fields.
    void setColumns(const QStringList& fieldNames, const QStringList& captions = {});
    void setColumnCaption(int column, const QString& caption);

    // A drop-down list of choices for a column's editor; any other text may
    // still be typed.
    void setPickList(int column, const QStringList& choices);
    void setCellBackground(GridDelegate::CellBackground background);
    void setCellPainter(GridDelegate::CellPainter painter);

    QueryTableModel* tableModel() const { return model_; }
    // Replaces the table model (for instance by one that formats cells
    // differently); the grid takes ownership and gives it its data source.
    void setTableModel(QueryTableModel* model);
    GridDelegate* gridDelegate() const { return delegate_; }

    bool isEditing() const { return state() == EditingState; }
    // The open cell editor, or nullptr.
    QWidget* cellEditor() const { return editor_; }
    // Writes the open cell editor's text into the record and closes it. A
    // text the field refuses (reported by the general error display) leaves
    // the editor open with it, the record in edit, so that the clerk can mend
    // it; false then.
    bool commitEditor();
    // Closes the open cell editor without writing its text.
    void discardEditor();

    // A grid whose records this desk may not change: it moves and shows, but
    // opens no cell editor and adds no record (Insert, Down on the last row).
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return readOnly_; }

signals:
    // A cell editor was opened; lets keyboard rules watch it.
    void editorOpened(QWidget* editor);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    ::data::Query* activeQuery() const;
    void followQuery();
    void onStateChanged();
    void moveDown();
    void moveQueryTo(int row);

    QueryTableModel* model_ = nullptr;
    GridDelegate* delegate_ = nullptr;
    QPointer<DataSource> source_;
    QPointer<QWidget> editor_;
    bool syncing_ = false;
    bool readOnly_ = false;
};

}  // namespace dbui
