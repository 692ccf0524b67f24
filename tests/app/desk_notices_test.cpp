// The status bar's notice of the other desks: over the first panel, never
// over the progress of a loop, and gone again with what the panel said back.
#include "data/table_fixture.h"
#include "window_kit/desk_notices.h"
#include "window_kit/progress.h"
#include "window_kit/status_panels.h"
#include "window_kit/undo_button.h"
#include "window_kit/window_status.h"
#include "data/core/undo_journal.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <functional>
#include <variant>
#include <vector>

namespace {

const QString Lost = QStringLiteral("与服务器的连接已断开，正在重新连接…");

TEST(StatusNotice, CoversTheFirstPanelWhichGrowsAndComesBackAsItWasLastWritten)
{
    kit::StatusPanels panels({50, 50});
    panels.resize(700, 25);
    panels.setPanelText(0, QStringLiteral("A"));
    panels.setPanelText(kit::ProgressPanel, QStringLiteral("主表共有记录5条"));

    panels.setNotice(Lost);
    EXPECT_EQ(panels.panelText(0), Lost);
    EXPECT_GE(panels.panel(0)->minimumWidth(), panels.panel(0)->fontMetrics().horizontalAdvance(Lost));
    // A loop's texts go where they always go; the first panel's own text waits.
    panels.setPanelText(kit::ProgressPanel, QStringLiteral("主表共有记录5条:未完成:3@已完成:2"));
    panels.setPanelText(0, QStringLiteral("B"));
    EXPECT_EQ(panels.panelText(0), Lost);
    EXPECT_EQ(panels.panelText(kit::ProgressPanel), QStringLiteral("主表共有记录5条:未完成:3@已完成:2"));

    panels.setNotice(QString());
    EXPECT_EQ(panels.panelText(0), QStringLiteral("B"));
    EXPECT_EQ(panels.panel(0)->minimumWidth(), 50);
    EXPECT_EQ(panels.panel(0)->maximumWidth(), 50);
    EXPECT_EQ(panels.panelText(kit::ProgressPanel), QStringLiteral("主表共有记录5条:未完成:3@已完成:2"));
}

class DeskNoticesTest : public TableFixture {
protected:
    void SetUp() override
    {
        orders = openQuery(QStringLiteral("select * from dd.db"));
        addOrder(*orders, QStringLiteral("B1"));
        addOrder(*orders, QStringLiteral("B2"));
        orders->first();
        notices = new kit::DeskNotices(panels, *engine, {orders.get()});
    }

    QString shown() const { return panels.panelText(0); }
    qint64 idOf(int row) const { return orders->rowIds().at(row); }

    kit::StatusPanels panels{{50, 50}};
    std::unique_ptr<data::Query> orders;
    kit::DeskNotices* notices = nullptr;  // owned by the panels
};

// A loop lets events run through its status sink: the first row at once,
// and the rows after it often enough that whatever waits is handled while the
// loop still runs (here: it is what ends the loop).
TEST(WindowStatusEvents, ALoopHandlesWhatWaitsFromItsFirstRowAndWhileItRuns)
{
    kit::StatusPanels panels({50, 50});
    kit::WindowStatus status(panels);
    bool first = false;
    QTimer::singleShot(0, [&] { first = true; });
    status.letEventsRun();
    EXPECT_TRUE(first);

    bool later = false;
    QTimer::singleShot(0, [&] { later = true; });
    long rows = 0;
    constexpr long SafetyNet = 200'000'000;
    while (!later && rows < SafetyNet) {
        ++rows;
        status.letEventsRun();
    }
    EXPECT_TRUE(later) << rows << " rows went by without the waiting event";
}

// A window's status bar is given the progress as figures or as a text; what
// was given last is what the panel says once the loop's sink ends.
TEST(WindowStatusProgress, ThePanelEndsWithWhatWasGivenLast)
{
    using Write = std::variant<kit::Progress, QString>;
    kit::Progress summed = kit::Progress::of(kit::thisTablePrefix(), 7, 3);
    summed.pairsSummed = 42;
    struct Case {
        const char* name;
        std::vector<Write> writes;
        QString expected;
    };
    const Case cases[] = {
        {"figures", {kit::Progress::of(kit::mainTablePrefix(), 5, 2)}, QStringLiteral("主表共有记录5条:未完成:3@已完成:2")},
        {"figures, then newer figures",
         {kit::Progress::of(kit::mainTablePrefix(), 5, 2), kit::Progress::of(kit::mainTablePrefix(), 5, 5)},
         QStringLiteral("主表共有记录5条:未完成:0@已完成:5")},
        {"figures, then a text", {kit::Progress::of(kit::mainTablePrefix(), 5, 2), QStringLiteral("删除完毕")},
         QStringLiteral("删除完毕")},
        {"a text, then figures", {QStringLiteral("删除完毕"), kit::Progress{kit::thisTablePrefix(), 4, 1, 3, {}}},
         QStringLiteral("此表共有记录4条:未完成:1@已完成:3")},
        {"figures with the pairs summed", {summed}, QStringLiteral("此表共有记录7条:未完成:4@已完成:3@已求和:42")},
    };
    for (const Case& c : cases) {
        kit::StatusPanels panels({50, 50});
        panels.setPanelText(kit::ProgressPanel, QStringLiteral("之前的文字"));
        {
            kit::WindowStatus status(panels);
            for (const Write& w : c.writes) {
                if (const auto* figures = std::get_if<kit::Progress>(&w))
                    status.setProgress(*figures);
                else
                    status.setPanelText(kit::ProgressPanel, std::get<QString>(w));
            }
        }
        EXPECT_EQ(panels.panelText(kit::ProgressPanel), c.expected) << c.name;
    }
}

TEST_F(DeskNoticesTest, ServerStateShowsWhileThereIsOne)
{
    EXPECT_EQ(shown(), QString());
    notices->setServerText(Lost);
    EXPECT_EQ(shown(), Lost);
    notices->setServerText(QString());
    EXPECT_EQ(shown(), QString());
}

// Another desk's change to the record being edited marks it until the edit
// ends, however it ends; a change to another record, or to a record only
// looked at, does not.
TEST_F(DeskNoticesTest, RecordChangedElsewhereIsMarkedWhileItIsEdited)
{
    const QString marked = kit::DeskNotices::changedElsewhereText();
    EXPECT_EQ(marked, QStringLiteral("此记录已被另一台电脑修改，保存时会询问保留哪一份。"));
    const struct {
        const char* name;
        std::function<void(data::Query&)> endEdit;
    } cases[] = {
        {"posted", [](data::Query& q) { q.post(); }},
        {"cancelled", [](data::Query& q) { q.cancel(); }},
        {"moved on", [](data::Query& q) { q.next(); }},
        {"reopened", [](data::Query& q) { q.open(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        orders->first();
        orders->takeNewsOf({idOf(0)}, false);
        EXPECT_EQ(shown(), QString()) << "not being edited";

        orders->edit();
        orders->field(QStringLiteral("件数")).setInteger(3);
        orders->takeNewsOf({idOf(1)}, false);
        EXPECT_EQ(shown(), QString()) << "another record";
        orders->takeNewsOf({idOf(0)}, false);
        EXPECT_EQ(shown(), marked);

        // The server's state comes first, and the mark after it again.
        notices->setServerText(Lost);
        EXPECT_EQ(shown(), Lost);
        notices->setServerText(QString());
        EXPECT_EQ(shown(), marked);

        c.endEdit(*orders);
        EXPECT_EQ(shown(), QString());
    }
}

}  // namespace

// Where desks share the tables, the undo question names the desk that ran
// the command; on table files it asks as it always has.
TEST(UndoQuestion, NamesTheDeskThatRanTheCommandWhereDesksShareTheTables)
{
    data::UndoEntry entry;
    entry.command = QStringLiteral("件数相乘");
    entry.time = QDateTime(QDate(2026, 12, 9), QTime(14, 5));
    entry.rows = 3000;
    const struct {
        const char* desk;
        const char* question;
    } cases[] = {
        {"", "你真的要撤销上次的“件数相乘”吗？（2026-12-09 14:05:00，3000条记录）"},
        {"前台", "你真的要撤销前台上次的“件数相乘”吗？（2026-12-09 14:05:00，3000条记录）"},
    };
    for (const auto& c : cases) {
        entry.desk = QString::fromUtf8(c.desk);
        EXPECT_EQ(kit::undoQuestion(entry), QString::fromUtf8(c.question));
    }
}
