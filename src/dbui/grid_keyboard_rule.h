#pragma once

#include <QObject>
#include <QPointer>

namespace dbui {

class DbGrid;

// The keyboard rule of the table windows' grids, watching a grid and each
// cell editor it opens:
// - Space, while the grid itself has the focus (no cell editor open), moves
//   the current column one to the right, from the last column to the first;
//   the row stays. In an open cell editor Space is typed as usual.
// - Enter, in the grid or in a cell editor, is replaced by a Down-arrow key
//   press sent to the grid (after the editor's text has been written), so the
//   grid does what Down does: post and move on, or append on the last row.
class GridKeyboardRule : public QObject {
    Q_OBJECT

public:
    // Watches the grid from now on; the rule lives as long as the grid.
    explicit GridKeyboardRule(DbGrid* grid);

    DbGrid* grid() const { return grid_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchEditor(QWidget* editor);
    void moveToNextColumn();

    QPointer<DbGrid> grid_;
};

}  // namespace dbui
