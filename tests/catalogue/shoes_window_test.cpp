#include "catalogue/material_window.h"
#include "catalogue/press_bar.h"
#include "catalogue/shoes_window.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "dbui/db_memo.h"
#include "dbui/db_navigator.h"
#include "orders/orders_window.h"
#include "program_windows_fixture.h"
#include "statistics/statistics_window.h"
#include "stepped_timers.h"
#include "window_kit/status_panels.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>
#include <functional>
#include <map>

namespace {


const QString Model = QStringLiteral("鞋的型号");
const QString Colour = QStringLiteral("颜色");

// The program's windows over real tables in a temporary folder, the
// sole-model window shown, every message box answered by a script.
class ShoesWindow : public ProgramWindowsTest {
protected:
    void SetUp() override {
        ProgramWindowsTest::SetUp();
        shoes = windows->registry().shoesWindow;
        material = windows->registry().materialWindow;
        query = shoes->Query1;
        showActive(shoes);
    }

    // Stores rows in a table without any posting rule, then reopens the
    // window's queries on every record.
    void seed(const QString& table, const std::vector<Row>& rows) {
        storeRows(table, rows);
        query->setSql(QStringLiteral("select * from shoes.db"));
        query->open();
        orderQuery()->setSql(QStringLiteral("select * from dd.db"));
        orderQuery()->open();
    }
    void seedModels(const std::vector<std::pair<QString, QString>>& pairs) {
        std::vector<Row> rows;
        for (const auto& [model, colour] : pairs)
            rows.push_back({{Model, model}, {Colour, colour}});
        seed(QStringLiteral("shoes.db"), rows);
    }
    void seedOrders(const std::vector<std::pair<QString, QString>>& pairs) {
        std::vector<Row> rows;
        int batch = 0;
        for (const auto& [model, colour] : pairs)
            rows.push_back({{QStringLiteral("批号"), QString::number(++batch)}, {Model, model}, {Colour, colour}});
        seed(QStringLiteral("dd.db"), rows);
    }

    data::Query* orderQuery() const { return windows->registry().ordersWindow->Query1; }

    // "model/colour/sequence" of every stored catalogue record.
    QStringList storedModels() {
        data::Query reader(*engine);
        reader.setSql(QStringLiteral("select * from shoes.db"));
        reader.open();
        QStringList rows;
        for (reader.first(); !reader.eof(); reader.next())
            rows << reader.field(Model).asText() + QLatin1Char('/') + reader.field(Colour).asText() + QLatin1Char('/') +
                        reader.field(QStringLiteral("顺序")).asText();
        return rows;
    }

    QStringList listed() const {
        QStringList lines;
        for (int i = 0; i < shoes->LISTNO->count(); ++i)
            lines << shoes->LISTNO->item(i)->text();
        return lines;
    }

    QToolButton* button(const char* name) const { return shoes->findChild<QToolButton*>(QString::fromLatin1(name)); }
    QString panel(int index) const { return shoes->sBar->panelText(index); }

    // Double-clicks a list entry (selecting it with the first click).
    void doubleClickEntry(int row) {
        QListWidget* list = shoes->LISTNO;
        const QRect where = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where.center());
        QApplication::processEvents();
    }

    SteppedTimers timers;  // made before the windows
    TAForm2shoes* shoes = nullptr;
    TaForm10YL* material = nullptr;
    data::Query* query = nullptr;
};

// The toolbar left to right; "|" stands for a separator. Every control is
// called what a person sees on it.
TEST_F(ShoesWindow, ToolbarHoldsItsEntriesInOrderWithTheirCaptions) {
    auto* bar = shoes->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    ASSERT_TRUE(bar);
    const ToolbarEntries entries = toolbarEntries(bar);
    EXPECT_EQ(entries.names, QStringLiteral("DBNavigator1 | ToolButton2 | ToolButton6 | Panel2 ToolButton8 ToolButton1 ToolButton3 | ToolButtonCX"));
    EXPECT_EQ(entries.captions, QStringLiteral("删除,统计,鞋的型号,鞋底型号,刷新,撤销"));
    for (QToolButton* b : entries.buttons)
        EXPECT_EQ(b->size(), QSize(55, 51));
    EXPECT_EQ(shoes->Memo1->parentWidget()->size(), QSize(100, 51));
    EXPECT_EQ(shoes->Memo1->width(), 96);

    using B = dbui::DbNavigator::Button;
    EXPECT_EQ(shoes->DBNavigator1->visibleButtons(),
              (QList<B>{B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Edit, B::Post, B::Cancel}));
    EXPECT_EQ(shoes->DBNavigator1->dataSource(), shoes->DataSource1);
}

TEST_F(ShoesWindow, GridPanelAndStatusBarAreLaidOutAsDesigned) {
    EXPECT_EQ(shoes->windowTitle(), QStringLiteral("鞋底型号表"));
    QStringList headers;
    for (int i = 0; i < shoes->DBGrid1->model()->columnCount(); ++i)
        headers << shoes->DBGrid1->model()->headerData(i, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"鞋的型号", "颜色", "鞋底型号", "供应商"}));
    EXPECT_EQ(shoes->DBGrid1->dataSource(), shoes->DataSource1);

    EXPECT_EQ(shoes->Panel1->width(), 138);
    EXPECT_EQ(shoes->Panel1->geometry().left(), shoes->DBGrid1->geometry().right() + 1);
    struct Part {
        QWidget* widget;
        QString accessibleName;
        int height;  // 0: not fixed
    };
    const Part parts[] = {{shoes->PLCLGSTS, "备注", 19},
                          {shoes->DBMemo1, "备注", 0},
                          {shoes->PLGFH, "", 19},
                          {shoes->PLWDJ, "↓未登记列表↓", 19},
                          {shoes->LISTNO, "未登记列表", 0}};
    int top = 0;
    for (const Part& p : parts) {
        SCOPED_TRACE(p.widget->objectName().toStdString());
        EXPECT_EQ(p.widget->parentWidget(), shoes->Panel1);
        EXPECT_EQ(p.widget->y(), top);
        EXPECT_EQ(p.widget->accessibleName(), p.accessibleName);
        if (p.height) {
            EXPECT_EQ(p.widget->height(), p.height);
        }
        top += p.widget->height();
    }
    EXPECT_EQ(top, shoes->Panel1->height());  // the list takes the rest
    EXPECT_EQ(shoes->PLWDJ->text(), QStringLiteral("↓未登记列表↓"));
    EXPECT_EQ(shoes->PLCLGSTS->text(), QStringLiteral("备注"));
    EXPECT_EQ(shoes->DBMemo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(shoes->DBMemo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(shoes->DBMemo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    ASSERT_EQ(shoes->sBar->panelCount(), 3);
    EXPECT_EQ(shoes->sBar->panel(0)->width(), 50);
    EXPECT_EQ(shoes->sBar->panel(1)->width(), 50);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(panel(i), QString());
}

// The remark box is half the right-hand panel, truncated, whenever the
// window is shown or resized.
TEST_F(ShoesWindow, RemarkBoxIsHalfTheRightPanel) {
    struct Case {
        int panelHeight, remarkHeight;
    };
    const Case cases[] = {{456, 228}, {455, 227}, {301, 150}, {600, 300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.panelHeight);
        const int rest = shoes->height() - shoes->Panel1->height();
        shoes->resize(shoes->width(), rest + c.panelHeight);
        QApplication::processEvents();
        ASSERT_EQ(shoes->Panel1->height(), c.panelHeight);
        EXPECT_EQ(shoes->DBMemo1->height(), c.remarkHeight);
    }
    shoes->hide();
    shoes->DBMemo1->resize(shoes->DBMemo1->width(), 10);
    shoes->show();
    QApplication::processEvents();
    EXPECT_EQ(shoes->DBMemo1->height(), 300);
}

// The bars look pressed while a mouse button is down on them: a sunken
// edge, dark at the top left.
TEST_F(ShoesWindow, BarsAreLoweredWhilePressed) {
    auto darkEdge = [](QWidget* bar) {
        return bar->grab().toImage().pixel(0, bar->height() / 2) == bar->palette().color(QPalette::Dark).rgb();
    };
    for (catalogue::PressBar* bar : {shoes->PLGFH, shoes->PLWDJ}) {
        for (Qt::MouseButton which : {Qt::LeftButton, Qt::RightButton}) {
            SCOPED_TRACE(bar->objectName().toStdString());
            ASSERT_FALSE(bar->isLowered());
            EXPECT_FALSE(darkEdge(bar));
            QTest::mousePress(bar, which, {}, QPoint(5, 5));
            EXPECT_TRUE(bar->isLowered());
            EXPECT_TRUE(darkEdge(bar));
            QTest::mouseRelease(bar, which, {}, QPoint(5, 5));
            EXPECT_FALSE(bar->isLowered());
            EXPECT_FALSE(darkEdge(bar));
        }
    }
    EXPECT_TRUE(listed().isEmpty());  // a right click is no click: no scan
}

// A colour code typed in the grid is stored expanded, with the sequence.
TEST_F(ShoesWindow, TypingInTheGridPostsThroughThePostingRule) {
    seedModels({{"A1", ""}, {"B1", "棕"}});
    dbui::DbGrid* grid = shoes->DBGrid1;
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 1));
    QTest::keyClick(grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(grid->cellEditor());
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("h"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(storedModels(), (QStringList{"A1/黑/A1黑", "B1/棕/"}));
    EXPECT_EQ(query->recNo(), 2);  // Enter moved down

    // Space on the last column wraps to the first.
    grid->setCurrentIndex(grid->model()->index(1, 3));
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(grid->currentIndex().column(), 0);
}

TEST_F(ShoesWindow, ADuplicateInsertedWithTheNavigatorIsReportedAndGone) {
    seedModels({{"A1", "黑"}, {"B1", "棕"}});
    click(shoes->DBNavigator1->button(dbui::DbNavigator::Button::Insert));
    ASSERT_EQ(query->state(), data::Query::State::Insert);
    query->field(Model).setText(QStringLiteral("B1"));
    query->field(Colour).setText(QStringLiteral("棕"));
    click(shoes->DBNavigator1->button(dbui::DbNavigator::Button::Post));

    expectOneBox(QStringLiteral("型号颜色重复！"), QString(), platform::MessageIcon::Information, platform::MessageButtons::Ok);
    EXPECT_EQ(query->state(), data::Query::State::Browse);
    EXPECT_EQ(shoes->DBGrid1->model()->rowCount(), 2);
    EXPECT_EQ(storedModels(), (QStringList{"A1/黑/", "B1/棕/"}));
}

// Any other refusal is not the window's: the error goes on to the general
// error display and the record stays in edit.
TEST_F(ShoesWindow, OtherRefusedPostsAreLeftToTheErrorDisplay) {
    seedModels({{"A1", "黑"}});
    query->edit();
    EXPECT_EQ(shoes->Query1PostError(*query, data::EngineError(QStringLiteral("disk full"), 0x2203)),
              data::Query::PostErrorAction::Fail);
    EXPECT_EQ(query->state(), data::Query::State::Edit);
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(ShoesWindow, NavigatorDeleteAsksFirst) {
    seedModels({{"A1", "黑"}, {"B1", "棕"}});
    QToolButton* remove = shoes->DBNavigator1->button(dbui::DbNavigator::Button::Delete);
    dialogs.queueAnswer(false);
    click(remove);
    dialogs.queueAnswer(true);
    click(remove);
    std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Delete record?"));
    EXPECT_EQ(storedModels(), QStringList{"B1/棕/"});
}

// The search buttons, the refresh and what the status panels show.
TEST_F(ShoesWindow, SearchesAndRefreshFillTheStatusPanels) {
    seed(QStringLiteral("shoes.db"), {{{Model, "112"}, {Colour, "黑"}, {QStringLiteral("鞋底型号"), "R-1"}},
                                      {{Model, "A3"}, {Colour, "黑"}, {QStringLiteral("鞋底型号"), "D-12"}},
                                      {{Model, "B7"}, {Colour, "黑"}, {QStringLiteral("鞋底型号"), "R-2"}}});
    struct Case {
        QString box;
        const char* button;
        QString terms, count;
        int rows;
    };
    const Case cases[] = {
        {"", "ToolButton8", "", "", 3},              // nothing touched
        {"12\n3", "ToolButton8", "2", "共有数据2条", 2},
        {"R-", "ToolButton1", "1", "共有数据2条", 2},
        {"12\n", "ToolButton1", "1", "共有数据1条", 1},
        {"'", "ToolButton8", "1", "共有数据0条", 0},
        {"'", "ToolButton3", "1", "共有数据3条", 3},  // refresh keeps the term count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box.toStdString() + " " + c.button);
        shoes->Memo1->setPlainText(c.box);
        click(button(c.button));
        EXPECT_EQ(panel(1), c.terms);
        EXPECT_EQ(panel(2), c.count);
        EXPECT_EQ(shoes->DBGrid1->model()->rowCount(), c.rows);
        EXPECT_EQ(shoes->Memo1->toPlainText(), c.box);
    }
}

TEST_F(ShoesWindow, DeleteAsksAndRemovesTheShownRecords) {
    seedModels({{"K1", "黑"}, {"A1", "黑"}, {"K2", "黑"}, {"K3", "黑"}, {"K4", "黑"}, {"K5", "黑"}});
    shoes->Memo1->setPlainText(QStringLiteral("K"));
    click(button("ToolButton8"));
    ASSERT_EQ(query->recordCount(), 5);

    dialogs.queueAnswer(false);
    click(button("ToolButton2"));
    expectOneBox(QStringLiteral("你真的要删除吗？"), QStringLiteral("提示信息"),
                 platform::MessageIcon::Question, platform::MessageButtons::OkCancel);
    EXPECT_EQ(storedModels().size(), 6);
    EXPECT_EQ(panel(2), QStringLiteral("共有数据5条"));

    dialogs.queueAnswer(true);
    click(button("ToolButton2"));
    EXPECT_EQ(takeMessages().size(), 1u);
    EXPECT_EQ(panel(2), QStringLiteral("删除完毕"));
    EXPECT_EQ(storedModels(), QStringList{"A1/黑/"});
}

TEST_F(ShoesWindow, ScanListsTheMissingPairsAndPutsTheCatalogueBack) {
    seedModels({{"A1", "黑"}});
    seedOrders({{"A1", "黑"}, {"112", "黑"}, {"12", "黑"}, {"112", "黑"}});
    shoes->addUnregisteredLine(QStringLiteral("old:line"));
    shoes->Memo1->setPlainText(QStringLiteral("none"));
    click(button("ToolButton8"));
    ASSERT_EQ(query->recordCount(), 0);

    bool loweredDuringScan = false;
    const QMetaObject::Connection watch =
        QObject::connect(orderQuery(), &data::Query::busyChanged, shoes,
                         [&](bool busy) { loweredDuringScan = loweredDuringScan || (busy && shoes->PLWDJ->isLowered()); });
    click(shoes->PLWDJ);
    QObject::disconnect(watch);
    EXPECT_EQ(listed(), (QStringList{"112:黑", "12:黑"}));
    EXPECT_TRUE(loweredDuringScan);
    EXPECT_FALSE(shoes->PLWDJ->isLowered());
    EXPECT_EQ(query->sql(), QStringLiteral("select * from shoes.db"));
    EXPECT_EQ(shoes->DBGrid1->model()->rowCount(), 1);
    EXPECT_EQ(orderQuery()->recNo(), 4);

    // With no orders the list is emptied.
    orderQuery()->setSql(QStringLiteral("select * from dd.db where 批号='none'"));
    orderQuery()->open();
    click(shoes->PLWDJ);
    EXPECT_EQ(listed(), QStringList());
}

// A double click adds the entry's model and colour, removes the entry and
// shows the quick-entry window beside the catalogue.
TEST_F(ShoesWindow, DoubleClickAddsTheEntryAndPlacesTheQuickEntryWindow) {
    seedModels({{"A1", "黑"}});
    struct Case {
        QString entry;
        QString stored;  // the new last record
    };
    const Case cases[] = {
        {"8012:黑:120:1007", "8012/黑/8012黑"},
        {"G7:h", "G7/黑/G7黑"},
        {"G8", "G8//G8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.toStdString());
        material->hide();
        shoes->move(200, 40);
        shoes->LISTNO->clear();
        shoes->addUnregisteredLine(QStringLiteral("keep:me"));
        shoes->addUnregisteredLine(c.entry);
        doubleClickEntry(1);
        EXPECT_EQ(storedModels().last(), c.stored);
        EXPECT_EQ(listed(), QStringList{"keep:me"});
        EXPECT_TRUE(material->isVisible());
        EXPECT_EQ(shoes->x(), 10);
        EXPECT_EQ(material->pos(), QPoint(shoes->frameGeometry().width() + 10, shoes->y()));
    }
}

TEST_F(ShoesWindow, ADuplicateFromTheListKeepsTheEntryAndShowsNothingElse) {
    seedModels({{"8012", "黑"}});
    shoes->addUnregisteredLine(QStringLiteral("8012:黑:120:1007"));
    doubleClickEntry(0);
    std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("型号颜色重复！"));
    EXPECT_EQ(listed(), QStringList{"8012:黑:120:1007"});
    EXPECT_FALSE(material->isVisible());
    EXPECT_EQ(storedModels(), QStringList{"8012/黑/"});
    EXPECT_EQ(query->state(), data::Query::State::Browse);
}

TEST_F(ShoesWindow, DoubleClickWithoutASelectedEntryDoesNothing) {
    // An empty list, then a list whose entry is not selected.
    shoes->LISTNO->viewport()->resize(shoes->LISTNO->viewport()->width(), 100);
    QTest::mouseDClick(shoes->LISTNO->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    shoes->addUnregisteredLine(QStringLiteral("G1:黑"));
    shoes->LISTNO->clearSelection();
    shoes->LISTNODblClick();
    QApplication::processEvents();
    EXPECT_EQ(listed(), QStringList{"G1:黑"});
    EXPECT_FALSE(material->isVisible());
    EXPECT_EQ(storedModels(), QStringList());
}

TEST_F(ShoesWindow, ButtonsShowTheirWindows) {
    struct Case {
        const char* name;
        std::function<void()> act;
        QWidget* window;
    };
    const Case cases[] = {
        {"统计", [&] { click(button("ToolButton6")); }, windows->registry().statisticsWindow},
        {"remark double click",
         [&] { QTest::mouseDClick(shoes->DBMemo1->viewport(), Qt::LeftButton, {}, QPoint(5, 5)); }, material},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.window->isVisible());
        c.act();
        EXPECT_TRUE(c.window->isVisible());
        c.window->hide();
    }
}

// What a loop over the catalogue query leaves usable, and the scan waiting
// for the order tools' loops.
TEST_F(ShoesWindow, CommandsAreDisabledWhileALoopUsesTheQueries) {
    const QList<QWidget*> walking = {shoes->DBNavigator1, shoes->DBGrid1,        shoes->DBMemo1,
                                     shoes->PLWDJ,        shoes->LISTNO,         button("ToolButton2"),
                                     button("ToolButton8"), button("ToolButton1"), button("ToolButton3")};
    auto enabled = [&] {
        QStringList names;
        for (QWidget* w : walking)
            if (w->isEnabled())
                names << w->objectName();
        return names;
    };
    const QStringList all = enabled();
    ASSERT_EQ(all.size(), walking.size());

    query->beginBusy();
    EXPECT_EQ(enabled(), QStringList());
    EXPECT_TRUE(button("ToolButton6")->isEnabled());
    EXPECT_TRUE(shoes->Memo1->isEnabled());
    query->endBusy();
    EXPECT_EQ(enabled(), all);

    orderQuery()->beginBusy();
    EXPECT_FALSE(shoes->PLWDJ->isEnabled());
    query->beginBusy();
    query->endBusy();
    EXPECT_FALSE(shoes->PLWDJ->isEnabled());  // still waiting for the order loop
    orderQuery()->endBusy();
    EXPECT_EQ(enabled(), all);
}

}  // namespace

// Lines added while a loop holds the catalogue query reach the list a few
// times a second, all of them by the end of the loop; otherwise at once.
TEST_F(ShoesWindow, LinesAddedDuringALookupLoopAreShownInBatches) {
    shoes->addUnregisteredLine(QStringLiteral("A0:黑:10:B0"));
    EXPECT_EQ(listed(), QStringList{QStringLiteral("A0:黑:10:B0")});
    {
        data::BusyScope busy(*query);
        for (int i = 1; i <= 3; ++i)
            shoes->addUnregisteredLine(QStringLiteral("A%1:黑:10:B%1").arg(i));
        EXPECT_EQ(shoes->LISTNO->count(), 1);
        QApplication::processEvents();
        timers.advance(99);
        EXPECT_EQ(shoes->LISTNO->count(), 1) << "shown before a tenth of a second had passed";
        timers.advance(1);
        EXPECT_EQ(shoes->LISTNO->count(), 4) << "no batch shown while the loop ran";
        shoes->addUnregisteredLine(QStringLiteral("A4:黑:10:B4"));
    }
    EXPECT_EQ(listed().size(), 5);
    EXPECT_EQ(listed().last(), QStringLiteral("A4:黑:10:B4"));
}
