// Rows another desk changed are shown again where they stand: the current
// record stays, and what is being typed stays.
#include "dbui_fixture.h"

#include "dbui/db_check_box.h"
#include "dbui/db_memo.h"

#include <QSignalSpy>

namespace {

const QString Counted = QStringLiteral("已统计");

class RowsRefreshedTest : public DbuiFixture {
protected:
    // Another desk: an engine of its own over the same tables, writing the
    // order of that batch.
    void changeElsewhere(const QString& batch, const QString& field, const QVariant& value)
    {
        data::Engine other(dir.path());
        data::Query q(other);
        q.setSql(QStringLiteral("select * from dd.db where 批号 = '%1'").arg(batch));
        q.open();
        ASSERT_EQ(q.recordCount(), 1);
        q.edit();
        q.field(field).setValue(value);
        q.post();
    }

    // The news of the other desk, as the server brings it.
    void hearNews() { query->takeNewsOf(query->rowIds(), false); }

    QString cell(const dbui::DbGrid& grid, int row, int column) const
    {
        return grid.model()->index(row, column).data().toString();
    }
};

TEST_F(RowsRefreshedTest, PassedOnAtOnceAndHeldBackWhileALoopRuns)
{
    addOrders({QStringLiteral("A1")});
    QSignalSpy refreshed(source.get(), &dbui::DataSource::rowsRefreshed);
    QSignalSpy reset(source.get(), &dbui::DataSource::resultReset);
    hearNews();
    EXPECT_EQ(refreshed.count(), 1);

    {
        const data::BusyScope busy(*query);
        hearNews();
        EXPECT_EQ(refreshed.count(), 1);
    }
    // The loop's end brings the widgets up to date with everything.
    EXPECT_EQ(refreshed.count(), 1);
    EXPECT_GE(reset.count(), 1);
}

TEST_F(RowsRefreshedTest, GridShowsTheNewValuesAndStaysOnTheCurrentRecord)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")});
    auto grid = makeGrid({Batch, Cases});
    query->moveTo(2);
    grid->setCurrentIndex(grid->model()->index(1, 1));
    ASSERT_EQ(cell(*grid, 0, 1), QString());
    QSignalSpy moved(query.get(), &data::Query::currentChanged);
    QSignalSpy modelReset(grid->model(), &QAbstractItemModel::modelReset);

    changeElsewhere(QStringLiteral("A1"), Cases, 4);
    changeElsewhere(QStringLiteral("A2"), Cases, 5);
    hearNews();

    EXPECT_EQ(cell(*grid, 0, 1), QStringLiteral("4"));
    EXPECT_EQ(cell(*grid, 1, 1), QStringLiteral("5"));
    EXPECT_EQ(query->recNo(), 2);
    EXPECT_EQ(currentRow(*grid), 1);
    EXPECT_EQ(currentColumn(*grid), 1);
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(modelReset.count(), 0);
}

TEST_F(RowsRefreshedTest, TextBeingTypedIntoACellStays)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")});
    auto grid = makeGrid({Batch, Cases, Remark});
    query->moveTo(2);
    grid->setCurrentIndex(grid->model()->index(1, 2));
    QLineEdit* editor = typeIntoCell(*grid, QStringLiteral("rush"));
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(query->state(), data::Query::State::Edit);

    changeElsewhere(QStringLiteral("A2"), Cases, 8);
    changeElsewhere(QStringLiteral("A3"), Cases, 9);
    hearNews();

    ASSERT_EQ(grid->cellEditor(), editor);
    EXPECT_EQ(editor->text(), QStringLiteral("rush"));
    EXPECT_EQ(query->state(), data::Query::State::Edit);
    EXPECT_EQ(query->recNo(), 2);
    EXPECT_EQ(cell(*grid, 2, 1), QStringLiteral("9"));
    EXPECT_TRUE(query->isChangedElsewhere());
    ASSERT_TRUE(grid->commitEditor());
    EXPECT_EQ(query->field(Remark).asText(), QStringLiteral("rush"));
}

TEST_F(RowsRefreshedTest, MemoAndCheckBoxShowTheNewValuesUnlessTheRecordIsBeingEdited)
{
    addOrders({QStringLiteral("A1")});
    dbui::DbMemo memo;
    memo.setDataSource(source.get());
    memo.setFieldName(Remark);
    dbui::DbCheckBox box(Counted);
    box.setDataSource(source.get());
    box.setFieldName(Counted);

    changeElsewhere(QStringLiteral("A1"), Remark, QStringLiteral("对方的备注"));
    changeElsewhere(QStringLiteral("A1"), Counted, true);
    hearNews();
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("对方的备注"));
    EXPECT_TRUE(box.isChecked());

    memo.setPlainText(QStringLiteral("我的备注"));
    ASSERT_EQ(query->state(), data::Query::State::Edit);
    changeElsewhere(QStringLiteral("A1"), Remark, QStringLiteral("又改了"));
    changeElsewhere(QStringLiteral("A1"), Counted, false);
    hearNews();
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("我的备注"));
    EXPECT_TRUE(box.isChecked());
}

}  // namespace
