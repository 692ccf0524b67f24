#include "window_kit/window_status.h"
#include "orders/windows_fixture.h"

#include "catalogue/shoes_window.h"
#include "dbui/db_navigator.h"
#include "dbui/query_table_model.h"
#include "statistics/statistics_window.h"

#include <QScopeGuard>
#include <QFrame>
#include <QListWidget>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

const QString Supplier = QStringLiteral("供应商");
const QString Sole = QStringLiteral("鞋底型号");

// The statistics window shown over the program's windows.
class StatisticsWindow : public OrderWindowsTest {
protected:
    void SetUp() override {
        OrderWindowsTest::SetUp();
        statisticsWindow = windows->registry().statisticsWindow;
        shoes = windows->registry().shoesWindow;
        kit::WindowRegistry::show(statisticsWindow);
        QApplication::setActiveWindow(statisticsWindow);
        QApplication::processEvents();
    }

    void addCatalogueRow(const QString& model, const QString& colour, const QString& sole, const QString& supplier) {
        data::Query writer(*engine);
        writer.setSql(QStringLiteral("select * from shoes.db"));
        writer.open();
        writer.append();
        writer.field(QStringLiteral("鞋的型号")).setText(model);
        writer.field(QStringLiteral("颜色")).setText(colour);
        writer.field(Sole).setText(sole);
        writer.field(Supplier).setText(supplier);
        writer.post();
    }

    // Three orders; the second has no catalogue row.
    void seedJob() {
        addCatalogueRow(QStringLiteral("X1"), QStringLiteral("白"), QStringLiteral("D-1"), QStringLiteral("鑫达"));
        addCatalogueRow(QStringLiteral("X2"), QStringLiteral("黑"), QStringLiteral("D-1"), QStringLiteral("鑫达"));
        seed({{{QStringLiteral("批号"), QStringLiteral("A0001")}, {QStringLiteral("鞋的型号"), QStringLiteral("X1")},
               {QStringLiteral("颜色"), QStringLiteral("白")}, {QStringLiteral("38"), 10}, {QStringLiteral("39"), 10}},
              {{QStringLiteral("批号"), QStringLiteral("A0002")}, {QStringLiteral("鞋的型号"), QStringLiteral("X1")},
               {QStringLiteral("颜色"), QStringLiteral("黑")}, {QStringLiteral("双数"), 120}, {QStringLiteral("40"), 120}},
              {{QStringLiteral("批号"), QStringLiteral("A0003")}, {QStringLiteral("鞋的型号"), QStringLiteral("X2")},
               {QStringLiteral("颜色"), QStringLiteral("黑")}, {QStringLiteral("38"), 5}}});
        shoes->Query1->open();
    }

    // The statistics rows as stored: "supplier/sole:pairs".
    QStringList storedStatistics() {
        data::Query reader(*engine);
        reader.setSql(QStringLiteral("select * from xdtj.db"));
        reader.open();
        QStringList rows;
        for (reader.first(); !reader.eof(); reader.next())
            rows << reader.field(Supplier).asText() + QLatin1Char('/') + reader.field(Sole).asText() + QLatin1Char(':') +
                        reader.field(QStringLiteral("双数")).asText();
        rows.sort();
        return rows;
    }

    static QStringList headers(dbui::DbGrid* grid) {
        QStringList titles;
        for (int i = 0; i < grid->model()->columnCount(); ++i)
            titles << grid->model()->headerData(i, Qt::Horizontal).toString();
        return titles;
    }

    // The row is posted when the grid moves off it.
    static void leaveRow(dbui::DbGrid* grid, Qt::Key key) {
        QTest::keyClick(grid, key);
        QCoreApplication::processEvents();
    }

    QString panel(int n) const { return statisticsWindow->sBar->panelText(n); }

    TAForm6TJ* statisticsWindow = nullptr;
    TAForm2shoes* shoes = nullptr;
};

TEST_F(StatisticsWindow, FrameToolbarsAndStatusBar) {
    TAForm6TJ* w = statisticsWindow;
    EXPECT_EQ(w->windowTitle(), QStringLiteral("鞋底统计"));
    EXPECT_TRUE(w->windowState() & Qt::WindowMaximized);
    const ToolbarEntries upper = toolbarEntries(w->ToolBar1);
    EXPECT_EQ(upper.names, QStringLiteral("DBNavigator2 | ToolButton2 | ToolButtonZL | ToolButton3 ToolButton4 | ToolButtonCX"));
    EXPECT_EQ(upper.captions, QStringLiteral("综合搜索,调用鞋底,鞋底表,订单表,撤销"));
    const ToolbarEntries lower = toolbarEntries(w->ToolBar2);
    EXPECT_EQ(lower.names, QStringLiteral("DBNavigator1 | ToolButton7 | ToolButton12 | ToolButton6 | ToolButtonGYS"));
    EXPECT_EQ(lower.captions, QStringLiteral("鞋底统计,快速导出,导出打印,按供应商导出"));
    EXPECT_FALSE(w->ToolButtonGYS->icon().isNull());

    using B = dbui::DbNavigator::Button;
    struct Navigator {
        dbui::DbNavigator* navigator;
        dbui::DataSource* source;
        QList<B> buttons;
    };
    for (const Navigator& n : {Navigator{w->DBNavigator2, orders->DataSource1,
                                         {B::First, B::Prior, B::Next, B::Last, B::Delete, B::Post, B::Cancel}},
                               Navigator{w->DBNavigator1, w->DataSource1, {B::First, B::Prior, B::Next, B::Last}}}) {
        SCOPED_TRACE(n.navigator->objectName().toStdString());
        EXPECT_EQ(n.navigator->dataSource(), n.source);
        EXPECT_EQ(n.navigator->visibleButtons(), n.buttons);
        EXPECT_EQ(n.navigator->hints(),
                  (QStringList{"数据移到首行", "数据上移一行", "数据下移一行", "数据移到尾行", "插入一行数据", "删除一行数据",
                               "编辑一行数据", "保存数据编辑", "取消数据编辑", "刷新数据"}));
        EXPECT_FALSE(n.navigator->confirmDelete());
    }

    ASSERT_EQ(w->sBar->panelCount(), 3);
    EXPECT_EQ(w->sBar->panel(0)->width(), 50);
    EXPECT_EQ(w->sBar->panel(1)->width(), 50);
}

TEST_F(StatisticsWindow, GridsShowTheOrdersAboveAndTheStatisticsBelow) {
    TAForm6TJ* w = statisticsWindow;
    const QStringList sizes = data::sizeFieldNames();
    EXPECT_EQ(w->DBGrid1->dataSource(), orders->DataSource1);
    EXPECT_EQ(headers(w->DBGrid1), QStringList({"供应商", "鞋底型号", "批号", "鞋的型号", "颜色", "双数"}) + sizes);
    EXPECT_EQ(w->DBGrid2->dataSource(), w->DataSource1);
    EXPECT_EQ(w->DataSource1->query(), w->Query1);
    EXPECT_EQ(headers(w->DBGrid2), QStringList({"供应商", "鞋底型号", "双数"}) + sizes);
    EXPECT_EQ(w->Query1->sql(), QStringLiteral("select * from xdtj.db"));
    EXPECT_TRUE(w->Query1->isOpen());

    EXPECT_EQ(w->DBGrid1->parentWidget(), w->Panel1);
    EXPECT_EQ(w->Panel1->height(), TAForm6TJ::UpperPanelHeight);
    EXPECT_EQ(w->Splitter1->handleWidth(), 3);
    EXPECT_LT(w->Panel1->mapTo(w, QPoint()).y(), w->ToolBar2->mapTo(w, QPoint()).y());
    EXPECT_LT(w->ToolBar2->mapTo(w, QPoint()).y(), w->DBGrid2->mapTo(w, QPoint()).y());
    EXPECT_GT(w->DBGrid2->height(), w->DBGrid1->height());
}

TEST_F(StatisticsWindow, CancelAtTheQuestionChangesNothing) {
    seedJob();
    dialogs.queueAnswer(false);
    click(statisticsWindow->ToolButton7);
    expectOneBox(QStringLiteral("你真的要扫描统计吗？"), QStringLiteral("提示信息"),
                 platform::MessageIcon::Question, platform::MessageButtons::OkCancel);
    EXPECT_EQ(stored(Supplier), (QStringList{"", "", ""}));
    EXPECT_TRUE(storedStatistics().isEmpty());
    EXPECT_EQ(shoes->LISTNO->count(), 0);
    EXPECT_FALSE(shoes->isVisible());
    EXPECT_EQ(panel(2), QString());
}

TEST_F(StatisticsWindow, SoleStatisticsAssignsAndAddsUpTheShownOrders) {
    seedJob();
    dialogs.queueAnswer(true);
    click(statisticsWindow->ToolButton7);
    EXPECT_EQ(takeMessages().size(), 1u);
    EXPECT_EQ(stored(Supplier), (QStringList{"鑫达", "未登记", "鑫达"}));
    EXPECT_EQ(stored(Sole), (QStringList{"D-1", "未登记", "D-1"}));
    EXPECT_EQ(storedStatistics(), (QStringList{"未登记/未登记:120", "鑫达/D-1:25"}));
    ASSERT_EQ(shoes->LISTNO->count(), 1);
    EXPECT_EQ(shoes->LISTNO->item(0)->text(), QStringLiteral("X1:黑:120:A0002"));
    EXPECT_TRUE(shoes->isVisible());
    EXPECT_EQ(shoes->Query1->sql(), QStringLiteral("select * from shoes.db"));
    EXPECT_EQ(panel(1), QStringLiteral("2"));
    EXPECT_EQ(panel(2), QStringLiteral("主表共有记录3条:未完成:0@已完成:3"));
    EXPECT_EQ(statisticsWindow->Query1->sql(), QStringLiteral("select * from XdTJ.db"));
    EXPECT_EQ(statisticsWindow->DBGrid2->model()->rowCount(), 2);
    EXPECT_EQ(statisticsWindow->DBGrid1->model()->rowCount(), 3);

    // Again, with the unregistered model now in the catalogue: the table is
    // rebuilt, not added to, and the list gains nothing.
    addCatalogueRow(QStringLiteral("X1"), QStringLiteral("黑"), QStringLiteral("D-2"), QString());
    shoes->hide();
    shoes->LISTNO->clear();
    query->open();
    dialogs.queueAnswer(true);
    click(statisticsWindow->ToolButton7);
    EXPECT_EQ(takeMessages().size(), 1u);
    EXPECT_EQ(storedStatistics(), (QStringList{"/D-2:120", "鑫达/D-1:25"}));
    EXPECT_EQ(shoes->LISTNO->count(), 0);
    EXPECT_FALSE(shoes->isVisible());
}

TEST_F(StatisticsWindow, FetchSolesShowsTheCatalogueOnlyWhenTheListHoldsLines) {
    seedJob();
    struct Case {
        const char* name;
        QString shownOrders;
        bool listed;
    };
    const Case cases[] = {
        {"only registered orders", QStringLiteral("select * from dd.db where 颜色='白'"), false},
        {"an unregistered order", QStringLiteral("select * from dd.db where 批号='A0002'"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        query->setSql(c.shownOrders);
        query->open();
        click(statisticsWindow->ToolButtonZL);
        EXPECT_EQ(shoes->isVisible(), c.listed);
        EXPECT_EQ(shoes->LISTNO->count(), c.listed ? 1 : 0);
        EXPECT_EQ(panel(2), QStringLiteral("主表共有记录1条:未完成:0@已完成:1"));
    }
    EXPECT_TRUE(storedStatistics().isEmpty());  // fetching soles adds nothing up
}

// A hand edit in the lower grid passes the posting rule when the row is left.
TEST_F(StatisticsWindow, EditsInTheLowerGrid) {
    seedJob();
    dialogs.queueAnswer(true);
    click(statisticsWindow->ToolButton7);
    takeMessages();
    shoes->hide();
    QApplication::setActiveWindow(statisticsWindow);
    dbui::DbGrid* grid = statisticsWindow->DBGrid2;
    const int column40 = 3 + 7;
    ASSERT_EQ(headers(grid).value(column40), QStringLiteral("40"));
    ASSERT_EQ(grid->tableModel()->cellText(1, 0), QStringLiteral("未登记"));
    QWidget* editor = typeIntoCell(grid, 1, column40, QStringLiteral("122"));  // 40 was 120
    ASSERT_TRUE(editor);
    pressEnter(editor);
    leaveRow(grid, Qt::Key_Up);
    EXPECT_EQ(storedStatistics(), (QStringList{"未登记/未登记:122", "鑫达/D-1:25"}));

    editor = typeIntoCell(grid, 0, column40 - 2, QString());  // "38" of the "鑫达" row, 15 pairs
    auto* line = qobject_cast<QLineEdit*>(editor);
    ASSERT_TRUE(line);
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Delete);
    pressEnter(line);
    leaveRow(grid, Qt::Key_Down);
    // An emptied size counts as 0, as in the order window.
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_EQ(statisticsWindow->Query1->state(), data::Query::State::Browse);
    EXPECT_EQ(storedStatistics(), (QStringList{"未登记/未登记:122", "鑫达/D-1:10"}));
}

TEST_F(StatisticsWindow, CommandsAreDisabledWhileTheLoopsRun) {
    // A loop of a few rows lets events run at every row here, so that the
    // window is looked at after the cursor has moved on.
    const qint64 interval = kit::WindowStatus::setEventsInterval(0);
    const auto restore = qScopeGuard([interval] { kit::WindowStatus::setEventsInterval(interval); });
    seedJob();
    TAForm6TJ* w = statisticsWindow;
    const QList<QWidget*> walking = {w->DBNavigator2, w->ToolButtonZL, w->DBGrid1, w->DBNavigator1,
                                     w->ToolButton7,  w->ToolButton12, w->ToolButton6, w->ToolButtonGYS, w->DBGrid2};
    auto enabledNames = [&] {
        QStringList names;
        for (QWidget* widget : walking)
            if (widget->isEnabled())
                names << widget->objectName();
        return names;
    };
    ASSERT_EQ(enabledNames().size(), walking.size());
    QStringList enabledDuringLoops;
    int looks = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        ++looks;
        enabledDuringLoops += enabledNames();
        EXPECT_TRUE(w->ToolButton3->isEnabled());  // showing a window walks nothing
    });
    watch.start(0);
    dialogs.queueAnswer(true);
    click(w->ToolButton7);
    watch.stop();
    takeMessages();
    EXPECT_GE(looks, 4);
    EXPECT_EQ(enabledDuringLoops, QStringList());
    EXPECT_EQ(enabledNames().size(), walking.size());
}

TEST_F(StatisticsWindow, UpperNavigatorDeletesWithoutAsking) {
    seedBatches({QStringLiteral("A1"), QStringLiteral("A2")});
    click(statisticsWindow->DBNavigator2->button(dbui::DbNavigator::Button::Delete));
    EXPECT_EQ(stored(QStringLiteral("批号")), QStringList{"A2"});
}

TEST_F(StatisticsWindow, UpperButtonsShowTheOtherWindows) {
    struct Case {
        QToolButton* button;
        QWidget* window;
    };
    orders->hide();
    const Case cases[] = {{statisticsWindow->ToolButton2, search},
                          {statisticsWindow->ToolButton3, shoes},
                          {statisticsWindow->ToolButton4, orders}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button->text().toStdString());
        ASSERT_FALSE(c.window->isVisible());
        click(c.button);
        EXPECT_TRUE(c.window->isVisible());
        c.window->hide();
    }
}

}  // namespace
