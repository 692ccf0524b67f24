#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>

namespace dbui {

// Draws and edits the cells of a DbGrid: a plain line editor, or an editable
// drop-down list for columns that have a list of choices, and cell colours
// and extra drawing supplied by the window that owns the grid.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // The background of a cell, or an invalid colour for the normal one. It
    // applies in every state of the cell, selected and focused included.
    using CellBackground = std::function<QColor(int row, int recNo, int column)>;
    // Called after a cell has been drawn, to draw over it.
    using CellPainter =
        std::function<void(QPainter* painter, const QStyleOptionViewItem& option, int row, int recNo, int column)>;

    explicit GridDelegate(QObject* parent = nullptr);

    void setPickList(int column, const QStringList& choices);
    QStringList pickList(int column) const { return pickLists_.value(column); }
    void setCellBackground(CellBackground background) { background_ = std::move(background); }
    void setCellPainter(CellPainter painter) { painter_ = std::move(painter); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    // A cell of one line of text that fits is drawn here, its text laid out
    // once and kept; what the style alone knows how to draw (a focus frame,
    // an editor, a text cut short, a style sheet) is left to the style.
    bool drawPlainText(QPainter* painter, const QStyleOptionViewItem& option) const;
    const QStaticText& laidOut(const QString& text, const QFont& font) const;

    QHash<int, QStringList> pickLists_;
    CellBackground background_;
    CellPainter painter_;
    // Texts laid out in the font they were drawn in; a grid repaints the
    // same few hundred texts while it follows a loop.
    mutable QHash<QString, QStaticText> laidOut_;
    mutable QFont laidOutFont_;
};

}  // namespace dbui
