#include "dbui_fixture.h"

#include "dbui/grid_keyboard_rule.h"

#include <QCoreApplication>

namespace {

class GridKeyboardTest : public DbuiFixture {
protected:
    std::unique_ptr<dbui::DbGrid> makeRuledGrid()
    {
        auto grid = makeGrid({Batch, Cases, Remark});
        new dbui::GridKeyboardRule(grid.get());
        return grid;
    }
    // Lets the Down-arrow press that replaces Enter arrive.
    static void deliverPosted() { QCoreApplication::processEvents(); }
};

TEST_F(GridKeyboardTest, SpaceMovesOneColumnRightAndWraps)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2")});
    auto grid = makeRuledGrid();
    grid->setCurrentIndex(grid->model()->index(1, 0));
    const std::vector<int> expectedColumns = {1, 2, 0, 1};
    for (int expected : expectedColumns) {
        QTest::keyClick(grid.get(), Qt::Key_Space);
        EXPECT_EQ(currentColumn(*grid), expected);
        EXPECT_EQ(currentRow(*grid), 1);
    }
    EXPECT_EQ(grid->cellEditor(), nullptr);
    EXPECT_EQ(query->state(), data::Query::State::Browse);
    EXPECT_EQ(query->recNo(), 2);
}

TEST_F(GridKeyboardTest, SpaceIsTypedIntoAnOpenEditor)
{
    addOrders({QStringLiteral("A1")});
    auto grid = makeRuledGrid();
    grid->setCurrentIndex(grid->model()->index(0, 2));
    QLineEdit* editor = typeIntoCell(*grid, QStringLiteral("a"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Space);
    QTest::keyClicks(editor, QStringLiteral("b"));
    EXPECT_EQ(editor->text(), QStringLiteral("a b"));
    EXPECT_EQ(currentColumn(*grid), 2);
}

TEST_F(GridKeyboardTest, EnterDoesWhatDownDoes)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2")});
    auto grid = makeRuledGrid();
    // In the grid: the next row.
    QTest::keyClick(grid.get(), Qt::Key_Return);
    deliverPosted();
    EXPECT_EQ(query->recNo(), 2);
    EXPECT_EQ(currentRow(*grid), 1);
    // In a cell editor on the last row: the text is posted and a new row starts.
    grid->setCurrentIndex(grid->model()->index(1, 1));
    QLineEdit* editor = typeIntoCell(*grid, QStringLiteral("4"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Enter);
    deliverPosted();
    EXPECT_EQ(stored(Cases), (QStringList{QString(), QStringLiteral("4")}));
    EXPECT_EQ(query->state(), data::Query::State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(currentRow(*grid), 2);
    EXPECT_EQ(currentColumn(*grid), 1);
    // Enter on the untouched new row keeps it as it is.
    QTest::keyClick(grid.get(), Qt::Key_Return);
    deliverPosted();
    EXPECT_EQ(grid->model()->rowCount(), 3);
}

}  // namespace
