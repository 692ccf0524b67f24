#include "orders/orders_fixture.h"

#include "orders/bulk_orders.h"
#include "orders/size_runs.h"
#include "platform/folder_lock.h"
#include "undo_commands.h"

namespace {

class UndoCommands : public TablesTest<OrderTables> {
protected:
    void SetUp() override {
        addSizedOrder("A1", 2, {{"40", 3}});
        addSizedOrder("A2", 3, {{"41", 1}});
        before = column(*orders, QStringLiteral("40")) + column(*orders, QStringLiteral("已统计"));
        orders::multiplyByCases(*orders, sink);
        orders::markCounted(*orders, sink);
        // The program has ended: its engine and journal are gone.
        orders.reset();
        engine.reset();
    }

    int run(const QStringList& args, bool answer = true) {
        out.clear();
        err.clear();
        QTextStream o(&out), e(&err);
        questions = 0;
        auto confirm = [&](const QString&) {
            ++questions;
            return answer;
        };
        return args[0] == "undo-list" ? listUndoRecords(dir.path(), o, e)
                                      : undoLastCommands(dir.path(), args.value(1, "1").toInt(), o, e, confirm);
    }

    QStringList storedNow() {
        engine = std::make_unique<data::Engine>(dir.path());
        auto q = openQuery(QStringLiteral("select * from dd.db"));
        return column(*q, QStringLiteral("40")) + column(*q, QStringLiteral("已统计"));
    }

    RecordingSink sink;
    QStringList before;
    QString out, err;
    int questions = 0;
};

TEST_F(UndoCommands, ListAndUndoFromTheTableTool) {
    {
        const platform::FolderLock program(dir.path());
        ASSERT_TRUE(program.isHeld());
        EXPECT_EQ(run({"undo"}), 1);
        EXPECT_TRUE(err.startsWith(QStringLiteral("程序正在使用文件夹"))) << err.toStdString();
        EXPECT_EQ(run({"undo-list"}), 1);
    }
    EXPECT_EQ(run({"undo-list"}), 0);
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("1  ")) && lines[0].contains(QStringLiteral("“标为统计”  2条记录  dd.db")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("“件数相乘”")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("共2条可撤销的命令"))) << lines[2].toStdString();

    EXPECT_EQ(run({"undo", "2"}), 0);
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(storedNow(), before);
    EXPECT_EQ(run({"undo"}), 1);
    EXPECT_EQ(err.trimmed(), QStringLiteral("没有可撤销的命令。"));
}

TEST_F(UndoCommands, RowsChangedSinceAreOverwrittenOnlyWhenConfirmed) {
    engine = std::make_unique<data::Engine>(dir.path());
    {
        auto q = openQuery(QStringLiteral("select * from dd.db"));
        q->edit();
        q->field(QStringLiteral("备注")).setText(QStringLiteral("手改"));
        q->post();
    }
    engine.reset();
    EXPECT_EQ(run({"undo"}, false), 1);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(run({"undo", "2"}, true), 0);
    EXPECT_EQ(storedNow(), before);
}

}  // namespace
