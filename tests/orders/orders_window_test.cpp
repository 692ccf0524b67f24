#include "window_kit/window_status.h"
#include "windows_fixture.h"

#include "data/sqlite/sqlite_connection.h"
#include "dbui/db_check_box.h"
#include "dbui/db_navigator.h"
#include "statistics/statistics_window.h"

#include <QScopeGuard>
#include <QImage>
#include <QMenu>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <sqlite3.h>

namespace {

const QString Batch = QStringLiteral("批号");
const QString Cases = QStringLiteral("件数");
const QString Pairs = QStringLiteral("双数");
const QString Colour = QStringLiteral("颜色");
const QString Counted = QStringLiteral("已统计");

using OrderWindow = OrderWindowsTest;

// The toolbar left to right; "|" stands for a separator.
TEST_F(OrderWindow, ToolbarHoldsItsEntriesInOrderWithTheirCaptions) {
    auto* bar = orders->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    ASSERT_TRUE(bar);
    const ToolbarEntries entries = toolbarEntries(bar);
    EXPECT_EQ(entries.names, QStringLiteral("DBNavigator1 | ToolButton1 ToolButton12 | ToolButton2 ToolButton9 | "
                                              "ToolButton5 ToolButton11 | Panel1 | ToolButton8 | ToolButtonCX"));
    EXPECT_EQ(entries.captions, QStringLiteral("订单输入,订单导入,综合搜索,件数相乘,鞋底统计,标为统计,删除订单,撤销"));
    EXPECT_EQ(orders->DBCheckBox1->parentWidget()->objectName(), QStringLiteral("Panel1"));
    EXPECT_EQ(orders->DBCheckBox1->text(), Counted);

    // The multiply button carries the menu of the other size-run commands.
    auto* multiply = child<QToolButton>(orders, "ToolButton9");
    EXPECT_EQ(multiply->popupMode(), QToolButton::MenuButtonPopup);
    EXPECT_EQ(multiply->menu(), orders->PopupMenu1);
    QStringList menu;
    for (QAction* a : orders->PopupMenu1->actions())
        menu << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + QLatin1Char('=') + a->text());
    EXPECT_EQ(menu.join(' '), QStringLiteral("N4=除以件数 - N1=配码前移一个码段 N2=配码后移一个码段"));
}

TEST_F(OrderWindow, NavigatorShowsEightButtonsAndAsksBeforeDeleting) {
    using B = dbui::DbNavigator::Button;
    EXPECT_EQ(orders->DBNavigator1->visibleButtons(),
              (QList<B>{B::First, B::Prior, B::Next, B::Last, B::Delete, B::Edit, B::Post, B::Cancel}));
    EXPECT_EQ(orders->DBNavigator1->dataSource(), orders->DataSource1);

    seedBatches({QStringLiteral("A1"), QStringLiteral("A2")});
    QToolButton* remove = orders->DBNavigator1->button(B::Delete);
    dialogs.queueAnswer(false);
    click(remove);
    std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Delete record?"));
    EXPECT_EQ(shown[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(stored(Batch), (QStringList{QStringLiteral("A1"), QStringLiteral("A2")}));

    dialogs.queueAnswer(true);
    click(remove);
    EXPECT_EQ(takeMessages().size(), 1u);
    EXPECT_EQ(stored(Batch), QStringList{QStringLiteral("A2")});
}

TEST_F(OrderWindow, GridsShowTheirColumnsInOrderAndTheStatusBarItsHint) {
    QStringList sizes = data::sizeFieldNames();
    struct Case {
        dbui::DbGrid* grid;
        QStringList columns;
    };
    const Case cases[] = {
        {orders->DBGrid2, QStringList{Batch, Cases, Pairs} + sizes},
        {orders->DBGrid1,
         QStringList{Batch, QStringLiteral("鞋的型号"), Colour, Cases, Pairs} + sizes + QStringList{QStringLiteral("备注")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.grid->objectName().toStdString());
        EXPECT_EQ(c.grid->dataSource(), orders->DataSource1);
        QStringList headers;
        for (int i = 0; i < c.grid->model()->columnCount(); ++i)
            headers << c.grid->model()->headerData(i, Qt::Horizontal).toString();
        EXPECT_EQ(headers, c.columns);
    }
    EXPECT_EQ(orders->DBGrid2->model()->columnCount(), 19);
    EXPECT_EQ(orders->DBGrid1->model()->columnCount(), 22);
    EXPECT_EQ(orders->DBGrid2->height(), 96);
    EXPECT_LT(orders->DBGrid2->y(), orders->DBGrid1->y());
    EXPECT_GT(orders->DBGrid1->height(), orders->DBGrid2->height());

    ASSERT_EQ(orders->sBar->panelCount(), 3);
    EXPECT_EQ(orders->sBar->panel(0)->width(), 50);
    EXPECT_EQ(orders->sBar->panel(1)->width(), 50);
    EXPECT_EQ(ordersPanel(0), QString());
    EXPECT_EQ(ordersPanel(1), QString());
    EXPECT_EQ(ordersPanel(2), QStringLiteral("表格中按空格向右列移动一行，回车下移一行"));
}

TEST_F(OrderWindow, ButtonsShowTheOtherWindows) {
    struct Case {
        const char* button;
        QWidget* window;
    };
    const Case cases[] = {{"ToolButton1", entry}, {"ToolButton2", search}, {"ToolButton5", windows->registry().statisticsWindow}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        ASSERT_FALSE(c.window->isVisible());
        click(child(orders, c.button));
        EXPECT_TRUE(c.window->isVisible());
        c.window->hide();
    }
    EXPECT_EQ(query->sql(), QStringLiteral("select * from dd.db"));
}

// A cell typed in the lower grid is stored through the posting rule: the
// colour code expanded, missing counts 0 and the pairs summed from the sizes.
TEST_F(OrderWindow, EnterInTheLowerGridPostsThroughThePostingRule) {
    seed({{{Batch, QStringLiteral("A1")}, {QStringLiteral("36"), 12}, {QStringLiteral("37"), 24}, {Pairs, 99}},
          {{Batch, QStringLiteral("A2")}}});
    QWidget* editor = typeIntoCell(orders->DBGrid1, 0, 2, QStringLiteral("h"));
    ASSERT_TRUE(editor);
    pressEnter(editor);
    EXPECT_EQ(stored(Colour), (QStringList{QStringLiteral("黑"), QString()}));
    EXPECT_EQ(stored(Pairs), (QStringList{QStringLiteral("36"), QString()}));
    EXPECT_EQ(stored(Cases), (QStringList{QStringLiteral("0"), QString()}));
    EXPECT_EQ(stored(QStringLiteral("48")).value(0), QStringLiteral("0"));
    EXPECT_EQ(query->recNo(), 2);
    EXPECT_EQ(orders->DBGrid1->currentIndex().row(), 1);
    EXPECT_EQ(orders->DBGrid2->currentIndex().row(), 1);  // both grids share the record

    // The upper grid posts the same way: sizes typed there give the pairs.
    editor = typeIntoCell(orders->DBGrid2, 1, 4, QStringLiteral("7"));  // "34"
    ASSERT_TRUE(editor);
    pressEnter(editor);
    EXPECT_EQ(stored(Pairs), (QStringList{QStringLiteral("36"), QStringLiteral("7")}));
    EXPECT_EQ(query->state(), data::Query::State::Insert);  // Enter on the last row starts a new row
}

TEST_F(OrderWindow, ADuplicateBatchTypedInTheGridIsReportedOnceAndDropped) {
    seed({{{Batch, QStringLiteral("A1")}, {Cases, 5}}, {{Batch, QStringLiteral("A2")}}});
    dbui::DbGrid* grid = orders->DBGrid1;
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QTest::keyClick(grid, Qt::Key_Down);  // a new row after the last
    ASSERT_EQ(query->state(), data::Query::State::Insert);
    QWidget* editor = typeIntoCell(grid, 2, 0, QStringLiteral("A1"));
    ASSERT_TRUE(editor);
    pressEnter(editor);

    expectOneBox(QStringLiteral("批号重复!!!"), QString(), platform::MessageIcon::Information, platform::MessageButtons::Ok);
    EXPECT_EQ(query->state(), data::Query::State::Browse);
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(stored(Batch), (QStringList{QStringLiteral("A1"), QStringLiteral("A2")}));
    EXPECT_EQ(stored(Cases), (QStringList{QStringLiteral("5"), QString()}));
}

// A post the table engine refuses for a reason of the machine's is told in
// Chinese; the record stays pending so that it is posted once the cause is
// gone, and nothing stored before is lost.
TEST_F(OrderWindow, APostRefusedByTheMachineIsToldInChineseAndTheRecordKept) {
    const TranslatedFaults translated;
    seed({{{Batch, QStringLiteral("A1")}, {Cases, 5}}, {{Batch, QStringLiteral("A2")}, {Cases, 6}}});
    auto& tables = dynamic_cast<data::SqliteConnection&>(*engine->table(QStringLiteral("dd.db"))->connection);
    sqlite3* otherProgram = nullptr;
    struct Case {
        const char* name;
        std::function<void()> fault, mend;
        QString text;
    };
    const Case cases[] = {
        {"read-only table", [&] { tables.exec(QStringLiteral("PRAGMA query_only = 1")); },
         [&] { tables.exec(QStringLiteral("PRAGMA query_only = 0")); }, QStringLiteral("数据表是只读的，不能写入。")},
        {"table locked by another program",
         [&] {
             sqlite3_busy_timeout(tables.handle(), 0);
             ASSERT_EQ(sqlite3_open(tables.path().toUtf8().constData(), &otherProgram), SQLITE_OK);
             ASSERT_EQ(sqlite3_exec(otherProgram, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
         },
         [&] {
             sqlite3_exec(otherProgram, "ROLLBACK", nullptr, nullptr, nullptr);
             sqlite3_close(otherProgram);
             sqlite3_busy_timeout(tables.handle(), 2000);
         },
         QStringLiteral("数据表正被另一个程序使用（已锁定），暂时不能写入。")},
    };
    QString before = QStringLiteral("5");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString typed = QString::number(before.toInt() + 1);
        c.fault();
        QWidget* editor = typeIntoCell(orders->DBGrid1, 0, 3, typed);  // "件数"
        ASSERT_TRUE(editor);
        pressEnter(editor);
        const std::vector<Message> shown = takeMessages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text.section(QLatin1Char('\n'), 0, 0), c.text);
        EXPECT_TRUE(shown[0].text.contains(QStringLiteral("这次的修改没有保存")));
        EXPECT_FALSE(shown[0].details.isEmpty());
        EXPECT_EQ(query->state(), data::Query::State::Edit);
        EXPECT_EQ(query->field(Cases).asText(), typed);
        c.mend();
        EXPECT_EQ(stored(Cases), (QStringList{before, QStringLiteral("6")}));
        query->post();
        EXPECT_EQ(stored(Cases), (QStringList{typed, QStringLiteral("6")}));
        before = typed;
    }
}

// A count that is no whole number is refused as it is typed: the editor stays
// open with the text so that the clerk can mend it.
TEST_F(OrderWindow, ACountThatIsNoWholeNumberIsRefusedAndLeftToMend) {
    const TranslatedFaults translated;
    seed({{{Batch, QStringLiteral("A1")}, {Cases, 5}}, {{Batch, QStringLiteral("A2")}}});
    struct Case {
        int column;
        QString typed, text;
    };
    for (const Case& c : {Case{3, QStringLiteral("2.5"), QStringLiteral("件数只能输入整数，不能是“2.5”")},
                          Case{10, QStringLiteral("x"), QStringLiteral("尺码38只能输入整数，不能是“x”")}}) {
        SCOPED_TRACE(c.typed.toStdString());
        QWidget* editor = typeIntoCell(orders->DBGrid1, 0, c.column, c.typed);
        ASSERT_TRUE(editor);
        pressEnter(editor);
        const std::vector<Message> shown = takeMessages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text.section(QLatin1Char('\n'), 0, 0), c.text);
        EXPECT_EQ(orders->DBGrid1->cellEditor(), editor);
        EXPECT_EQ(qobject_cast<QLineEdit*>(editor)->text(), c.typed);
        EXPECT_EQ(query->recNo(), 1);
        EXPECT_EQ(query->state(), data::Query::State::Edit);
        EXPECT_EQ(orders->DBGrid1->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("\u270E"));
        orders->DBGrid1->discardEditor();
        query->cancel();
    }
    EXPECT_EQ(stored(Cases), (QStringList{QStringLiteral("5"), QString()}));
}

bool isSilver(const QImage& image, const QRect& cell) {
    // Away from the text and the grid lines.
    return image.pixelColor(cell.left() + 2, cell.top() + 2) == QColor(0xC0, 0xC0, 0xC0);
}

// Odd record numbers of the lower grid are silver, whatever the column; the
// upper grid draws plainly.
TEST_F(OrderWindow, LowerGridStripesOddRecordsSilver) {
    seedBatches({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")});
    struct Case {
        dbui::DbGrid* grid;
        std::vector<bool> silverRows;
    };
    const Case cases[] = {{orders->DBGrid1, {true, false, true}}, {orders->DBGrid2, {false, false, false}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.grid->objectName().toStdString());
        c.grid->scrollToTop();
        QApplication::processEvents();
        const QImage image = c.grid->viewport()->grab().toImage();
        for (int row = 0; row < 3; ++row)
            for (int column : {0, 1, 2}) {
                const QRect cell = c.grid->visualRect(c.grid->model()->index(row, column));
                ASSERT_TRUE(image.rect().contains(cell.topLeft() + QPoint(2, 2)));
                EXPECT_EQ(isSilver(image, cell), c.silverRows[row]) << "row " << row << " column " << column;
            }
    }
}

TEST_F(OrderWindow, SpaceWrapsFromTheLastColumnToTheFirstInBothGrids) {
    seedBatches({QStringLiteral("A1"), QStringLiteral("A2")});
    struct Case {
        dbui::DbGrid* grid;
        int lastColumn;
        QString lastField;
    };
    const Case cases[] = {{orders->DBGrid1, 21, QStringLiteral("备注")}, {orders->DBGrid2, 18, QStringLiteral("48")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.grid->objectName().toStdString());
        c.grid->setFocus();
        c.grid->setCurrentIndex(c.grid->model()->index(1, c.lastColumn - 1));
        QTest::keyClick(c.grid, Qt::Key_Space);
        EXPECT_EQ(c.grid->currentIndex().column(), c.lastColumn);
        EXPECT_EQ(c.grid->model()->headerData(c.lastColumn, Qt::Horizontal).toString(), c.lastField);
        QTest::keyClick(c.grid, Qt::Key_Space);
        EXPECT_EQ(c.grid->currentIndex().column(), 0);
        EXPECT_EQ(c.grid->currentIndex().row(), 1);
        EXPECT_EQ(c.grid->cellEditor(), nullptr);
        EXPECT_EQ(query->state(), data::Query::State::Browse);
    }
}

TEST_F(OrderWindow, TickingCountedAndMovingOnStoresTrueThroughThePostingRule) {
    seedBatches({QStringLiteral("A1"), QStringLiteral("A2")});
    ASSERT_FALSE(orders->DBCheckBox1->isChecked());
    click(orders->DBCheckBox1);
    EXPECT_EQ(query->state(), data::Query::State::Edit);
    EXPECT_EQ(stored(Counted).value(0), QStringLiteral("False"));  // not stored before the post
    click(orders->DBNavigator1->button(dbui::DbNavigator::Button::Next));
    EXPECT_EQ(query->recNo(), 2);
    EXPECT_FALSE(orders->DBCheckBox1->isChecked());  // shows the second record
    EXPECT_EQ(stored(Counted).value(0), QStringLiteral("True"));
    EXPECT_EQ(stored(Cases), (QStringList{QStringLiteral("0"), QString()}));
    // Clearing it again stores false.
    click(orders->DBNavigator1->button(dbui::DbNavigator::Button::Prior));
    ASSERT_TRUE(orders->DBCheckBox1->isChecked());
    click(orders->DBCheckBox1);
    click(orders->DBNavigator1->button(dbui::DbNavigator::Button::Post));
    EXPECT_EQ(stored(Counted).value(0), QStringLiteral("False"));
}

// Multiply and divide report in the third panel, leave rows without cases
// alone and say how many there were.
TEST_F(OrderWindow, MultiplyAndDivideWalkTheResultAndReportRowsWithoutCases) {
    seed({{{Batch, QStringLiteral("A1")}, {Cases, 3}, {QStringLiteral("36"), 2}, {QStringLiteral("37"), 4}},
          {{Batch, QStringLiteral("A2")}, {Cases, 0}, {QStringLiteral("36"), 5}},
          {{Batch, QStringLiteral("A3")}, {Cases, 2}, {QStringLiteral("41"), 25}}});
    struct Case {
        const char* name;
        std::function<void()> run;
        QStringList pairs;
        QString size36, size41;
    };
    const std::vector<Case> cases = {
        {"multiply", [&] { click(child(orders, "ToolButton9")); }, {"18", QString(), "50"}, "6", "50"},
        {"divide", [&] { orders->N4->trigger(); }, {"6", QString(), "25"}, "2", "25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.run();
        EXPECT_EQ(ordersPanel(2), QStringLiteral("主表共有记录3条:未完成:0@已完成:3"));
        EXPECT_EQ(stored(Pairs), c.pairs);
        EXPECT_EQ(stored(QStringLiteral("36")), (QStringList{c.size36, QStringLiteral("5"), QStringLiteral("0")}));
        EXPECT_EQ(stored(QStringLiteral("41")).value(2), c.size41);
        EXPECT_EQ(query->recNo(), 3);
        expectOneBox(QStringLiteral("有1行件数为0，未作处理！"), QStringLiteral("提示信息"),
                     platform::MessageIcon::Information, platform::MessageButtons::Ok);
    }
}

TEST_F(OrderWindow, MenuShiftsRotateTheCurrentRow) {
    seed({{{Batch, QStringLiteral("A1")}, {QStringLiteral("33"), 5}, {QStringLiteral("40"), 7}, {QStringLiteral("48"), 9}},
          {{Batch, QStringLiteral("A2")}}});
    query->first();
    orders->N1->trigger();
    QStringList up(16, QStringLiteral("0"));
    up[0] = QStringLiteral("9");
    up[1] = QStringLiteral("5");
    up[8] = QStringLiteral("7");
    EXPECT_EQ(storedSizes(0), up);
    EXPECT_EQ(stored(Pairs).value(0), QStringLiteral("21"));
    orders->N2->trigger();
    QStringList back(16, QStringLiteral("0"));
    back[0] = QStringLiteral("5");
    back[7] = QStringLiteral("7");
    back[15] = QStringLiteral("9");
    EXPECT_EQ(storedSizes(0), back);
    EXPECT_EQ(stored(Pairs).value(1), QString());  // the other row is not posted
}

TEST_F(OrderWindow, MarkCountedFillsTheCountAndProgressPanels) {
    seed({{{Batch, QStringLiteral("A1")}, {Counted, true}},
          {{Batch, QStringLiteral("A2")}},
          {{Batch, QStringLiteral("A3")}},
          {{Batch, QStringLiteral("A4")}},
          {{Batch, QStringLiteral("A5")}}});
    click(child(orders, "ToolButton11"));
    EXPECT_EQ(ordersPanel(1), QStringLiteral("5"));
    EXPECT_TRUE(ordersPanel(2).startsWith(QStringLiteral("此表共有记录5条:未完成:0@已完成:5@已求和:"))) << ordersPanel(2).toStdString();
    EXPECT_EQ(stored(Counted), QStringList(5, QStringLiteral("True")));
    EXPECT_EQ(stored(Cases), QStringList(5, QStringLiteral("0")));  // the posting rule ran on each
}

TEST_F(OrderWindow, DeleteOrdersAsksFirstAndRemovesOnlyTheShownOrders) {
    seedBatches({QStringLiteral("A1"), QStringLiteral("B1"), QStringLiteral("A2"), QStringLiteral("B2")});
    query->setSql(QStringLiteral("select * from dd.db where 批号 like 'A%'"));
    query->open();
    ASSERT_EQ(query->recordCount(), 2);
    QAbstractButton* remove = child(orders, "ToolButton8");

    dialogs.queueAnswer(false);
    click(remove);
    std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("你真的要删除吗？"));
    EXPECT_EQ(shown[0].caption, QStringLiteral("提示信息"));
    EXPECT_EQ(shown[0].icon, platform::MessageIcon::Question);
    EXPECT_EQ(shown[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(shown[0].owner, orders);
    EXPECT_EQ(stored(Batch).size(), 4);
    EXPECT_EQ(ordersPanel(2), TaForm3DD::gridHint());

    dialogs.queueAnswer(true);
    click(remove);
    EXPECT_EQ(takeMessages().size(), 1u);
    EXPECT_EQ(stored(Batch), (QStringList{QStringLiteral("B1"), QStringLiteral("B2")}));
    EXPECT_EQ(ordersPanel(2), QStringLiteral("删除完毕"));
    EXPECT_EQ(query->recordCount(), 0);
}

// What a bulk loop leaves usable while it lets events run: nothing that moves
// the order query or replaces its statement, in any of the three windows.
TEST_F(OrderWindow, WalkingCommandsAreDisabledWhileABulkLoopRuns) {
    // A loop of a few rows lets events run at every row here, so that the
    // window is looked at after the cursor has moved on.
    const qint64 interval = kit::WindowStatus::setEventsInterval(0);
    const auto restore = qScopeGuard([interval] { kit::WindowStatus::setEventsInterval(interval); });
    QList<QWidget*> walking = {orders->DBNavigator1,         child(orders, "ToolButton1"), child(orders, "ToolButton12"),
                               child(orders, "ToolButton9"), child(orders, "ToolButton11"), child(orders, "ToolButton8"),
                               orders->DBGrid1,              orders->DBGrid2,              orders->DBCheckBox1,
                               entry->ToolButton1,           search->TButS,                search->ToolButton3,
                               search->ToolButton12,         search->ToolButton13,         search->ToolButton14};
    auto enabledNames = [&] {
        QStringList names;
        for (QWidget* w : walking)
            if (w->isEnabled())
                names << w->parentWidget()->window()->objectName() + QLatin1Char('.') + w->objectName();
        return names;
    };
    seed({{{Batch, QStringLiteral("A1")}, {Cases, 1}}, {{Batch, QStringLiteral("A2")}, {Cases, 1}}});
    EXPECT_EQ(enabledNames().size(), walking.size());

    query->beginBusy();
    EXPECT_EQ(enabledNames(), QStringList());
    EXPECT_TRUE(child(orders, "ToolButton2")->isEnabled());  // showing a window walks nothing
    EXPECT_TRUE(search->TBUTclear->isEnabled());
    query->endBusy();
    EXPECT_EQ(enabledNames().size(), walking.size());

    // The same seen from inside a real loop each time it lets events run,
    // after the cursor has moved on as well.
    QStringList enabledDuringLoop;
    int looks = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        ++looks;
        enabledDuringLoop += enabledNames();
    });
    watch.start(0);
    click(child(orders, "ToolButton9"));
    watch.stop();
    EXPECT_GE(looks, 2);
    EXPECT_EQ(enabledDuringLoop, QStringList());
    EXPECT_EQ(enabledNames().size(), walking.size());
}

// Each window's 撤销 takes back the last bulk command run from it, after its
// question; the grids show the rows again and the button goes grey once
// there is nothing left to undo.
TEST_F(OrderWindow, UndoButtonsTakeBackTheLastCommandOfTheirWindow) {
    TAForm6TJ* statisticsWindow = windows->registry().statisticsWindow;
    struct Case {
        QWidget* window;
        std::function<void()> command;
        const char* question;  // before and after the time
    };
    const std::vector<Case> cases = {
        {orders, [&] { dialogs.queueAnswer(true); click(child(orders, "ToolButton8")); },
         "你真的要撤销上次的“删除订单”吗？（|，2条记录）"},
        {statisticsWindow, [&] { click(statisticsWindow->ToolButtonZL); },
         "你真的要撤销上次的“调用鞋底”吗？（|，2条记录）"},
    };
    seed({{{Batch, QStringLiteral("A1")}, {Cases, 2}}, {{Batch, QStringLiteral("A2")}, {Cases, 3}}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question);
        kit::WindowRegistry::show(c.window);
        QApplication::processEvents();
        auto* undo = c.window->findChild<QToolButton*>(QStringLiteral("ToolButtonCX"));
        ASSERT_TRUE(undo);
        EXPECT_FALSE(undo->isEnabled());
        c.command();
        takeMessages();
        EXPECT_TRUE(undo->isEnabled());
        EXPECT_NE(stored(QStringLiteral("供应商")), (QStringList{"", ""}));

        dialogs.queueAnswer(false);  // Cancel changes nothing
        click(undo);
        dialogs.queueAnswer(true);
        click(undo);
        const std::vector<Message> shown = takeMessages();
        ASSERT_EQ(shown.size(), 2u);
        const QStringList parts = QString::fromUtf8(c.question).split('|');
        EXPECT_TRUE(shown[1].text.startsWith(parts[0]) && shown[1].text.endsWith(parts[1])) << shown[1].text.toStdString();
        EXPECT_EQ(shown[1].caption, QStringLiteral("提示信息"));
        EXPECT_EQ(shown[1].buttons, platform::MessageButtons::OkCancel);
        EXPECT_EQ(stored(Batch), (QStringList{"A1", "A2"}));
        EXPECT_EQ(stored(QStringLiteral("供应商")), (QStringList{"", ""}));
        EXPECT_EQ(query->recordCount(), 2);  // the grids show them again
        EXPECT_FALSE(undo->isEnabled());
    }
}

// Rows changed by hand after the command are named before they are
// overwritten; a change still being typed is stored first, not dropped.
TEST_F(OrderWindow, UndoAsksBeforeOverwritingHandEdits) {
    seed({{{Batch, QStringLiteral("A1")}, {Cases, 2}, {QStringLiteral("40"), 3}}});
    click(child(orders, "ToolButton9"));
    query->edit();
    query->field(QStringLiteral("备注")).setText(QStringLiteral("手改"));
    dialogs.queueAnswer(true);
    dialogs.queueAnswer(false);
    click(child(orders, "ToolButtonCX"));
    std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[1].text.startsWith(QStringLiteral("有1条记录在之后被修改过"))) << shown[1].text.toStdString();
    EXPECT_EQ(storedSizes(0)[7], QStringLiteral("6"));  // kept on Cancel
    EXPECT_EQ(stored(QStringLiteral("备注")), QStringList{QStringLiteral("手改")});

    dialogs.queueAnswer(true);
    dialogs.queueAnswer(true);
    click(child(orders, "ToolButtonCX"));
    EXPECT_EQ(takeMessages().size(), 2u);
    EXPECT_EQ(storedSizes(0)[7], QStringLiteral("3"));
    EXPECT_EQ(stored(QStringLiteral("备注")), QStringList{QString()});
    EXPECT_EQ(ordersPanel(2), QStringLiteral("已撤销“件数相乘”，恢复1条记录"));
}

}  // namespace
