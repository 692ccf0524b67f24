#include "dbui/grid_delegate.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPainter>

namespace dbui {

GridDelegate::GridDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void GridDelegate::setPickList(int column, const QStringList& choices)
{
    if (choices.isEmpty())
        pickLists_.remove(column);
    else
        pickLists_.insert(column, choices);
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int row = index.row();
    const int recNo = row + 1;
    const QColor background = background_ ? background_(row, recNo, index.column()) : QColor();
    if (!background.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
    } else {
        QStyleOptionViewItem opt(option);
        opt.backgroundBrush = background;
        // Selected cells are filled with the highlight brush; take that too.
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            opt.palette.setBrush(group, QPalette::Highlight, background);
        painter->fillRect(opt.rect, background);
        QStyledItemDelegate::paint(painter, opt, index);
    }
    if (painter_) {
        painter->save();
        painter_(painter, option, row, recNo, index.column());
        painter->restore();
    }
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    const auto it = pickLists_.constFind(index.column());
    if (it == pickLists_.constEnd())
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QStringLiteral("pickListEditor"));
    // Read by assistive tools by the caption of its column.
    combo->setAccessibleName(index.model()->headerData(index.column(), Qt::Horizontal).toString());
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(*it);
    return combo;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setEditText(index.data(Qt::EditRole).toString());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, combo->currentText(), Qt::EditRole);
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, line->text(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

}  // namespace dbui
