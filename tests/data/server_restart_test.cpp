// Faults of the server as a whole: a restart in the middle of a desk's loop
// (on a server of this test's own, so that no other test loses its
// sessions), and two desks whose batches deadlock.
#include "table_fixture.h"

#include "fault_loop.h"
#include "private_pg_server.h"

#include "data/engine/open_store.h"
#include "data/server_store_of.h"

#include <future>
#include <thread>

namespace {

using fault_loop::Cases;

// The server is stopped (fast shutdown: sessions ended, what was committed
// kept) and started again between two writes of a loop: the writes held back
// go once it is back, the loop stops there and says so, and the next
// command stores.
TEST(ServerRestart, WritesHeldBackAcrossARestartAreStoredOnceTheServerIsBack) {
    PrivatePgServer server;
    server.start();
    data::createTables(server.uri());
    data::Engine desk(server.uri());
    data::Query orders(desk);
    orders.setSql(QStringLiteral("select * from dd.db"));
    orders.open();
    for (int i = 1; i <= 5; ++i)
        TableFolder::addOrder(orders, QStringLiteral("B%1").arg(i), {{Cases, 0}});

    data::PgConnection& connection = serverStoreOf(desk)->connection();
    const std::optional<data::EngineError> error =
        fault_loop::setCases(orders, connection, 3, [&] { server.restart(); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), data::ErrorKind::ServerUnreachable);
    EXPECT_EQ(error->storedAfterReconnecting(), 3);
    EXPECT_EQ(error->notStored().records, 0);
    const std::vector<qint64> expected{1, 2, 3, 0, 0};
    EXPECT_EQ(fault_loop::storedCases(server.uri()), expected);
    EXPECT_EQ(fault_loop::shownCases(orders), expected);

    orders.last();
    orders.edit();
    orders.field(Cases).setInteger(50);
    orders.post();
    EXPECT_EQ(fault_loop::storedCases(server.uri()).back(), 50);
}

// Desks A and B each hold back writes to the orders R1 and R2, in opposite
// order (a statement per field): A locks R1, B locks R2, then each waits for
// the other. The server ends one batch with a deadlock; that desk sends it
// again once the other has committed, and it finds the records changed by
// the other desk, as any write does: keeping its own values, it stores them.
TEST(TwoDesks, BatchesThatDeadlockAreBothStored) {
    TableFolder deskA(Store::Server);
    qputenv("TAVREL_DESK", "B 台");
    data::Engine deskB(deskA.location);
    qunsetenv("TAVREL_DESK");
    {
        auto orders = deskA.openQuery(QStringLiteral("select * from dd.db"));
        TableFolder::addOrder(*orders, QStringLiteral("R1"), {{Cases, 0}, {QStringLiteral("双数"), 0}});
        TableFolder::addOrder(*orders, QStringLiteral("R2"), {{Cases, 0}, {QStringLiteral("双数"), 0}});
    }
    struct Desk {
        std::shared_ptr<data::OpenTable> table;
        data::PgConnection* connection;
        int asked = 0;
    };
    Desk a{deskA.engine->table(QStringLiteral("dd.db")), &serverStoreOf(*deskA.engine)->connection()};
    Desk b{deskB.table(QStringLiteral("dd.db")), &serverStoreOf(deskB)->connection()};
    deskA.engine->setConflictResolver([&](const data::Conflict&) {
        ++a.asked;
        return data::ConflictChoice::KeepMine;
    });
    deskB.setConflictResolver([&](const data::Conflict&) {
        ++b.asked;
        return data::ConflictChoice::KeepMine;
    });
    const int cases = a.table->fieldIndex(Cases);
    const int pairs = a.table->fieldIndex(QStringLiteral("双数"));
    ASSERT_LT(cases, pairs);  // the batch sends the cases first
    std::vector<qint64> ids;
    for (const data::pg::ResultRow& row :
         a.connection->run(QStringLiteral("SELECT rowid FROM dd ORDER BY \"批号\"")).rows)
        ids.push_back(row[0].toLongLong());
    ASSERT_EQ(ids.size(), 2u);

    // Desk A: R1's cases, R2's pairs; desk B: R2's cases, R1's pairs.
    const auto holdBack = [&](Desk& desk, qint64 first, qint64 second, qint64 value) {
        data::Row one = desk.connection->readCurrent(*desk.table, first, nullptr);
        data::Row two = desk.connection->readCurrent(*desk.table, second, nullptr);
        desk.connection->beginWriteGroup();
        one[std::size_t(cases)] = QVariant(value);
        two[std::size_t(pairs)] = QVariant(value);
        EXPECT_TRUE(desk.connection->updateRow(*desk.table, first, {cases}, one, {}));
        EXPECT_TRUE(desk.connection->updateRow(*desk.table, second, {pairs}, two, {}));
    };
    holdBack(a, ids[0], ids[1], 11);
    holdBack(b, ids[1], ids[0], 22);

    // A has locked R1: B's batch starts and, once it has locked R2, A goes
    // on to R2 while B goes on to R1.
    std::promise<void> bHoldsR2;
    std::thread deskBSends;
    bool bStarted = false;
    std::optional<data::EngineError> errorB;
    b.connection->setAfterBatchStatement([&] {
        b.connection->setAfterBatchStatement({});
        bHoldsR2.set_value();
    });
    a.connection->setAfterBatchStatement([&] {
        a.connection->setAfterBatchStatement({});
        bStarted = true;
        deskBSends = std::thread([&] {
            try {
                b.connection->endWriteGroup();
            } catch (const data::EngineError& e) {
                errorB = e;
            }
        });
        bHoldsR2.get_future().wait();
    });
    std::optional<data::EngineError> errorA;
    try {
        a.connection->endWriteGroup();
    } catch (const data::EngineError& e) {
        errorA = e;
    }
    if (deskBSends.joinable())
        deskBSends.join();
    EXPECT_FALSE(errorA.has_value()) << (errorA ? errorA->message().toStdString() : "");
    EXPECT_FALSE(errorB.has_value()) << (errorB ? errorB->message().toStdString() : "");

    ASSERT_TRUE(bStarted);  // so the two batches did wait for each other

    // The desk that lost the deadlock sent its batch again after the other
    // had committed: its values are stored. What became of the other desk's
    // values in the same records is the business of the conflict, which
    // only that desk can have been asked about.
    const data::pg::Result r =
        a.connection->run(QStringLiteral("SELECT \"件数\", \"双数\" FROM dd ORDER BY \"批号\""));
    const auto holds = [&](qint64 value, int cases0, int pairs1) {
        return r.rows[std::size_t(cases0)][0].toLongLong() == value &&
               r.rows[std::size_t(pairs1)][1].toLongLong() == value;
    };
    EXPECT_TRUE(holds(11, 0, 1) || holds(22, 1, 0));
    EXPECT_TRUE(a.asked == 0 || b.asked == 0);
}

}  // namespace
