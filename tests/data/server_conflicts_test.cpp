// Two desks on one server: what a desk is asked when its write meets a record
// the other desk changed or deleted, and what its result shows after the
// answer, for writes sent at once and writes a bulk loop sends together.
#include "two_desks_fixture.h"

#include "window_kit/conflict_question.h"

#include <optional>

namespace {

using data::ConflictChoice;
using data::Query;

class ServerConflicts : public TwoDesksOnAServer {
protected:
    // Every row of the result read, as a grid showing it would.
    static void readAll(Query& q) {
        for (q.first(); !q.eof(); q.next())
            q.value(0);
    }

    static void moveToRecord(Query& q, const QString& field, const QString& text) {
        for (q.first(); !q.eof(); q.next())
            if (q.field(field).asText() == text)
                return;
        ADD_FAILURE() << "no record with " << field.toStdString() << " " << text.toStdString();
    }

};

// A deletion loop meets a record desk B changed after desk A read it: the
// clerk is shown A's record as read against B's, and the question names
// B's change.
TEST_F(ServerConflicts, ABulkDeletionShowsWhatTheOtherDeskChanged) {
    struct Case {
        const char* name;
        QString table;
        std::vector<TableFolder::Row> records;
        QString keyField;  // tells the record B changes
        QString key;
        QString field;     // what B changes
        QVariant before;
        QVariant after;
        QString line;      // the question's line for it
    };
    const QString batch = QStringLiteral("批号"), pieces = QStringLiteral("件数"), note = QStringLiteral("备注");
    const QString sole = QStringLiteral("鞋底型号"), supplier = QStringLiteral("供应商"), pairs = QStringLiteral("双数");
    const QString model = QStringLiteral("鞋的型号"), colour = QStringLiteral("颜色");
    const Case cases[] = {
        {"an order's pieces", QStringLiteral("dd.db"),
         {{{batch, QStringLiteral("B01")}, {pieces, qint64(1)}},
          {{batch, QStringLiteral("B02")}, {pieces, qint64(2)}},
          {{batch, QStringLiteral("B03")}, {pieces, qint64(3)}}},
         batch, QStringLiteral("B02"), pieces, qint64(2), qint64(5), QStringLiteral("件数：2 → 5")},
        {"a note written on an order", QStringLiteral("dd.db"),
         {{{batch, QStringLiteral("B01")}}, {{batch, QStringLiteral("B02")}}},
         batch, QStringLiteral("B01"), note, QVariant(), QStringLiteral("加急"), QStringLiteral("备注：（空） → 加急")},
        {"a statistics record's pairs", QStringLiteral("xdtj.db"),
         {{{sole, QStringLiteral("X1")}, {supplier, QStringLiteral("S")}, {pairs, qint64(3)}},
          {{sole, QStringLiteral("X2")}, {supplier, QStringLiteral("S")}, {pairs, qint64(4)}}},
         sole, QStringLiteral("X2"), pairs, qint64(4), qint64(8), QStringLiteral("双数：4 → 8")},
        {"a sole catalogue record's supplier", QStringLiteral("shoes.db"),
         {{{model, QStringLiteral("M1")}, {colour, QStringLiteral("黑")}, {supplier, QStringLiteral("甲")}},
          {{model, QStringLiteral("M2")}, {colour, QStringLiteral("白")}, {supplier, QStringLiteral("甲")}}},
         model, QStringLiteral("M1"), supplier, QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("供应商：甲 → 乙")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString all = QStringLiteral("select * from ") + c.table;
        deskA.storeRows(c.table, c.records);
        auto loop = open(*deskA.engine, all);
        readAll(*loop);
        auto atB = open(*deskB, all);
        moveToRecord(*atB, c.keyField, c.key);
        atB->edit();
        atB->field(c.field).setValue(c.after);
        atB->post();

        std::vector<data::Conflict> asked;
        deskA.engine->setConflictResolver([&](const data::Conflict& conflict) {
            asked.push_back(conflict);
            return ConflictChoice::KeepMine;
        });
        {
            data::BusyScope busy(*loop);  // as the delete commands loop
            for (loop->first(); !loop->isEmpty();)
                loop->remove();
        }
        ASSERT_EQ(asked.size(), 1u);
        const data::Conflict& conflict = asked[0];
        EXPECT_TRUE(conflict.deleting);
        EXPECT_EQ(conflict.theirDesk, QStringLiteral("B 台"));
        const std::size_t key = std::size_t(conflict.fields.indexOf(c.keyField));
        const std::size_t field = std::size_t(conflict.fields.indexOf(c.field));
        ASSERT_EQ(conflict.mine.size(), std::size_t(conflict.fields.size()) + 1);
        ASSERT_EQ(conflict.theirs.size(), conflict.mine.size());
        EXPECT_EQ(conflict.mine[key].toString(), c.key);
        EXPECT_EQ(conflict.mine[field].toString(), c.before.toString());
        EXPECT_EQ(conflict.theirs[field].toString(), c.after.toString());
        EXPECT_LT(conflict.mine.back().toLongLong(), conflict.theirs.back().toLongLong());  // the version A read

        const QString question = kit::conflictQuestion(conflict);
        EXPECT_TRUE(question.contains(QStringLiteral("已被另一台电脑（B 台）修改过"))) << question.toStdString();
        EXPECT_TRUE(question.contains(c.line)) << question.toStdString();
        EXPECT_FALSE(question.contains(QStringLiteral("相同"))) << question.toStdString();
        EXPECT_EQ(open(*deskB, all)->recordCount(), 0);  // deleted, as the clerk said
    }
}

// Desk B deleted a record desk A is editing; A keeps its values. The record
// is stored again, and A's results show it where it stood, with A's values,
// at once: whether the write went alone or with a bulk loop's writes.
TEST_F(ServerConflicts, KeepingARecordDeletedElsewhereShowsItWhereItStood) {
    struct Case {
        const char* name;
        bool inLoop;
    };
    const Case cases[] = {{"a single post", false}, {"a post inside a bulk loop", true}};
    const QString batch = QStringLiteral("批号"), pieces = QStringLiteral("件数"), note = QStringLiteral("备注");
    const QString all = QStringLiteral("select * from dd.db");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto writer = open(*deskA.engine, all);
        while (!writer->isEmpty())
            writer->remove();
        for (int i = 1; i <= 3; ++i)
            TableFolder::addOrder(*writer, QStringLiteral("K%1").arg(i), {{pieces, qint64(i)}});
        auto atA = open(*deskA.engine, all);
        readAll(*atA);
        const std::vector<qint64> before = atA->rowIds();
        ASSERT_EQ(before.size(), 3u);
        auto alsoAtA = open(*deskA.engine, all);  // another window on the table
        readAll(*alsoAtA);
        auto atB = open(*deskB, all);
        moveToRecord(*atB, batch, QStringLiteral("K2"));
        atB->remove();

        std::vector<data::Conflict> asked;
        deskA.engine->setConflictResolver([&](const data::Conflict& conflict) {
            asked.push_back(conflict);
            return ConflictChoice::KeepMine;
        });
        {
            std::optional<data::BusyScope> busy;
            if (c.inLoop)
                busy.emplace(*atA);
            atA->moveTo(2);
            atA->edit();
            atA->field(pieces).setInteger(7);
            atA->field(note).setText(QStringLiteral("保留"));
            atA->post();
        }
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_TRUE(asked[0].gone());

        const std::vector<qint64> after = atA->rowIds();
        ASSERT_EQ(after.size(), 3u);
        EXPECT_EQ(after[0], before[0]);
        EXPECT_NE(after[1], before[1]);  // stored again under a new id
        EXPECT_EQ(after[2], before[2]);
        EXPECT_EQ(atA->valueAt(1, atA->fieldIndex(batch)).toString(), QStringLiteral("K2"));
        EXPECT_EQ(atA->valueAt(1, atA->fieldIndex(pieces)).toLongLong(), 7);
        EXPECT_EQ(atA->valueAt(1, atA->fieldIndex(note)).toString(), QStringLiteral("保留"));
        EXPECT_EQ(atA->recNo(), 2);
        EXPECT_EQ(alsoAtA->rowIds(), after);
        EXPECT_EQ(alsoAtA->valueAt(1, alsoAtA->fieldIndex(pieces)).toLongLong(), 7);

        auto fresh = open(*deskB, QStringLiteral("select * from dd.db where 批号='K2'"));
        ASSERT_EQ(fresh->recordCount(), 1);
        EXPECT_EQ(fresh->rowIds().front(), after[1]);
        EXPECT_EQ(fresh->field(pieces).asInteger(), 7);
        EXPECT_EQ(open(*deskB, all)->recordCount(), 3);
    }
}

}  // namespace
