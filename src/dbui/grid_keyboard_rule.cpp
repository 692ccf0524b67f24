#include "dbui/grid_keyboard_rule.h"

#include "dbui/db_grid.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace dbui {

GridKeyboardRule::GridKeyboardRule(DbGrid* grid) : QObject(grid), grid_(grid)
{
    setObjectName(QStringLiteral("gridKeyboardRule"));
    grid->installEventFilter(this);
    connect(grid, &DbGrid::editorOpened, this, &GridKeyboardRule::watchEditor);
    if (QWidget* editor = grid->cellEditor())
        watchEditor(editor);
}

void GridKeyboardRule::watchEditor(QWidget* editor)
{
    // Installed after the item delegate's own filter, so this one sees the
    // keys first.
    editor->installEventFilter(this);
    if (QWidget* proxy = editor->focusProxy())
        proxy->installEventFilter(this);
}

bool GridKeyboardRule::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !grid_)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A refused text keeps its editor open and the row where it is.
        if (grid_->commitEditor())
            QCoreApplication::postEvent(grid_, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        return true;
    case Qt::Key_Space:
        if (watched != grid_ || grid_->isEditing())
            return false;
        moveToNextColumn();
        return true;
    default:
        return false;
    }
}

void GridKeyboardRule::moveToNextColumn()
{
    QAbstractItemModel* model = grid_->model();
    const QModelIndex current = grid_->currentIndex();
    const int columns = model ? model->columnCount() : 0;
    if (!current.isValid() || columns == 0)
        return;
    const int next = current.column() + 1 < columns ? current.column() + 1 : 0;
    grid_->setCurrentIndex(model->index(current.row(), next));
}

}  // namespace dbui
