#include "dbui_fixture.h"

#include "dbui/db_navigator.h"
#include "dbui/query_table_model.h"
#include "platform/scripted_dialogs.h"

#include <QComboBox>
#include <QImage>
#include <QStyledItemDelegate>
#include <QToolButton>

namespace {

class GridTest : public DbuiFixture {};

TEST_F(GridTest, ColumnsAreChosenByFieldNameWithOptionalCaptions)
{
    auto grid = makeGrid({Batch, Cases, QStringLiteral("33")});
    grid->setColumnCaption(1, QStringLiteral("Cases"));
    QAbstractItemModel* model = grid->model();
    ASSERT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), Batch);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Cases"));
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("33"));

    grid->setColumns({});
    EXPECT_EQ(model->columnCount(), query->fieldCount());
}

// However the row is left, the typed value is posted through the before-post hook.
TEST_F(GridTest, EditedCellIsPostedThroughTheBeforePostHook)
{
    struct Case {
        const char* name;
        std::function<void(dbui::DbGrid&, dbui::DataSource&)> leave;
    };
    const std::vector<Case> cases = {
        {"down arrow", [](dbui::DbGrid& g, dbui::DataSource&) { QTest::keyClick(g.cellEditor(), Qt::Key_Down); }},
        {"click on another row",
         [](dbui::DbGrid& g, dbui::DataSource&) {
             const QRect cell = g.visualRect(g.model()->index(2, 0));
             QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cell.center());
         }},
        {"navigator post",
         [](dbui::DbGrid&, dbui::DataSource& s) {
             dbui::DbNavigator nav;
             nav.setDataSource(&s);
             nav.button(dbui::DbNavigator::Button::Post)->click();
         }},
    };
    addOrders({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")});
    int hookRuns = 0;
    query->setBeforePost([&](data::Query& q) {
        ++hookRuns;
        q.field(Remark).setText(QStringLiteral("checked"));
    });
    auto grid = makeGrid({Batch, Cases});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hookRuns = 0;
        query->first();
        grid->setCurrentIndex(grid->model()->index(0, 1));
        ASSERT_NE(typeIntoCell(*grid, QStringLiteral("7")), nullptr);
        EXPECT_EQ(query->state(), data::Query::State::Edit);
        c.leave(*grid, *source);
        EXPECT_EQ(hookRuns, 1);
        EXPECT_EQ(query->state(), data::Query::State::Browse);
        EXPECT_EQ(stored(Cases).value(0), QStringLiteral("7"));
        EXPECT_EQ(stored(Remark).value(0), QStringLiteral("checked"));
        EXPECT_EQ(grid->cellEditor(), nullptr);
        query->first();
        query->edit();
        query->field(Cases).clear();
        query->field(Remark).clear();
        query->setBeforePost({});
        query->post();
        query->setBeforePost([&](data::Query& q) {
            ++hookRuns;
            q.field(Remark).setText(QStringLiteral("checked"));
        });
    }
}

TEST_F(GridTest, EscapeCancelsTheRecord)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2")});
    auto grid = makeGrid({Batch, Cases});
    // Escape in the open editor.
    QLineEdit* editor = typeIntoCell(*grid, QStringLiteral("B9"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(query->state(), data::Query::State::Browse);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), QStringLiteral("A1"));
    // Escape in the grid after the cell was written.
    editor = typeIntoCell(*grid, QStringLiteral("B9"));
    ASSERT_NE(editor, nullptr);
    grid->commitEditor();
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), QStringLiteral("B9"));
    QTest::keyClick(grid.get(), Qt::Key_Escape);
    EXPECT_EQ(query->state(), data::Query::State::Browse);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), QStringLiteral("A1"));
    EXPECT_EQ(stored(Batch), (QStringList{QStringLiteral("A1"), QStringLiteral("A2")}));
}

TEST_F(GridTest, DownOnTheLastRowAppendsAndAnUntouchedNewRowVanishes)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2")});
    auto grid = makeGrid({Batch, Cases});
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(currentRow(*grid), 1);
    EXPECT_EQ(query->state(), data::Query::State::Browse);

    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(query->state(), data::Query::State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(currentRow(*grid), 2);
    // Down again on the untouched new row does not add another one.
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->model()->rowCount(), 3);

    QTest::keyClick(grid.get(), Qt::Key_Up);
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(currentRow(*grid), 1);
    EXPECT_EQ(query->recNo(), 2);
    EXPECT_EQ(query->state(), data::Query::State::Browse);

    // A new row left by a click on another row vanishes too.
    QTest::keyClick(grid.get(), Qt::Key_Down);
    ASSERT_EQ(grid->model()->rowCount(), 3);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 1)).center());
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(query->recNo(), 1);
    EXPECT_EQ(currentRow(*grid), 0);
    EXPECT_EQ(stored(Batch).size(), 2);

    // A new row with a value typed into it is posted by Down, and another one starts.
    query->last();
    QTest::keyClick(grid.get(), Qt::Key_Down);
    grid->setCurrentIndex(grid->model()->index(2, 0));
    ASSERT_NE(typeIntoCell(*grid, QStringLiteral("A3")), nullptr);
    QTest::keyClick(grid->cellEditor(), Qt::Key_Down);
    EXPECT_EQ(stored(Batch), (QStringList{QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")}));
    EXPECT_EQ(query->state(), data::Query::State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 4);
}

TEST_F(GridTest, TypingACharacterOpensTheCellIntoEdit)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2")});
    auto grid = makeGrid({Batch, Remark});
    grid->setCurrentIndex(grid->model()->index(1, 1));
    EXPECT_EQ(query->recNo(), 2);
    QTest::keyClick(grid.get(), Qt::Key_Q);
    auto* editor = qobject_cast<QLineEdit*>(grid->cellEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(query->state(), data::Query::State::Edit);
    EXPECT_EQ(editor->text(), QStringLiteral("q"));
    EXPECT_EQ(grid->model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("\u270E"));
    QTest::keyClick(editor, Qt::Key_Up);
    EXPECT_EQ(query->recNo(), 1);
    EXPECT_EQ(stored(Remark), (QStringList{QString(), QStringLiteral("q")}));
}

TEST_F(GridTest, DownOnAnEmptyResultStartsARecord)
{
    auto grid = makeGrid({Batch});
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(query->state(), data::Query::State::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 1);
}

TEST_F(GridTest, TextThatIsNoNumberReachesTheErrorDisplay)
{
    addOrders({QStringLiteral("A1")});
    platform::ScriptedDialogs dialogs;
    auto grid = makeGrid({Batch, Cases});
    grid->setCurrentIndex(grid->model()->index(0, 1));
    ASSERT_NE(typeIntoCell(*grid, QStringLiteral("2.5")), nullptr);
    grid->commitEditor();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].kind, platform::MessageKind::Error);
    EXPECT_EQ(dialogs.messages()[0].text, QStringLiteral("'2.5' is not a valid integer value"));
    EXPECT_TRUE(query->field(Cases).isNull());
}

TEST_F(GridTest, TwoGridsOnOneDataSourceShareTheCurrentRow)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")});
    auto upper = makeGrid({Batch, Cases});
    auto lower = makeGrid({Cases, Batch, Remark});
    lower->setCurrentIndex(lower->model()->index(0, 2));

    QTest::mouseClick(upper->viewport(), Qt::LeftButton, {}, upper->visualRect(upper->model()->index(2, 0)).center());
    EXPECT_EQ(query->recNo(), 3);
    EXPECT_EQ(currentRow(*lower), 2);
    EXPECT_EQ(currentColumn(*lower), 2);  // the column is kept

    lower->setFocus();
    QTest::keyClick(lower.get(), Qt::Key_Up);
    EXPECT_EQ(query->recNo(), 2);
    EXPECT_EQ(currentRow(*upper), 1);

    query->first();
    EXPECT_EQ(currentRow(*upper), 0);
    EXPECT_EQ(currentRow(*lower), 0);
}

TEST_F(GridTest, PickListOffersChoicesAndTakesOtherText)
{
    addOrders({QStringLiteral("A1")});
    auto grid = makeGrid({Batch, QStringLiteral("鞋的型号")});
    grid->setPickList(1, {QStringLiteral("X1"), QStringLiteral("X2")});
    grid->setCurrentIndex(grid->model()->index(0, 1));
    QTest::keyClick(grid.get(), Qt::Key_F2);
    auto* combo = qobject_cast<QComboBox*>(grid->cellEditor());
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), QStringLiteral("X2"));
    combo->setEditText(QStringLiteral("Y7"));
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(stored(QStringLiteral("鞋的型号")), QStringList{QStringLiteral("Y7")});
}

// Odd record numbers painted silver, in every state of the cell.
TEST_F(GridTest, CellBackgroundSeesTheRecordNumberInEveryState)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")});
    auto grid = makeGrid({Batch, Cases});
    const QColor silver(0xC0, 0xC0, 0xC0);
    QSet<int> painted;
    grid->setCellBackground([&](int row, int recNo, int) {
        EXPECT_EQ(recNo, row + 1);
        painted.insert(recNo);
        return recNo % 2 == 1 ? silver : QColor();
    });
    QSet<int> hooked;
    grid->setCellPainter([&](QPainter*, const QStyleOptionViewItem&, int, int recNo, int) { hooked.insert(recNo); });
    grid->setCurrentIndex(grid->model()->index(0, 1));  // the selected, focused cell is on an odd row
    const QImage image = grid->viewport()->grab().toImage();
    EXPECT_EQ(painted, (QSet<int>{1, 2, 3}));
    EXPECT_EQ(hooked, (QSet<int>{1, 2, 3}));
    auto pixelNearCorner = [&](int row, int column) {
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        return image.pixelColor(cell.right() - 4, cell.center().y());
    };
    EXPECT_EQ(pixelNearCorner(0, 0), silver);
    EXPECT_EQ(pixelNearCorner(0, 1), silver);  // selected
    EXPECT_NE(pixelNearCorner(1, 0), silver);
    EXPECT_EQ(pixelNearCorner(2, 1), silver);
}

// The grid draws plain cells itself, for speed; they must look as the style
// draws them: texts in Chinese and digits, an empty cell, a selected cell, the
// current cell with and without the focus, a text too long for its column.
TEST_F(GridTest, CellsLookAsTheStyleDrawsThem)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("黑色真皮男鞋"), QStringLiteral("20261209"), QString(),
               QStringLiteral("一个很长很长很长很长很长很长很长很长的批号")});
    query->last();
    query->edit();
    query->field(Remark).setText(QStringLiteral("备注：第二批，先做"));
    query->post();
    auto grid = makeGrid({Batch, Cases, Remark});
    grid->setColumnWidth(0, 90);
    struct Case {
        const char* name;
        std::function<void(dbui::DbGrid&)> arrange;
    };
    const Case cases[] = {
        {"focused current cell", [](dbui::DbGrid& g) { g.setCurrentIndex(g.model()->index(1, 0)); }},
        {"current cell without the focus",
         [](dbui::DbGrid& g) {
             g.setCurrentIndex(g.model()->index(2, 2));
             g.clearFocus();
         }},
        {"window not active",
         [](dbui::DbGrid& g) {
             g.setCurrentIndex(g.model()->index(4, 0));
             QApplication::setActiveWindow(nullptr);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange(*grid);
        QAbstractItemDelegate* own = grid->itemDelegate();
        const QImage drawn = grid->viewport()->grab().toImage();
        QStyledItemDelegate styled;
        grid->setItemDelegate(&styled);
        const QImage byStyle = grid->viewport()->grab().toImage();
        grid->setItemDelegate(own);
        ASSERT_EQ(drawn.size(), byStyle.size());
        int differing = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                differing += drawn.pixel(x, y) != byStyle.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

}  // namespace
