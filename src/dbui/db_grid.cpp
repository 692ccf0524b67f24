#include "dbui/db_grid.h"

#include "dbui/data_source.h"
#include "dbui/query_table_model.h"
#include "platform/error_display.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace dbui {

DbGrid::DbGrid(QWidget* parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("dbGrid"));
    setAccessibleName(QStringLiteral("表格"));
    model_ = new QueryTableModel(this);
    setModel(model_);
    delegate_ = new GridDelegate(this);
    setItemDelegate(delegate_);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed);
    setWordWrap(false);
    // Rows all have the same height, so that a result of any size is laid
    // out without measuring its rows.
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    rows->setMinimumSectionSize(fontMetrics().height() + 2);
    rows->setDefaultAlignment(Qt::AlignCenter);
    rows->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 2);
    horizontalHeader()->setHighlightSections(false);
}

DataSource* DbGrid::dataSource() const
{
    return source_;
}

void DbGrid::setDataSource(DataSource* source)
{
    if (source_ == source)
        return;
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    model_->setDataSource(source);
    if (source_) {
        // The model hears these first (it connected first), so the grid
        // follows a model that is already up to date.
        connect(source_, &DataSource::resultReset, this, &DbGrid::followQuery);
        connect(source_, &DataSource::currentChanged, this, &DbGrid::followQuery);
        connect(source_, &DataSource::stateChanged, this, &DbGrid::onStateChanged);
        connect(source_, &DataSource::updateRecordRequested, this, &DbGrid::commitEditor);
    }
    followQuery();
}

void DbGrid::setColumns(const QStringList& fieldNames, const QStringList& captions)
{
    discardEditor();
    model_->setColumns(fieldNames, captions);
    followQuery();
}

void DbGrid::setColumnCaption(int column, const QString& caption)
{
    model_->setColumnCaption(column, caption);
}

void DbGrid::setPickList(int column, const QStringList& choices)
{
    delegate_->setPickList(column, choices);
}

void DbGrid::setCellBackground(GridDelegate::CellBackground background)
{
    delegate_->setCellBackground(std::move(background));
    viewport()->update();
}

void DbGrid::setCellPainter(GridDelegate::CellPainter painter)
{
    delegate_->setCellPainter(std::move(painter));
    viewport()->update();
}

void DbGrid::setTableModel(QueryTableModel* model)
{
    if (!model || model == model_)
        return;
    discardEditor();
    QueryTableModel* old = model_;
    model_ = model;
    model_->setParent(this);
    model_->setDataSource(source_);
    setModel(model_);
    delete old;
    followQuery();
}

data::Query* DbGrid::activeQuery() const
{
    return source_ && source_->isActive() ? source_->query() : nullptr;
}

bool DbGrid::commitEditor()
{
    QPointer<QWidget> editor = editor_;
    if (!editor)
        return true;
    commitData(editor);
    if (editor && model_->lastWriteRefused()) {
        editor->setFocus();
        return false;
    }
    if (editor)
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void DbGrid::discardEditor()
{
    QPointer<QWidget> editor = editor_;
    if (editor)
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DbGrid::followQuery()
{
    if (syncing_)
        return;
    ::data::Query* query = activeQuery();
    if (!query)
        return;
    const int row = query->recNo() - 1;
    if (row < 0 || row >= model_->rowCount() || model_->columnCount() == 0)
        return;
    if (editor_ && currentIndex().row() != row)
        discardEditor();
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    if (currentIndex().row() == row && currentIndex().column() == column)
        return;
    syncing_ = true;
    setCurrentIndex(model_->index(row, column));
    syncing_ = false;
    scrollTo(currentIndex());
}

void DbGrid::onStateChanged()
{
    ::data::Query* query = activeQuery();
    if (editor_ && (!query || !query->isEditing()))
        discardEditor();
}

void DbGrid::moveQueryTo(int row)
{
    ::data::Query* query = activeQuery();
    if (!query)
        return;
    int target = row + 1;
    // Leaving an unchanged new record drops it, which moves the rows below it up.
    if (query->state() == ::data::Query::State::Insert && !query->isModified() && row > query->recNo() - 1)
        --target;
    syncing_ = true;
    platform::runGuarded([&] { query->moveTo(target); });
    syncing_ = false;
    followQuery();
}

void DbGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (syncing_ || !current.isValid())
        return;
    ::data::Query* query = activeQuery();
    if (query && current.row() != query->recNo() - 1)
        moveQueryTo(current.row());
}

void DbGrid::setReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    if (readOnly_)
        discardEditor();
}

bool DbGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (readOnly_)
        return false;
    ::data::Query* query = activeQuery();
    const bool wouldOpen = index.isValid() && (editTriggers() & trigger || trigger == AllEditTriggers) &&
                           !indexWidget(index) && (model_->flags(index) & Qt::ItemIsEditable);
    if (wouldOpen && query) {
        if (index.row() != query->recNo() - 1) {
            moveQueryTo(index.row());
            if (index.row() != query->recNo() - 1)
                return false;
        }
        if (!platform::runGuarded([&] { query->edit(); }))
            return false;
    }
    if (!QTableView::edit(index, trigger, event))
        return false;
    if (QWidget* editor = indexWidget(index); editor && editor != editor_) {
        editor_ = editor;
        emit editorOpened(editor);
    }
    return true;
}

void DbGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    if (editor == editor_)
        editor_ = nullptr;
    // Escape in a cell editor gives up the whole record, as Escape in the grid does.
    if (hint == QAbstractItemDelegate::RevertModelCache) {
        if (::data::Query* query = activeQuery())
            platform::runGuarded([&] { query->cancel(); });
    }
}

void DbGrid::moveDown()
{
    ::data::Query* query = activeQuery();
    if (!query || !commitEditor())
        return;
    platform::runGuarded([&] {
        if (query->isEmpty()) {
            if (!readOnly_)
                query->append();
            return;
        }
        if (query->recNo() < query->rowCount()) {
            query->next();
            return;
        }
        // On the last row: a new record, unless the last row is a new record
        // nothing has been typed into yet.
        if (readOnly_ || (query->state() == ::data::Query::State::Insert && !query->isModified()))
            return;
        query->next();
        if (query->recNo() == query->rowCount())
            query->append();
    });
    followQuery();
}

void DbGrid::keyPressEvent(QKeyEvent* event)
{
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    ::data::Query* query = activeQuery();
    if (query && modifiers == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Down:
            moveDown();
            event->accept();
            return;
        case Qt::Key_Escape:
            if (!editor_) {
                platform::runGuarded([&] { query->cancel(); });
                event->accept();
                return;
            }
            break;
        case Qt::Key_Insert:
            if (readOnly_ || !commitEditor()) {
                event->accept();
                return;
            }
            platform::runGuarded([&] { query->insert(); });
            event->accept();
            return;
        default:
            break;
        }
    }
    QTableView::keyPressEvent(event);
}

}  // namespace dbui
