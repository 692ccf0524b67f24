// Faults injected on the test server while a desk's loop runs: its session
// ended between two writes or while a batch is sent, another desk changing a
// record meanwhile, a desk that stops in an open transaction, and a fault of
// the loop's last commit while another error ends the loop. After each,
// every record the loop showed is stored or named, and the next command
// stores.
#include "table_fixture.h"

#include "fault_loop.h"

#include "data/server/pg_connection.h"
#include "data/server/pg_session.h"
#include "data/server_store_of.h"

#include <QUrl>

#include <functional>
#include <optional>

namespace {

using data::ConflictChoice;

using fault_loop::Cases;

// The five orders B1..B5 with no cases, stored by desk A; desk B works on
// the same database.
class ServerFaults : public ::testing::Test {
protected:
    ServerFaults() : deskA(Store::Server) {
        orders = deskA.openQuery(QStringLiteral("select * from dd.db"));
        for (int i = 1; i <= 5; ++i)
            TableFolder::addOrder(*orders, QStringLiteral("B%1").arg(i), {{Cases, 0}});
        deskA.engine->setConflictResolver([this](const data::Conflict&) {
            ++asked;
            return choice;
        });
    }

    data::PgConnection& connectionOf(data::Engine& engine) { return serverStoreOf(engine)->connection(); }

    // Ends the session of desk A from another one, as the server's
    // administrator or a fault of the network would.
    void endSessionOfA() {
        const QVariant pid(connectionOf(*deskA.engine).session().backendPid());
        auto other = data::pg::Session::connect(deskA.location, QStringLiteral("admin"));
        other->run(QStringLiteral("SELECT pg_terminate_backend(?::integer, 60000)"), {pid});
    }

    std::optional<data::EngineError> runLoop(int faultAt, const std::function<void()>& fault) {
        return fault_loop::setCases(*orders, connectionOf(*deskA.engine), faultAt, fault);
    }
    std::vector<qint64> stored() { return fault_loop::storedCases(deskA.location); }
    std::vector<qint64> shown() { return fault_loop::shownCases(*orders); }

    // The next command of desk A stores: B5 gets 50 cases.
    void nextCommandStores() {
        orders->last();
        orders->edit();
        orders->field(Cases).setInteger(50);
        orders->post();
        EXPECT_EQ(stored().back(), 50);
    }

    // Desk B sets the cases of B2.
    void deskBChangesB2(qint64 value) {
        qputenv("TAVREL_DESK", "B 台");
        data::Engine deskB(deskA.location);
        qunsetenv("TAVREL_DESK");
        data::Query q(deskB);
        q.setSql(QStringLiteral("select * from dd.db where 批号 = 'B2'"));
        q.open();
        q.edit();
        q.field(Cases).setInteger(value);
        q.post();
    }

    TableFolder deskA;
    std::unique_ptr<data::Query> orders;
    ConflictChoice choice = ConflictChoice::KeepMine;
    int asked = 0;
};

// Desk A's session is ended with writes held back: between two writes of
// the loop (the next statement finds it gone), or while the batch is sent
// (before its commit). The writes go again on a new session, checked
// against the versions read: a record desk B changed meanwhile is asked
// about. The loop stops at the fault and says what was stored.
TEST_F(ServerFaults, WritesHeldBackWhenTheSessionEndsAreStoredAfterReconnecting) {
    enum class When { BetweenWrites, WhileABatchIsSent };
    const struct {
        const char* name;
        When when;
        std::optional<ConflictChoice> deskBChangedB2;
        std::vector<qint64> after;
    } faults[] = {
        {"between writes", When::BetweenWrites, std::nullopt, {1, 2, 3, 0, 0}},
        {"while a batch is sent", When::WhileABatchIsSent, std::nullopt, {1, 2, 3, 0, 0}},
        {"B2 changed by desk B, mine kept", When::BetweenWrites, ConflictChoice::KeepMine, {1, 2, 3, 0, 0}},
        {"B2 changed by desk B, theirs taken", When::BetweenWrites, ConflictChoice::TakeTheirs, {1, 99, 3, 0, 0}},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        connectionOf(*deskA.engine).run(QStringLiteral("UPDATE dd SET \"件数\" = 0"));
        orders->open();
        asked = 0;
        choice = f.deskBChangedB2.value_or(ConflictChoice::KeepMine);
        const auto fault = [&] {
            if (f.deskBChangedB2)
                deskBChangesB2(99);
            if (f.when == When::BetweenWrites) {
                endSessionOfA();
                return;
            }
            connectionOf(*deskA.engine).setBeforeBatchCommit([&] {
                connectionOf(*deskA.engine).setBeforeBatchCommit({});
                endSessionOfA();
            });
        };
        const std::optional<data::EngineError> error = runLoop(3, fault);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->kind(), data::ErrorKind::ServerUnreachable) << error->message().toStdString();
        EXPECT_EQ(error->storedAfterReconnecting(), 3);
        EXPECT_EQ(error->notStored().records, 0);
        EXPECT_EQ(asked, f.deskBChangedB2 ? 1 : 0);
        EXPECT_EQ(stored(), f.after);
        EXPECT_EQ(shown(), f.after);
        nextCommandStores();
    }
}

// Written again while it was being stored: what cannot be stored after
// reconnecting ends the loop naming it.
TEST_F(ServerFaults, WritesThatCannotBeStoredAfterReconnectingAreNamed) {
    // B2 with two cases is refused once the fault has come.
    connectionOf(*deskA.engine).run(QStringLiteral("CREATE TABLE refusing (since_fault boolean)"));
    connectionOf(*deskA.engine).run(QStringLiteral(
        "CREATE FUNCTION refuse_two() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "IF NEW.\"件数\" = 2 AND EXISTS (SELECT 1 FROM refusing) THEN RAISE EXCEPTION 'two cases are refused'; "
        "END IF; RETURN NEW; END $$"));
    connectionOf(*deskA.engine).run(QStringLiteral(
        "CREATE TRIGGER refuse_two BEFORE UPDATE ON dd FOR EACH ROW EXECUTE FUNCTION refuse_two()"));
    const auto fault = [&] {
        connectionOf(*deskA.engine).setBeforeBatchCommit([&] {
            connectionOf(*deskA.engine).setBeforeBatchCommit({});
            auto admin = data::pg::Session::connect(deskA.location, QStringLiteral("admin"));
            admin->run(QStringLiteral("INSERT INTO refusing VALUES (true)"));
            endSessionOfA();
        });
    };
    const std::optional<data::EngineError> error = runLoop(3, fault);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->storedAfterReconnecting(), 1);
    EXPECT_EQ(error->notStored().records, 2);
    EXPECT_EQ(error->notStored().names, (QStringList{"B2", "B3"}));
    EXPECT_EQ(stored(), (std::vector<qint64>{1, 0, 0, 0, 0}));
    EXPECT_EQ(shown(), (std::vector<qint64>{1, 0, 0, 0, 0}));
    nextCommandStores();
}

// The loop ends with an error of its own while its last batch is refused:
// that second fault is kept for the error display, naming what it did not
// store, instead of being dropped.
TEST_F(ServerFaults, ALastCommitThatFailsWhileAnotherErrorEndsTheLoopIsKept) {
    connectionOf(*deskA.engine).run(QStringLiteral(
        "CREATE FUNCTION refuse_four() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "IF NEW.\"件数\" = 4 THEN RAISE EXCEPTION 'four cases are refused'; END IF; RETURN NEW; END $$"));
    connectionOf(*deskA.engine).run(QStringLiteral(
        "CREATE TRIGGER refuse_four BEFORE UPDATE ON dd FOR EACH ROW EXECUTE FUNCTION refuse_four()"));
    data::takeFaultsWhileUnwinding();
    const std::optional<data::EngineError> error =
        runLoop(5, [] { throw data::EngineError(QStringLiteral("the loop broke")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(), QStringLiteral("the loop broke"));
    const std::vector<data::EngineError> kept = data::takeFaultsWhileUnwinding();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept.front().notStored().records, 2);
    EXPECT_EQ(kept.front().notStored().names, (QStringList{"B4", "B5"}));
    EXPECT_EQ(stored(), (std::vector<qint64>{1, 2, 3, 0, 0}));
    connectionOf(*deskA.engine).run(QStringLiteral("DROP TRIGGER refuse_four ON dd"));
    nextCommandStores();
}

// Desk B stops in an open transaction holding B2. Desk A's loop either
// runs out of its lock wait first (told which desk holds the record, its
// batch named), or desk B's session is ended for idling first and A's
// batch then stores. The limits are short for these sessions only, set in
// their URIs.
TEST_F(ServerFaults, ADeskStoppedInAnOpenTransaction) {
    const struct {
        const char* name;
        const char* optionsA;
        const char* optionsB;
        bool aStores;
    } cases[] = {
        {"A's lock wait runs out", "-c lock_timeout=200", "-c idle_in_transaction_session_timeout=600000", false},
        {"B's idle transaction is ended", "-c lock_timeout=600000", "-c idle_in_transaction_session_timeout=200", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        connectionOf(*deskA.engine).run(QStringLiteral("UPDATE dd SET \"件数\" = 0"));
        const auto withOptions = [&](const char* options) {
            return deskA.location + QStringLiteral("&options=") + QString::fromLatin1(QUrl::toPercentEncoding(options));
        };
        auto deskB = data::pg::Session::connect(withOptions(c.optionsB), QStringLiteral("B 台"));
        deskB->exec(QStringLiteral("BEGIN; UPDATE dd SET \"件数\" = 77 WHERE \"批号\" = 'B2'"));

        data::Engine engineA(withOptions(c.optionsA));
        data::Query q(engineA);
        q.setSql(QStringLiteral("select * from dd.db"));
        q.open();
        std::optional<data::EngineError> error;
        try {
            data::BusyScope busy(q);
            q.first();
            for (int i = 1; !q.eof(); ++i) {
                q.edit();
                q.field(Cases).setInteger(i);
                q.post();
                q.next();
            }
        } catch (const data::EngineError& e) {
            error = e;
        }
        if (c.aStores) {
            EXPECT_FALSE(error.has_value()) << (error ? error->message().toStdString() : "");
            EXPECT_EQ(stored(), (std::vector<qint64>{1, 2, 3, 4, 5}));
            // Desk B learns its session was ended, and its next command works.
            try {
                deskB->run(QStringLiteral("SELECT 1"));
                ADD_FAILURE() << "desk B's ended session went unnoticed";
            } catch (const data::EngineError& e) {
                EXPECT_EQ(e.kind(), data::ErrorKind::ServerUnreachable);
                EXPECT_EQ(e.sqlState(), QStringLiteral("25P03"));
            }
            ASSERT_TRUE(deskB->reconnect());
        } else {
            ASSERT_TRUE(error.has_value());
            EXPECT_EQ(error->sqlState(), QStringLiteral("55P03"));
            EXPECT_EQ(error->subject(), QStringLiteral("B 台"));
            EXPECT_EQ(error->notStored().records, 5);
            deskB->exec(QStringLiteral("ROLLBACK"));
            EXPECT_EQ(stored(), (std::vector<qint64>{0, 0, 0, 0, 0}));
        }
        q.open();
        q.last();
        q.edit();
        q.field(Cases).setInteger(50);
        q.post();
        EXPECT_EQ(stored().back(), 50);
    }
}

}  // namespace
