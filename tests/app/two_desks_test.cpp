// Two desks on one server database: desk A works through a query of its own
// engine, desk B through the program's windows. What one desk stores shows at
// the other, a record both changed is settled by B's clerk, a record a third
// desk holds is waited for only so long, and the sole statistics run at one
// desk at a time.
#include "app/main_window.h"
#include "app/startup.h"
#include "catalogue/shoes_window.h"
#include "data/engine/engine.h"
#include "data/engine/open_store.h"
#include "data/engine/query.h"
#include "data/server/pg_session.h"
#include "data/server_store_of.h"
#include "dbui/db_grid.h"
#include "dbui/query_table_model.h"
#include "data/engine/undo_scope.h"
#include "orders/size_runs.h"
#include "orders/orders_window.h"
#include "pg_test_server.h"
#include "platform/files.h"
#include "platform/scripted_dialogs.h"
#include "qt_printing.h"
#include "recording_sink.h"
#include "server_news.h"
#include "statistics/statistics_window.h"
#include "window_kit/fault_texts.h"
#include "window_kit/status_panels.h"
#include "window_kit/undo_button.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString Batch = QStringLiteral("批号");
const QString Cases = QStringLiteral("件数");

// An engine on the server known to the others as `desk`.
std::unique_ptr<data::Engine> deskEngine(const QString& uri, const QString& desk)
{
    const QByteArray before = qgetenv("TAVREL_DESK");
    qputenv("TAVREL_DESK", desk.toUtf8());
    auto engine = std::make_unique<data::Engine>(uri);
    serverStoreOf(*engine)->connection();  // connects now, as this desk
    qputenv("TAVREL_DESK", before);
    return engine;
}

class TwoDesks : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString uri = pgTestDatabase();
        deskA = deskEngine(uri, QStringLiteral("前台"));
        data::createTables(uri);
        orderAtA = std::make_unique<data::Query>(*deskA);
        orderAtA->setSql(QStringLiteral("select * from dd.db"));
        orderAtA->open();
        for (const char* batch : {"B001", "B002"}) {
            orderAtA->append();
            orderAtA->field(Batch).setText(QString::fromLatin1(batch));
            orderAtA->field(Cases).setInteger(1);
            orderAtA->post();
        }
        orderAtA->first();

        deskB = deskEngine(uri, QStringLiteral("仓库"));
        ASSERT_TRUE(programDir.isValid());
        platform::setProgramFolder(programDir.path());
        windows = std::make_unique<app::ProgramWindows>(*deskB);
        ordersAtB = windows->registry().ordersWindow;
        ordersAtB->Query1->first();
    }

    void TearDown() override
    {
        EXPECT_EQ(dialogs.messageTexts(), QStringList()) << "message boxes the test did not expect";
        windows.reset();
        orderAtA.reset();
        platform::setProgramFolder(QString());
    }

    // Lets B hear the server until `done` holds.
    bool hearUntil(const std::function<bool()>& done) { return hearServerNews(*serverStoreOf(*deskB), done); }

    // A stores the number of cases of its first order, B001.
    void storeCasesAtA(int cases)
    {
        orderAtA->first();
        orderAtA->edit();
        orderAtA->field(Cases).setInteger(cases);
        orderAtA->post();
    }

    QString casesShownAtB(int row) const
    {
        dbui::DbGrid* grid = ordersAtB->DBGrid1;
        const int column = grid->tableModel()->columnFieldNames().indexOf(Cases);
        return grid->model()->index(row, column).data().toString();
    }

    // The cases of B001 as the server holds them, read afresh.
    QString storedCases()
    {
        data::Query reader(*deskA);
        reader.setSql(QStringLiteral("select * from dd.db where 批号 = 'B001'"));
        reader.open();
        return reader.isEmpty() ? QString() : reader.field(Cases).asText();
    }

    QTemporaryDir programDir;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<data::Engine> deskA;
    std::unique_ptr<data::Query> orderAtA;
    std::unique_ptr<data::Engine> deskB;
    std::unique_ptr<app::ProgramWindows> windows;
    TaForm3DD* ordersAtB = nullptr;
};

TEST_F(TwoDesks, WhatOneDeskStoresShowsAtTheOther)
{
    ordersAtB->Query1->moveTo(2);
    ASSERT_EQ(casesShownAtB(0), QStringLiteral("1"));
    storeCasesAtA(7);
    EXPECT_TRUE(hearUntil([&] { return casesShownAtB(0) == QStringLiteral("7"); })) << casesShownAtB(0).toStdString();
    EXPECT_EQ(ordersAtB->Query1->recNo(), 2);
}

// B edits the order A has just changed: the window says so, and B's post asks
// B's clerk, whose answer decides what is stored.
TEST_F(TwoDesks, RecordChangedAtBothDesksIsSettledByTheClerk)
{
    const struct {
        const char* name;
        bool keepMine;
        QString stored;
    } cases[] = {{"keep mine", true, QStringLiteral("3")}, {"take theirs", false, QStringLiteral("9")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        data::Query& atB = *ordersAtB->Query1;
        atB.first();
        atB.edit();
        atB.field(Cases).setInteger(3);
        storeCasesAtA(9);
        ASSERT_TRUE(hearUntil([&] { return atB.isChangedElsewhere(); }));
        EXPECT_EQ(ordersAtB->sBar->panelText(0), QStringLiteral("此记录已被另一台电脑修改，保存时会询问保留哪一份。"));

        dialogs.queueAnswer(c.keepMine);
        atB.post();
        const std::vector<platform::ScriptedDialogs::Message> shown = dialogs.messages();
        dialogs.clear();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].buttons, platform::MessageButtons::YesNo);
        EXPECT_EQ(shown[0].caption, QStringLiteral("提示信息"));
        EXPECT_TRUE(shown[0].text.startsWith(QStringLiteral("你正在修改的订单（批号：B001）已被另一台电脑（前台）修改过。")))
            << shown[0].text.toStdString();
        EXPECT_TRUE(shown[0].text.contains(QStringLiteral("件数：1 → 9 / 3"))) << shown[0].text.toStdString();

        EXPECT_EQ(storedCases(), c.stored);
        EXPECT_EQ(atB.state(), data::Query::State::Browse);
        EXPECT_EQ(casesShownAtB(0), c.stored);
        EXPECT_EQ(ordersAtB->sBar->panelText(0), QString());
        // A starts the next round from what is stored now.
        orderAtA->open();
        storeCasesAtA(1);
        ASSERT_TRUE(hearUntil([&] { return casesShownAtB(0) == QStringLiteral("1"); }));
    }
}

// What the server link says of the server shows in the main window and in
// every table window, and goes again when all is well.
TEST_F(TwoDesks, ServerStateShowsInEveryWindowsStatusBar)
{
    const kit::WindowRegistry& r = windows->registry();
    const QList<kit::StatusPanels*> bars = {r.mainWindow->sBar, r.shoesWindow->sBar, r.ordersWindow->sBar,
                                            r.statisticsWindow->sBar};
    const QString lost = QStringLiteral("与数据库服务器的连接已断开，正在重新连接……");
    emit serverStoreOf(*deskB)->statusChanged(lost);
    for (kit::StatusPanels* bar : bars)
        EXPECT_EQ(bar->panelText(0), lost) << bar->window()->objectName().toStdString();
    emit serverStoreOf(*deskB)->statusChanged(QString());
    for (kit::StatusPanels* bar : bars)
        EXPECT_EQ(bar->panelText(0), QString()) << bar->window()->objectName().toStdString();
}

TEST_F(TwoDesks, SoleStatisticsRunAtOneDeskAtATime)
{
    TAForm6TJ* statistics = windows->registry().statisticsWindow;
    statistics->show();
    QApplication::setActiveWindow(statistics);
    QApplication::processEvents();
    {
        // B's clerk is asked, and then told that A runs them.
        const std::unique_ptr<data::CommandLock> runningAtA = deskA->lockCommand(QStringLiteral("鞋底统计"));
        dialogs.queueAnswer(true);
        QTest::mouseClick(statistics->ToolButton7, Qt::LeftButton);
        const std::vector<platform::ScriptedDialogs::Message> shown = dialogs.messages();
        dialogs.clear();
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0].text, QStringLiteral("你真的要扫描统计吗？"));
        EXPECT_EQ(shown[1].kind, platform::MessageKind::Information);
        EXPECT_EQ(shown[1].caption, QStringLiteral("提示信息"));
        EXPECT_EQ(shown[1].text, QStringLiteral("另一台电脑（前台）正在进行鞋底统计，请等它完成后再试。"));
        EXPECT_EQ(statistics->Query1->recordCount(), 0);
        EXPECT_EQ(ordersAtB->Query1->field(QStringLiteral("供应商")).asText(), QString());
    }
    // Once A is done, B is asked the command's own question.
    dialogs.queueAnswer(false);
    QTest::mouseClick(statistics->ToolButton7, Qt::LeftButton);
    const std::vector<platform::ScriptedDialogs::Message> shown = dialogs.messages();
    dialogs.clear();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("你真的要扫描统计吗？"));
    // While B runs them, A is refused.
    const std::unique_ptr<data::CommandLock> runningAtB = deskB->lockCommand(QStringLiteral("鞋底统计"));
    try {
        deskA->lockCommand(QStringLiteral("鞋底统计"));
        ADD_FAILURE() << "A took the lock B holds";
    } catch (const data::EngineError& error) {
        EXPECT_EQ(error.kind(), data::ErrorKind::ServerBusy);
        EXPECT_EQ(error.subject(), QStringLiteral("仓库"));
    }
}

// While B's clerk reads the statistics' question, B holds no lock: A starts
// them meanwhile, and B, answered, is told that A runs them; answered no, B
// says nothing more. Either way B holds nothing afterwards.
TEST_F(TwoDesks, TheStatisticsQuestionHoldsNoOtherDeskBack)
{
    TAForm6TJ* statistics = windows->registry().statisticsWindow;
    statistics->show();
    QApplication::setActiveWindow(statistics);
    QApplication::processEvents();
    const struct {
        const char* name;
        bool answer;
        QStringList told;  // after the question
    } cases[] = {
        {"answered yes", true, {QStringLiteral("另一台电脑（前台）正在进行鞋底统计，请等它完成后再试。")}},
        {"answered no", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<data::CommandLock> runningAtA;
        dialogs.whileShown([&](const platform::ScriptedDialogs::Message& box) {
            if (box.text != QStringLiteral("你真的要扫描统计吗？"))
                return;
            try {
                runningAtA = deskA->lockCommand(QStringLiteral("鞋底统计"));
            } catch (const data::EngineError& error) {
                ADD_FAILURE() << "A could not start while B's question was open: " << error.what();
            }
        });
        dialogs.queueAnswer(c.answer);
        QTest::mouseClick(statistics->ToolButton7, Qt::LeftButton);
        dialogs.whileShown({});
        QStringList texts = dialogs.messageTexts();
        dialogs.clear();
        ASSERT_FALSE(texts.isEmpty());
        EXPECT_EQ(texts.takeFirst(), QStringLiteral("你真的要扫描统计吗？"));
        EXPECT_EQ(texts, c.told);
        EXPECT_EQ(statistics->Query1->recordCount(), 0);
        EXPECT_NE(runningAtA, nullptr);
        runningAtA.reset();
        EXPECT_NE(deskA->lockCommand(QStringLiteral("鞋底统计")), nullptr);
    }
}

// B undoes its command while A changes the orders: a row A changes while B's
// clerk reads the question about changed rows is asked about in its turn,
// and only the clerk's yes writes over it.
TEST_F(TwoDesks, TheUndoAsksAgainAboutRowsChangedWhileItAsked)
{
    const struct {
        const char* name;
        bool lastAnswer;
        QString casesAfterwards;  // of B001
    } cases[] = {
        {"answered yes", true, QStringLiteral("1")},
        {"answered no", false, QStringLiteral("5")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storeCasesAtA(1);
        RecordingSink sink;
        data::Query walked(*deskB);
        walked.setSql(QStringLiteral("select * from dd.db"));
        walked.open();
        orders::multiplyByCases(walked, sink);
        orderAtA->close();  // A reads what B's command stored
        orderAtA->open();
        storeCasesAtA(5);
        dialogs.whileShown([&](const platform::ScriptedDialogs::Message& box) {
            if (box.text != kit::changedSinceQuestion(1))
                return;
            orderAtA->last();
            orderAtA->edit();
            orderAtA->field(QStringLiteral("备注")).setText(QStringLiteral("前台改过"));
            orderAtA->post();
        });
        dialogs.queueAnswer(true);
        dialogs.queueAnswer(true);
        dialogs.queueAnswer(c.lastAnswer);
        EXPECT_EQ(kit::undoLastCommand(ordersAtB, deskB->undoJournal(), data::ordersWindowName(), sink), c.lastAnswer);
        dialogs.whileShown({});
        QStringList texts = dialogs.messageTexts();
        dialogs.clear();
        ASSERT_EQ(texts.size(), 3);
        EXPECT_EQ(texts[1], kit::changedSinceQuestion(1));
        EXPECT_EQ(texts[2], kit::changedSinceQuestion(2));
        EXPECT_EQ(storedCases(), c.casesAfterwards);
        EXPECT_EQ(deskB->undoJournal().entries().size(), c.lastAnswer ? 0u : 1u);
        orderAtA->close();
        orderAtA->open();
    }
}

// Desks whose sessions give up waiting for a lock after a short while.
class TwoDesksWaitingBriefly : public TwoDesks {
protected:
    void SetUp() override
    {
        data::pg::SessionLimits limits;
        limits.lockTimeoutMs = 300;
        data::pg::setSessionLimits(limits);
        TwoDesks::SetUp();
    }
    void TearDown() override
    {
        TwoDesks::TearDown();
        data::pg::setSessionLimits(programsLimits);
    }

    const data::pg::SessionLimits programsLimits = data::pg::sessionLimits();
};

// A third desk holds B001 in a transaction it does not end. B's command on
// that record gives up after the lock timeout and says who holds it and
// that nothing was saved; B's next command, on the other record, stores;
// once the desk lets go, B's command on B001 stores too.
TEST_F(TwoDesksWaitingBriefly, ARecordAnotherDeskHoldsIsWaitedForOnlySoLong)
{
    const struct {
        const char* name;
        std::function<void(data::Query&)> command;  // on the current record
        QString afterwards;                        // B001's cases stored once it went through ("" when gone)
    } cases[] = {
        {"a change",
         [](data::Query& q) {
             if (!q.isEditing()) {
                 q.edit();
                 q.field(Cases).setInteger(3);
             }
             q.post();
         },
         QStringLiteral("3")},
        {"a deletion", [](data::Query& q) { q.remove(); }, QStringLiteral("")},
    };
    const QString uri = serverStoreOf(*deskB)->uri();
    data::Query& atB = *ordersAtB->Query1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto office = data::pg::Session::connect(uri, QStringLiteral("办公室"));
        // ends a wait that no lock timeout ends, a minute on
        office->exec(QStringLiteral("SET idle_in_transaction_session_timeout = '60s'"));
        office->exec(QStringLiteral("BEGIN; UPDATE dd SET \"件数\" = 8 WHERE \"批号\" = 'B001'"));

        atB.first();
        ASSERT_EQ(atB.field(Batch).asText(), QStringLiteral("B001"));
        const QString before = storedCases();
        try {
            c.command(atB);
            ADD_FAILURE() << "stored over a record another desk holds";
        } catch (const data::EngineError& error) {
            const QStringList told = kit::faultReport(error).text.split(QLatin1Char('\n'));
            ASSERT_EQ(told.size(), 3);
            EXPECT_EQ(told[0], QStringLiteral("另一台电脑（办公室）正在修改这些记录，等了0.3秒仍未完成。"));
            EXPECT_EQ(told[1], QStringLiteral("这次的修改没有保存，之前保存的数据不受影响。"));
        }
        EXPECT_EQ(storedCases(), before);

        // the next command, on a record nobody holds, stores
        atB.cancel();
        atB.last();
        ASSERT_EQ(atB.field(Batch).asText(), QStringLiteral("B002"));
        atB.edit();
        atB.field(Cases).setInteger(atB.field(Cases).asInteger() + 1);
        atB.post();

        office->exec(QStringLiteral("ROLLBACK"));
        atB.first();
        c.command(atB);
        EXPECT_EQ(storedCases(), c.afterwards);
    }
    data::Query reader(*deskA);
    reader.setSql(QStringLiteral("select * from dd.db where 批号 = 'B002'"));
    reader.open();
    EXPECT_EQ(reader.field(Cases).asText(), QStringLiteral("3"));
}

}  // namespace
