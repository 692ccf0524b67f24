#include "dbui/grid_delegate.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QtMath>

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
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QColor background = background_ ? background_(row, recNo, index.column()) : QColor();
    if (background.isValid()) {
        opt.backgroundBrush = background;
        // Selected cells are filled with the highlight brush; take that too.
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            opt.palette.setBrush(group, QPalette::Highlight, background);
        painter->fillRect(opt.rect, background);
    }
    if (!drawPlainText(painter, opt)) {
        QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    }
    if (painter_) {
        painter->save();
        painter_(painter, option, row, recNo, index.column());
        painter->restore();
    }
}

bool GridDelegate::drawPlainText(QPainter* painter, const QStyleOptionViewItem& opt) const
{
    using F = QStyleOptionViewItem::ViewItemFeature;
    if (opt.features & (F::WrapText | F::HasCheckIndicator | F::HasDecoration))
        return false;
    if (opt.state & (QStyle::State_HasFocus | QStyle::State_Editing))
        return false;
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    if (style->inherits("QStyleSheetStyle"))
        return false;
    for (const QChar c : opt.text)
        if (c == QLatin1Char('\n') || c == QChar::LineSeparator || c == QLatin1Char('\r'))
            return false;
    // The text's room: the cell less the style's margin on either side.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
    const QRect room = opt.rect.adjusted(margin, 0, -margin, 0);
    const QStaticText* text = nullptr;
    QSize size;
    if (!opt.text.isEmpty()) {
        text = &laidOut(opt.text, opt.font);
        size = QSize(qCeil(text->size().width()), QFontMetrics(opt.font).height());
        if (size.width() > room.width())
            return false;  // cut short with an ellipsis by the style
    }
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, opt.widget);
    if (!text)
        return true;
    QPalette::ColorGroup group = (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(opt.state & QStyle::State_Active))
        group = QPalette::Inactive;
    const QPalette::ColorRole role = (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    const QPen pen = painter->pen();
    const QFont font = painter->font();
    painter->setPen(opt.palette.color(group, role));
    painter->setFont(opt.font);
    painter->drawStaticText(QStyle::alignedRect(opt.direction, opt.displayAlignment, size, room).topLeft(), *text);
    painter->setFont(font);
    painter->setPen(pen);
    return true;
}

const QStaticText& GridDelegate::laidOut(const QString& text, const QFont& font) const
{
    constexpr qsizetype MaxKept = 4096;
    if (font != laidOutFont_ || laidOut_.size() >= MaxKept) {
        laidOut_.clear();
        laidOutFont_ = font;
    }
    auto it = laidOut_.find(text);
    if (it == laidOut_.end()) {
        QStaticText made(text);
        made.setTextFormat(Qt::PlainText);
        made.prepare(QTransform(), font);
        it = laidOut_.insert(text, made);
    }
    return it.value();
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
