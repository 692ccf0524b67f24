#include "dbui_fixture.h"

#include "dbui/db_memo.h"
#include "stepped_timers.h"

#include <QSet>
#include <stdexcept>

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// A loop walks a row every RowMs: the data source's interval passes every
// RowsPerInterval rows.
constexpr int RowMs = 10;
constexpr int RowsPerInterval = 10;

class BulkLoopFollowTest : public DbuiFixture {
protected:
    void fill(int rows)
    {
        data::BusyScope busy(*query);
        for (int i = 0; i < rows; ++i) {
            query->append();
            query->field(Batch).setText(QStringLiteral("B%1").arg(i, 5, 10, QLatin1Char('0')));
            query->field(Cases).setInteger(1);
            query->post();
        }
    }

    std::unique_ptr<dbui::DbGrid> shownGrid()
    {
        auto grid = makeGrid({Batch, Cases, Remark});
        EXPECT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
        QCoreApplication::processEvents();
        return grid;
    }

    // A bulk loop as the windows run it: events once per row, each row
    // changed and posted, RowMs passing per row.
    int multiplyLoop()
    {
        int eventRounds = 0;
        data::BusyScope busy(*query);
        for (query->first(); !query->eof(); query->next()) {
            timers.advance(RowMs);
            QCoreApplication::processEvents();
            ++eventRounds;
            query->edit();
            query->field(Cases).setInteger(7);
            query->field(Remark).setText(QStringLiteral("第%1行").arg(query->recNo()));
            query->post();
        }
        return eventRounds;
    }

    SteppedTimers timers;  // made before the fixture's data source
};

TEST_F(BulkLoopFollowTest, WidgetsCatchUpOncePerIntervalAndEndOnTheLoopsRecordWithItsData)
{
    fill(1000);
    query->first();
    auto grid = shownGrid();
    dbui::DbMemo memo;
    memo.setDataSource(source.get());
    memo.setFieldName(Remark);
    int memoShows = 0;
    QObject::connect(&memo, &QPlainTextEdit::textChanged, [&] { ++memoShows; });
    int resets = 0;
    QObject::connect(source.get(), &dbui::DataSource::resultReset, [&] { ++resets; });
    PaintCounter counter;
    grid->viewport()->installEventFilter(&counter);

    const int eventRounds = multiplyLoop();
    QCoreApplication::processEvents();

    EXPECT_EQ(eventRounds, 1000);  // events still ran on every row
    // Every interval once while the loop ran (the first falls due on row 11), once at its end.
    EXPECT_EQ(timers.fired, 99);
    EXPECT_EQ(resets, 100);
    EXPECT_LE(memoShows, 100);
    EXPECT_LE(counter.paints, 3 * 100);
    EXPECT_FALSE(source->isFollowingLoop());
    ASSERT_EQ(query->recNo(), 1000);
    EXPECT_EQ(currentRow(*grid), 999);
    EXPECT_EQ(grid->model()->index(999, 1).data().toString(), QStringLiteral("7"));
    EXPECT_EQ(grid->model()->index(999, 2).data().toString(), QStringLiteral("第1000行"));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("第1000行"));
}

// The grid still follows while the loop runs: it shows the loop's row each
// time an interval has passed, and no other.
TEST_F(BulkLoopFollowTest, GridShowsTheLoopsRowEachTimeAnIntervalHasPassed)
{
    fill(50);
    query->first();
    auto grid = shownGrid();
    QList<int> rowsShown;
    {
        data::BusyScope busy(*query);
        for (query->first(); !query->eof(); query->next()) {
            QCoreApplication::processEvents();
            timers.advance(RowMs);
            if (rowsShown.isEmpty() || rowsShown.last() != currentRow(*grid))
                rowsShown << currentRow(*grid);
        }
    }
    // The first row moved to starts the interval; the loop's end shows its last row.
    EXPECT_EQ(rowsShown, QList<int>({0, 10, 20, 30, 40}));
    EXPECT_EQ(currentRow(*grid), 49);
}

TEST_F(BulkLoopFollowTest, LoopEndingInAnErrorLeavesTheWidgetsFollowingAgain)
{
    fill(100);
    query->first();
    auto grid = shownGrid();
    EXPECT_THROW(
        {
            data::BusyScope busy(*query);
            query->first();
            for (int i = 0; i < 50; ++i)
                query->next();
            EXPECT_TRUE(source->isFollowingLoop());
            throw std::runtime_error("stopped");
        },
        std::runtime_error);

    EXPECT_FALSE(source->isFollowingLoop());
    EXPECT_EQ(currentRow(*grid), 50);
    query->moveTo(3);
    EXPECT_EQ(currentRow(*grid), 2);  // at once, without waiting for a catch-up
}

// A lookup query whose statement the loop replaces on every record.
TEST_F(BulkLoopFollowTest, LookupGridShowsTheLatestLookupOncePerInterval)
{
    fill(500);
    data::Query lookup(*engine);
    lookup.setSql(QStringLiteral("select * from dd.db"));
    lookup.open();
    dbui::DataSource lookupSource(&lookup);
    dbui::DbGrid grid;
    grid.setDataSource(&lookupSource);
    grid.setColumns({Batch});
    grid.resize(300, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    int resets = 0;
    QObject::connect(grid.model(), &QAbstractItemModel::modelReset, [&] { ++resets; });

    QString last;
    {
        data::BusyScope busyOrders(*query);
        data::BusyScope busyLookup(lookup);
        for (query->first(); !query->eof(); query->next()) {
            timers.advance(RowMs);
            QCoreApplication::processEvents();
            last = query->field(Batch).asText();
            lookup.setSql(QStringLiteral("select * from dd.db WHERE 批号='%1' ").arg(last));
            lookup.open();
        }
    }
    EXPECT_EQ(resets, 500 / RowsPerInterval);  // one an interval, the last when the loop ends
    ASSERT_EQ(grid.model()->rowCount(), 1);
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), last);
}

}  // namespace
