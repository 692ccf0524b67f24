#include "dbui_fixture.h"

#include "dbui/db_memo.h"

#include <QElapsedTimer>
#include <QSet>
#include <stdexcept>

namespace {

const QString Batch = QStringLiteral("批号");
const QString Cases = QStringLiteral("件数");
const QString Remark = QStringLiteral("备注");

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

// Catch-ups the data source may make in the given time: one per interval,
// each painting the grid a few times, and the last one.
qint64 catchUpBound(qint64 elapsedMs, int perCatchUp)
{
    return (elapsedMs / dbui::DataSource::followIntervalMs() + 2) * perCatchUp;
}

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
    // changed and posted.
    int multiplyLoop()
    {
        int eventRounds = 0;
        data::BusyScope busy(*query);
        for (query->first(); !query->eof(); query->next()) {
            QCoreApplication::processEvents();
            ++eventRounds;
            query->edit();
            query->field(Cases).setInteger(7);
            query->field(Remark).setText(QStringLiteral("第%1行").arg(query->recNo()));
            query->post();
        }
        return eventRounds;
    }
};

TEST_F(BulkLoopFollowTest, GridRepaintsBoundedDuringALoopAndEndsOnItsRecordWithItsData)
{
    fill(10000);
    query->first();
    auto grid = shownGrid();
    dbui::DbMemo memo;
    memo.setDataSource(source.get());
    memo.setFieldName(Remark);
    int memoShows = 0;
    QObject::connect(&memo, &QPlainTextEdit::textChanged, [&] { ++memoShows; });
    PaintCounter counter;
    grid->viewport()->installEventFilter(&counter);

    QElapsedTimer clock;
    clock.start();
    const int eventRounds = multiplyLoop();
    const qint64 elapsed = clock.elapsed();
    QCoreApplication::processEvents();

    EXPECT_EQ(eventRounds, 10000);  // events still ran on every row
    EXPECT_LE(counter.paints, catchUpBound(elapsed, 3)) << "ms " << elapsed;
    EXPECT_LE(memoShows, catchUpBound(elapsed, 2));
    EXPECT_FALSE(source->isFollowingLoop());
    ASSERT_EQ(query->recNo(), 10000);
    EXPECT_EQ(currentRow(*grid), 9999);
    EXPECT_EQ(grid->model()->index(9999, 1).data().toString(), QStringLiteral("7"));
    EXPECT_EQ(grid->model()->index(9999, 2).data().toString(), QStringLiteral("第10000行"));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("第10000行"));
}

// The grid still follows while the loop runs, only not every row.
TEST_F(BulkLoopFollowTest, GridCatchesUpWithTheLoopAFewTimesASecond)
{
    fill(300);
    query->first();
    auto grid = shownGrid();
    QSet<int> rowsShown;
    QElapsedTimer clock;
    clock.start();
    {
        data::BusyScope busy(*query);
        for (query->first(); !query->eof(); query->next()) {
            QTest::qSleep(2);
            QCoreApplication::processEvents();
            rowsShown.insert(currentRow(*grid));
        }
    }
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(rowsShown.size(), 2) << "the grid never caught up during " << elapsed << " ms";
    EXPECT_LE(rowsShown.size(), catchUpBound(elapsed, 1)) << "ms " << elapsed;
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
TEST_F(BulkLoopFollowTest, LookupGridShowsTheLatestLookupAFewTimesASecond)
{
    fill(2000);
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

    QElapsedTimer clock;
    clock.start();
    QString last;
    {
        data::BusyScope busyOrders(*query);
        data::BusyScope busyLookup(lookup);
        for (query->first(); !query->eof(); query->next()) {
            QCoreApplication::processEvents();
            last = query->field(Batch).asText();
            lookup.setSql(QStringLiteral("select * from dd.db WHERE 批号='%1' ").arg(last));
            lookup.open();
        }
    }
    const qint64 elapsed = clock.elapsed();
    EXPECT_LE(resets, catchUpBound(elapsed, 1)) << "ms " << elapsed;
    ASSERT_EQ(grid.model()->rowCount(), 1);
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), last);
}

}  // namespace
