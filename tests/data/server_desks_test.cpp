// Two desks on one server: versions, conflicts, news of other desks'
// writes, a command only one desk may run, and a lost connection.
#include "two_desks_fixture.h"

#include "data/server/pg_connection.h"
#include "data/server_store_of.h"
#include "data/test_role.h"

#include <QCoreApplication>

namespace {

using data::ConflictChoice;
using data::Query;

class ServerDesks : public TwoDesksOnAServer {
protected:
    void setCount(Query& q, const QString& batch, int pieces) {
        for (q.first(); !q.eof(); q.next())
            if (q.field(QStringLiteral("批号")).asText() == batch)
                break;
        q.edit();
        q.field(QStringLiteral("件数")).setInteger(pieces);
        q.post();
    }

    std::vector<data::Conflict> asked;
};

TEST_F(ServerDesks, AStalePostAsksWhoseRecordToKeep) {
    struct Case {
        const char* name;
        bool otherDeletes;
        ConflictChoice choice;
        std::vector<int> storedCounts;  // 件数 of the orders afterwards, by batch
        int rowsAtA;
    };
    const Case cases[] = {
        {"changed, keep mine", false, ConflictChoice::KeepMine, {7, 2}, 2},
        {"changed, take theirs", false, ConflictChoice::TakeTheirs, {5, 2}, 2},
        {"deleted, keep mine", true, ConflictChoice::KeepMine, {2, 7}, 2},
        {"deleted, take theirs", true, ConflictChoice::TakeTheirs, {2}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto writer = open(*deskA.engine, QStringLiteral("select * from dd.db"));
        while (!writer->isEmpty())
            writer->remove();
        TableFolder::addOrder(*writer, QStringLiteral("A1"), {{QStringLiteral("件数"), 1}});
        TableFolder::addOrder(*writer, QStringLiteral("A2"), {{QStringLiteral("件数"), 2}});
        auto atA = open(*deskA.engine, QStringLiteral("select * from dd.db"));
        EXPECT_EQ(atA->field(QStringLiteral("件数")).asInteger(), 1);  // read now
        auto atB = open(*deskB, QStringLiteral("select * from dd.db"));
        if (c.otherDeletes)
            atB->remove();
        else
            setCount(*atB, QStringLiteral("A1"), 5);

        asked.clear();
        deskA.engine->setConflictResolver([&](const data::Conflict& conflict) {
            asked.push_back(conflict);
            return c.choice;
        });
        setCount(*atA, QStringLiteral("A1"), 7);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].table, QStringLiteral("dd.db"));
        EXPECT_EQ(asked[0].gone(), c.otherDeletes);
        EXPECT_FALSE(asked[0].deleting);
        if (!c.otherDeletes) {
            EXPECT_EQ(asked[0].theirDesk, QStringLiteral("B 台"));
            EXPECT_EQ(asked[0].theirs[std::size_t(asked[0].fields.indexOf(QStringLiteral("件数")))].toLongLong(), 5);
        }
        EXPECT_EQ(asked[0].mine[std::size_t(asked[0].fields.indexOf(QStringLiteral("件数")))].toLongLong(), 7);
        EXPECT_EQ(atA->state(), Query::State::Browse);
        EXPECT_EQ(atA->recordCount(), c.rowsAtA);

        auto check = open(*deskB, QStringLiteral("select * from dd.db"));
        QStringList counts = TableFolder::column(*check, QStringLiteral("件数"));
        QStringList expected;
        for (int n : c.storedCounts)
            expected << QString::number(n);
        EXPECT_EQ(counts, expected);
    }
}

TEST_F(ServerDesks, WithoutAResolverAStalePostFailsAndKeepsWhatWasTyped) {
    auto writer = open(*deskA.engine, QStringLiteral("select * from dd.db"));
    TableFolder::addOrder(*writer, QStringLiteral("A1"), {{QStringLiteral("件数"), 1}});
    auto atB = open(*deskB, QStringLiteral("select * from dd.db"));
    EXPECT_EQ(atB->field(QStringLiteral("件数")).asInteger(), 1);  // read now
    setCount(*open(*deskA.engine, QStringLiteral("select * from dd.db")), QStringLiteral("A1"), 3);
    atB->edit();
    atB->field(QStringLiteral("件数")).setInteger(9);
    try {
        atB->post();
        ADD_FAILURE() << "stored over the other desk's record";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.kind(), data::ErrorKind::ChangedElsewhere);
    }
    EXPECT_EQ(atB->state(), Query::State::Edit);
    EXPECT_EQ(atB->field(QStringLiteral("件数")).asInteger(), 9);
}

TEST_F(ServerDesks, ADeleteOfARecordChangedElsewhereAsksFirst) {
    for (const ConflictChoice choice : {ConflictChoice::KeepMine, ConflictChoice::TakeTheirs}) {
        auto writer = open(*deskA.engine, QStringLiteral("select * from dd.db"));
        while (!writer->isEmpty())
            writer->remove();
        TableFolder::addOrder(*writer, QStringLiteral("A1"), {{QStringLiteral("件数"), 1}});
        auto atA = open(*deskA.engine, QStringLiteral("select * from dd.db"));
        EXPECT_EQ(atA->field(QStringLiteral("件数")).asInteger(), 1);
        setCount(*open(*deskB, QStringLiteral("select * from dd.db")), QStringLiteral("A1"), 4);
        asked.clear();
        deskA.engine->setConflictResolver([&](const data::Conflict& conflict) {
            asked.push_back(conflict);
            return choice;
        });
        atA->remove();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_TRUE(asked[0].deleting);
        const int left = choice == ConflictChoice::KeepMine ? 0 : 1;
        EXPECT_EQ(atA->recordCount(), left);
        EXPECT_EQ(open(*deskB, QStringLiteral("select * from dd.db"))->recordCount(), left);
        if (left) {
            EXPECT_EQ(atA->field(QStringLiteral("件数")).asInteger(), 4);
        }
    }
}

// A bulk loop sends its writes without waiting for each; a record another
// desk changed meanwhile in fields the loop does not write keeps the other
// desk's change and takes the loop's, with no question.
TEST_F(ServerDesks, ABulkLoopStoresEveryRecordAndMergesTheOnesChangedElsewhere) {
    auto writer = open(*deskA.engine, QStringLiteral("select * from dd.db"));
    {
        data::BusyScope busy(*writer);
        for (int i = 1; i <= 300; ++i)
            TableFolder::addOrder(*writer, QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')), {{QStringLiteral("件数"), i}});
    }
    auto loop = open(*deskA.engine, QStringLiteral("select * from dd.db where 已统计=false"));
    for (loop->first(); !loop->eof(); loop->next())
        loop->field(QStringLiteral("件数")).asInteger();  // every row read, as a grid would
    setCount(*open(*deskB, QStringLiteral("select * from dd.db")), QStringLiteral("P150"), 1000);
    int asks = 0;
    deskA.engine->setConflictResolver([&](const data::Conflict& conflict) {
        ++asks;
        EXPECT_EQ(conflict.theirs[std::size_t(conflict.fields.indexOf(QStringLiteral("件数")))].toLongLong(), 1000);
        return ConflictChoice::KeepMine;
    });
    {
        data::BusyScope busy(*loop);
        for (loop->first(); !loop->eof(); loop->next()) {
            loop->edit();
            loop->field(QStringLiteral("双数")).setInteger(loop->field(QStringLiteral("件数")).asInteger() * 2);
            loop->field(QStringLiteral("已统计")).setBoolean(true);
            loop->post();
        }
    }
    EXPECT_EQ(asks, 0);
    auto check = open(*deskB, QStringLiteral("select * from dd.db where 已统计=true"));
    EXPECT_EQ(check->recordCount(), 300);
    EXPECT_EQ(open(*deskB, QStringLiteral("select * from dd.db where 件数=1000"))->recordCount(), 1);
    int wrong = 0;
    for (check->first(); !check->eof(); check->next())
        if (check->field(QStringLiteral("双数")).asInteger() != 2 * check->field(QStringLiteral("批号")).asText().mid(1).toInt())
            ++wrong;
    EXPECT_EQ(wrong, 0);
}

// A lookup loop (a query re-opened for every record while it is busy)
// finds the records it added itself and those of other desks.
TEST_F(ServerDesks, LookupsDuringABulkLoopSeeTheLoopsOwnWritesAndOtherDesks) {
    auto statistics = open(*deskA.engine, QStringLiteral("select * from xdtj.db"));
    data::BusyScope busy(*statistics);
    const auto lookup = [&](const QString& sole, const QString& supplier) {
        statistics->setSql(QStringLiteral("select * from xdtj.db where 鞋底型号='%1' and 供应商='%2'").arg(sole, supplier));
        statistics->open();
        return statistics->recordCount();
    };
    EXPECT_EQ(lookup(QStringLiteral("X1"), QStringLiteral("S")), 0);
    statistics->append();
    statistics->field(QStringLiteral("鞋底型号")).setText(QStringLiteral("X1"));
    statistics->field(QStringLiteral("供应商")).setText(QStringLiteral("S"));
    statistics->field(QStringLiteral("双数")).setInteger(3);
    statistics->post();
    EXPECT_EQ(lookup(QStringLiteral("X1"), QStringLiteral("S")), 1);
    EXPECT_EQ(statistics->field(QStringLiteral("双数")).asInteger(), 3);
    statistics->edit();
    statistics->field(QStringLiteral("鞋底型号")).setText(QStringLiteral("X2"));
    statistics->post();
    EXPECT_EQ(lookup(QStringLiteral("X1"), QStringLiteral("S")), 0);
    EXPECT_EQ(lookup(QStringLiteral("X2"), QStringLiteral("S")), 1);

    auto other = open(*deskB, QStringLiteral("select * from xdtj.db"));
    other->append();
    other->field(QStringLiteral("鞋底型号")).setText(QStringLiteral("Y"));
    other->field(QStringLiteral("供应商")).setText(QStringLiteral("S"));
    other->post();
    EXPECT_TRUE(hearServerNews(*serverStoreOf(*deskA.engine), [&] { return lookup(QStringLiteral("Y"), QStringLiteral("S")) == 1; }));
}

TEST_F(ServerDesks, APostAtOneDeskShowsAtTheOtherWithoutDisturbingItsEdit) {
    auto writer = open(*deskA.engine, QStringLiteral("select * from dd.db"));
    TableFolder::addOrder(*writer, QStringLiteral("A1"), {{QStringLiteral("件数"), 1}});
    TableFolder::addOrder(*writer, QStringLiteral("A2"), {{QStringLiteral("件数"), 2}});
    auto atB = open(*deskB, QStringLiteral("select * from dd.db"));
    atB->last();
    EXPECT_EQ(atB->field(QStringLiteral("件数")).asInteger(), 2);
    int refreshed = 0;
    QObject::connect(atB.get(), &Query::rowsRefreshed, [&] { ++refreshed; });

    setCount(*writer, QStringLiteral("A1"), 11);
    EXPECT_TRUE(hearServerNews(*serverStoreOf(*deskB), [&] { return atB->valueAt(0, 4).toLongLong() == 11; }));
    EXPECT_GE(refreshed, 1);
    EXPECT_EQ(atB->recNo(), 2);  // the clerk's record stays current

    atB->edit();
    atB->field(QStringLiteral("备注")).setText(QStringLiteral("typing"));
    setCount(*writer, QStringLiteral("A2"), 22);
    EXPECT_TRUE(hearServerNews(*serverStoreOf(*deskB), [&] { return atB->isChangedElsewhere(); }));
    EXPECT_EQ(atB->state(), Query::State::Edit);
    EXPECT_EQ(atB->field(QStringLiteral("备注")).asText(), QStringLiteral("typing"));
}

TEST_F(ServerDesks, ACommandOnlyOneDeskMayRunIsRefusedNamingTheDesk) {
    auto held = deskA.engine->lockCommand(QStringLiteral("鞋底统计"));
    try {
        deskB->lockCommand(QStringLiteral("鞋底统计"));
        ADD_FAILURE() << "both desks ran it";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.kind(), data::ErrorKind::ServerBusy);
        EXPECT_EQ(e.subject(), QStringLiteral("A 台"));
    }
    EXPECT_NO_THROW(deskB->lockCommand(QStringLiteral("其他命令")));
    held.reset();
    EXPECT_NO_THROW(deskB->lockCommand(QStringLiteral("鞋底统计")));
}

TEST_F(ServerDesks, ALostConnectionIsSaidRetriedAndTheResultsReopened) {
    auto writer = open(*deskA.engine, QStringLiteral("select * from dd.db"));
    TableFolder::addOrder(*writer, QStringLiteral("A1"), {{QStringLiteral("件数"), 1}});
    TableFolder::addOrder(*writer, QStringLiteral("A2"), {{QStringLiteral("件数"), 2}});
    auto browsing = open(*deskB, QStringLiteral("select * from dd.db"));
    browsing->last();
    auto editing = open(*deskB, QStringLiteral("select * from dd.db"));
    editing->edit();
    editing->field(QStringLiteral("备注")).setText(QStringLiteral("typed"));
    QStringList said;
    QObject::connect(serverStoreOf(*deskB), &data::ServerStore::statusChanged, [&](const QString& text) { said << text; });

    const int pid = serverStoreOf(*deskB)->connection().session().backendPid();
    serverStoreOf(*deskA.engine)->connection().run(QStringLiteral("SELECT pg_terminate_backend(?)"), {QVariant(pid)});
    try {
        editing->post();
        ADD_FAILURE() << "posted on a lost connection";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.kind(), data::ErrorKind::ServerUnreachable);
    }
    EXPECT_FALSE(serverStoreOf(*deskB)->isConnected());
    ASSERT_FALSE(said.isEmpty());
    EXPECT_TRUE(said.last().contains(QStringLiteral("断开")));
    EXPECT_EQ(editing->state(), Query::State::Edit);  // nothing typed is lost

    setCount(*writer, QStringLiteral("A2"), 20);
    EXPECT_TRUE(serverStoreOf(*deskB)->reconnect());
    EXPECT_TRUE(said.last().contains(QStringLiteral("重新连接")));
    EXPECT_EQ(browsing->recNo(), 2);
    EXPECT_EQ(browsing->field(QStringLiteral("件数")).asInteger(), 20);
    editing->post();
    EXPECT_EQ(open(*deskA.engine, QStringLiteral("select * from dd.db where 备注='typed'"))->recordCount(), 1);
}

}  // namespace

namespace {

// A deletion loop sends its deletions together; a record another desk
// changed meanwhile is asked about, and only deleted when the clerk says so.
TEST_F(ServerDesks, ABulkDeletionAsksAboutARecordChangedElsewhere) {
    for (const ConflictChoice choice : {ConflictChoice::KeepMine, ConflictChoice::TakeTheirs}) {
        auto writer = open(*deskA.engine, QStringLiteral("select * from dd.db"));
        while (!writer->isEmpty())
            writer->remove();
        for (int i = 1; i <= 50; ++i)
            TableFolder::addOrder(*writer, QStringLiteral("P%1").arg(i, 2, 10, QLatin1Char('0')), {{QStringLiteral("件数"), i}});
        auto loop = open(*deskA.engine, QStringLiteral("select * from dd.db"));
        for (loop->first(); !loop->eof(); loop->next())
            loop->field(QStringLiteral("件数")).asInteger();  // every row read, as a grid would
        setCount(*open(*deskB, QStringLiteral("select * from dd.db")), QStringLiteral("P25"), 99);
        std::vector<data::Conflict> seen;
        deskA.engine->setConflictResolver([&](const data::Conflict& conflict) {
            seen.push_back(conflict);
            return choice;
        });
        {
            data::BusyScope busy(*loop);
            for (loop->first(); !loop->isEmpty();)
                loop->remove();
        }
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_TRUE(seen[0].deleting);
        auto left = open(*deskB, QStringLiteral("select * from dd.db"));
        EXPECT_EQ(left->recordCount(), choice == ConflictChoice::KeepMine ? 0 : 1);
    }
}

}  // namespace

namespace {

// A desk whose role may read and write the tables but create nothing (no
// CREATE on the schema) starts on tables and a journal that exist, stores,
// and records its command for undo.
TEST(ServerRoles, ADeskWhoseRoleMayCreateNothingStartsAndStores) {
    TableFolder owner(Store::Server);
    owner.engine->undoJournal();  // made by the owner, as the first desk does
    TestRole clerkRole(owner.location, QStringLiteral("tavrel_clerk"));
    clerkRole.grant({"REVOKE CREATE ON SCHEMA public FROM PUBLIC", "GRANT USAGE ON SCHEMA public TO %1",
                     "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO %1",
                     "GRANT USAGE, SELECT, UPDATE ON ALL SEQUENCES IN SCHEMA public TO %1"});
    data::Engine clerk(clerkRole.uri());
    EXPECT_TRUE(clerk.undoJournal().entries().empty());
    data::Query orders(clerk);
    orders.setSql(QStringLiteral("select * from dd.db"));
    orders.open();
    TableFolder::addOrder(orders, QStringLiteral("R001"), {{QStringLiteral("件数"), 2}});
    EXPECT_EQ(owner.openQuery(QStringLiteral("select * from dd.db where 批号='R001'"))->recordCount(), 1);
}

}  // namespace
