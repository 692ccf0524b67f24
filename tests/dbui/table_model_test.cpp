#include "dbui_fixture.h"

#include "data/core/schema.h"
#include "dbui/query_table_model.h"

#include <QHeaderView>
#include <QSet>

namespace {

// Counts the rows views ask for.
class CountingModel : public dbui::QueryTableModel {
public:
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole)
            rowsRead.insert(index.row());
        return dbui::QueryTableModel::data(index, role);
    }
    mutable QSet<int> rowsRead;
};

class TableModelTest : public DbuiFixture {
protected:
    void fillOrders(int count)
    {
        auto table = engine->table(QStringLiteral("dd.db"));
        table->connection->exec(
            QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < %1) "
                           "INSERT INTO %2 (%3) SELECT 'B' || x FROM n")
                .arg(count)
                .arg(data::quotedIdentifier(table->sqlName), data::quotedIdentifier(QStringLiteral("批号"))));
        table->connection->bumpGeneration();
    }
};

TEST_F(TableModelTest, ALargeResultResetsWithoutReadingRows)
{
    fillOrders(100000);
    auto* model = new CountingModel;
    dbui::DbGrid grid;
    grid.setTableModel(model);
    grid.setDataSource(source.get());
    grid.setColumns({QStringLiteral("批号"), QStringLiteral("件数")});
    query->open();
    EXPECT_EQ(model->rowCount(), 100000);
    EXPECT_TRUE(model->rowsRead.isEmpty());

    grid.resize(400, 300);
    grid.show();
    grid.viewport()->grab();
    EXPECT_FALSE(model->rowsRead.isEmpty());
    EXPECT_LT(model->rowsRead.size(), 40);
    EXPECT_EQ(grid.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);

    query->last();
    model->rowsRead.clear();
    grid.viewport()->grab();
    EXPECT_TRUE(model->rowsRead.contains(99999));
    EXPECT_LT(model->rowsRead.size(), 40);
    EXPECT_EQ(grid.model()->index(99999, 0).data().toString(), QStringLiteral("B100000"));
}

TEST_F(TableModelTest, RowsFollowInsertsRemovesAndChanges)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2")});
    dbui::QueryTableModel model;
    model.setDataSource(source.get());
    model.setColumns({QStringLiteral("批号"), QStringLiteral("已统计")});
    QStringList events;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int) {
        events << QStringLiteral("inserted %1").arg(first);
    });
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, [&](const QModelIndex&, int first, int) {
        events << QStringLiteral("removed %1").arg(first);
    });
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& from, const QModelIndex& to) {
        events << QStringLiteral("changed %1,%2-%3").arg(from.row()).arg(from.column()).arg(to.column());
    });

    query->insert();
    query->field(QStringLiteral("批号")).setText(QStringLiteral("A0"));
    EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("A0"));  // the pending value
    query->cancel();
    query->last();
    query->remove();
    query->edit();
    query->field(QStringLiteral("已统计")).setBoolean(true);
    query->post();
    EXPECT_EQ(events, (QStringList{QStringLiteral("inserted 0"), QStringLiteral("changed 0,0-0"),
                                   QStringLiteral("removed 0"), QStringLiteral("removed 1"),
                                   QStringLiteral("changed 0,1-1"), QStringLiteral("changed 0,0-1")}));
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.index(0, 1).data().toString(), QStringLiteral("True"));
}

}  // namespace
