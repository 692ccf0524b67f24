// The writes a loop holds back on the server: a later write of a record the
// loop deleted, and a batch the server refuses at the end of the loop.
#include "table_fixture.h"

#include "data/server/pg_connection.h"
#include "data/server_store_of.h"

#include <algorithm>
#include <map>
#include <optional>

namespace {

using data::ConflictChoice;

class HeldBackWrites : public ::testing::Test {
protected:
    HeldBackWrites() : desk(Store::Server) {
        auto orders = desk.openQuery(QStringLiteral("select * from dd.db"));
        TableFolder::addOrder(*orders, QStringLiteral("B1"), {{QStringLiteral("件数"), 1}});
        id = orders->rowIds().front();
        table = desk.engine->table(QStringLiteral("dd.db"));
        cases = table->fieldIndex(QStringLiteral("件数"));
        desk.engine->setConflictResolver([this](const data::Conflict& c) {
            asked.push_back(c);
            return choice;
        });
    }

    data::PgConnection& server() { return serverStoreOf(*desk.engine)->connection(); }

    // The records of dd as the server holds them: their number, and the
    // cases of the last one.
    std::pair<qint64, qint64> stored() {
        const data::pg::Result r = server().run(QStringLiteral("SELECT count(*), coalesce(max(\"件数\"), 0) FROM dd"));
        return {r.rows.front()[0].toLongLong(), r.rows.front()[1].toLongLong()};
    }

    QString synchronousCommit() {
        return server().run(QStringLiteral("SHOW synchronous_commit")).rows.front()[0].toString();
    }

    TableFolder desk;
    qint64 id = 0;
    std::shared_ptr<data::OpenTable> table;
    int cases = -1;
    ConflictChoice choice = ConflictChoice::KeepMine;
    std::vector<data::Conflict> asked;
};

// One loop deletes the record and another result of the same desk then
// stores a change to it, both held back: the change finds the record gone,
// as it would had each write been sent at once, and the clerk is asked.
TEST_F(HeldBackWrites, AChangeToARecordDeletedEarlierInTheLoopIsAskedAbout) {
    const struct {
        ConflictChoice choice;
        std::pair<qint64, qint64> after;
    } answers[] = {
        {ConflictChoice::KeepMine, {1, 7}},
        {ConflictChoice::TakeTheirs, {0, 0}},
    };
    for (const auto& a : answers) {
        SCOPED_TRACE(a.choice == ConflictChoice::KeepMine ? "keep mine" : "take theirs");
        server().run(QStringLiteral("DELETE FROM dd"));
        auto orders = desk.openQuery(QStringLiteral("select * from dd.db"));
        TableFolder::addOrder(*orders, QStringLiteral("B1"), {{QStringLiteral("件数"), 1}});
        id = orders->rowIds().front();
        choice = a.choice;
        asked.clear();

        data::Connection& c = *table->connection;
        data::Row row = c.readCurrent(*table, id, nullptr);
        ASSERT_FALSE(row.empty());
        c.beginWriteGroup();
        ASSERT_TRUE(c.removeRow(*table, id, row));
        row[std::size_t(cases)] = QVariant(qint64(7));
        ASSERT_TRUE(c.updateRow(*table, id, {cases}, row, {}));
        c.endWriteGroup();

        ASSERT_EQ(asked.size(), 1u);
        EXPECT_TRUE(asked.front().gone());
        EXPECT_FALSE(asked.front().deleting);
        EXPECT_EQ(asked.front().mine.at(std::size_t(cases)).toLongLong(), 7);
        EXPECT_EQ(stored(), a.after);
    }
}

// A batch refused when the loop ends leaves the session committing as it
// should outside loops: each later commit waits for the disk.
TEST_F(HeldBackWrites, ARefusedLastBatchLeavesCommitsWaitingForTheDisk) {
    server().run(QStringLiteral(
        "CREATE FUNCTION refuse_thirteen() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "IF NEW.\"件数\" = 13 THEN RAISE EXCEPTION 'thirteen cases are refused'; END IF; RETURN NEW; END $$"));
    server().run(QStringLiteral(
        "CREATE TRIGGER refuse_thirteen BEFORE UPDATE ON dd FOR EACH ROW EXECUTE FUNCTION refuse_thirteen()"));
    const QString before = synchronousCommit();
    ASSERT_EQ(before, QStringLiteral("on"));

    data::Connection& c = *table->connection;
    for (const qint64 value : {qint64(2), qint64(13), qint64(4)}) {
        SCOPED_TRACE(value);
        data::Row row = c.readCurrent(*table, id, nullptr);
        c.beginWriteGroup();
        // A first batch goes while the loop runs: its commits do not wait.
        row[std::size_t(cases)] = QVariant(qint64(3));
        ASSERT_TRUE(c.updateRow(*table, id, {cases}, row, {}));
        row = c.readCurrent(*table, id, nullptr);
        row[std::size_t(cases)] = QVariant(value);
        ASSERT_TRUE(c.updateRow(*table, id, {cases}, row, {}));
        if (value == 13)
            EXPECT_THROW(c.endWriteGroup(), data::EngineError);
        else
            EXPECT_NO_THROW(c.endWriteGroup());
        EXPECT_EQ(synchronousCommit(), before);
        EXPECT_EQ(stored().second, value == 13 ? 3 : value);
    }
}

// A loop over several orders: each gets its cases set, all held back and
// sent when the loop ends.
class LoopBatches : public HeldBackWrites {
protected:
    LoopBatches() {
        server().run(QStringLiteral("DELETE FROM dd"));
        auto orders = desk.openQuery(QStringLiteral("select * from dd.db"));
        for (int i = 1; i <= 5; ++i)
            TableFolder::addOrder(*orders, QStringLiteral("B%1").arg(i), {{QStringLiteral("件数"), 0}});
        ids = orders->rowIds();
    }

    // Sets order i's cases to i; the error the end of the loop gave, if any.
    std::optional<data::EngineError> runLoop() {
        data::Connection& c = *table->connection;
        std::vector<data::Row> rows = readRows();
        c.beginWriteGroup();
        for (std::size_t i = 0; i < ids.size(); ++i) {
            rows[i][std::size_t(cases)] = QVariant(qint64(i + 1));
            EXPECT_TRUE(c.updateRow(*table, ids[i], {cases}, rows[i], {}));
        }
        try {
            c.endWriteGroup();
        } catch (const data::EngineError& e) {
            return e;
        }
        return std::nullopt;
    }

    std::vector<data::Row> readRows() {
        std::vector<data::Row> rows;
        for (qint64 id : ids)
            rows.push_back(table->connection->readCurrent(*table, id, nullptr));
        return rows;
    }

    // The cases of B1 to B5 as stored.
    std::vector<qint64> storedCases() {
        std::vector<qint64> values;
        for (const data::pg::ResultRow& row :
             server().run(QStringLiteral("SELECT \"件数\" FROM dd ORDER BY \"批号\"")).rows)
            values.push_back(row[0].toLongLong());
        return values;
    }

    std::vector<qint64> ids;
};

// Another desk's deadlock or serialization conflict costs the batch a try,
// not its writes: the same batch goes again, a few times; a batch that never
// gets through is named to the clerk, record by record.
TEST_F(LoopBatches, ABatchThatLostADeadlockIsSentAgainAndOnlyNamedWhenItNeverGetsThrough) {
    server().run(QStringLiteral("CREATE SEQUENCE lost_tries"));
    server().run(QStringLiteral("CREATE TABLE losses (state text, times bigint)"));
    server().run(QStringLiteral(
        "CREATE FUNCTION lose_a_few() RETURNS trigger LANGUAGE plpgsql AS $$ DECLARE s text; t bigint; BEGIN "
        "SELECT state, times INTO s, t FROM losses; "
        "IF nextval('lost_tries') <= t THEN RAISE EXCEPTION 'lost to another desk' USING ERRCODE = s; END IF; "
        "RETURN NEW; END $$"));
    server().run(QStringLiteral("CREATE TRIGGER lose_a_few BEFORE UPDATE ON dd FOR EACH ROW EXECUTE FUNCTION lose_a_few()"));
    const struct {
        const char* state;
        int times;
        bool stored;
    } cases_[] = {
        {"40P01", 1, true},
        {"40001", 3, true},
        {"40P01", 50, false},
    };
    for (const auto& c : cases_) {
        SCOPED_TRACE(std::string(c.state) + " x" + std::to_string(c.times));
        server().run(QStringLiteral("UPDATE dd SET \"件数\" = 0"));
        server().run(QStringLiteral("DELETE FROM losses"));
        server().run(QStringLiteral("INSERT INTO losses VALUES (?, ?)"), {QString::fromLatin1(c.state), QVariant(qint64(c.times))});
        server().run(QStringLiteral("ALTER SEQUENCE lost_tries RESTART"));
        const std::optional<data::EngineError> error = runLoop();
        if (c.stored) {
            EXPECT_FALSE(error.has_value()) << (error ? error->message().toStdString() : "");
            EXPECT_EQ(storedCases(), (std::vector<qint64>{1, 2, 3, 4, 5}));
            continue;
        }
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->sqlState(), QString::fromLatin1(c.state));
        EXPECT_EQ(error->notStored().records, 5);
        EXPECT_EQ(error->notStored().names, (QStringList{"B1", "B2", "B3", "B4", "B5"}));
        EXPECT_EQ(storedCases(), (std::vector<qint64>{0, 0, 0, 0, 0}));
    }
}

// A record refused in the middle of a batch: what the loop wrote before it
// is stored; it and the writes after it are named.
TEST_F(LoopBatches, TheRecordsFromARefusedOneOnAreNamed) {
    server().run(QStringLiteral(
        "CREATE FUNCTION refuse_three() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "IF NEW.\"件数\" = 3 THEN RAISE EXCEPTION 'three cases are refused'; END IF; RETURN NEW; END $$"));
    server().run(QStringLiteral("CREATE TRIGGER refuse_three BEFORE UPDATE ON dd FOR EACH ROW EXECUTE FUNCTION refuse_three()"));
    const std::optional<data::EngineError> error = runLoop();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->notStored().records, 3);
    EXPECT_EQ(error->notStored().names, (QStringList{"B3", "B4", "B5"}));
    EXPECT_EQ(storedCases(), (std::vector<qint64>{1, 2, 0, 0, 0}));
}

// A loop reads the records ahead of it while its writes are kept back: a
// read of records it has not written goes without sending them; a read that
// takes in a record written, by its id or within a range of ids, finds the
// loop's write.
TEST_F(LoopBatches, AReadOfRecordsByIdFindsTheWritesKeptBackOfThoseRecords) {
    const qint64 first = ids.front(), written = ids[2], last = ids.back();
    const struct {
        const char* what;
        std::vector<qint64> list;  // empty: the range from `from` to `to`
        qint64 from, to;
        bool sentBefore;
    } reads[] = {
        {"a range around it", {}, first, last, true},
        {"a range from it", {}, written, last, true},
        {"a range up to it", {}, first, written, true},
        {"a range before it", {}, first, written - 1, false},
        {"a range after it", {}, written + 1, last, false},
        {"a list with it", {last, written}, 0, 0, true},
        {"a list without it", {first, last}, 0, 0, false},
    };
    data::Connection& c = *table->connection;
    for (const auto& r : reads) {
        SCOPED_TRACE(r.what);
        server().run(QStringLiteral("UPDATE dd SET \"件数\" = 0"));
        data::Row row = c.readCurrent(*table, written, nullptr);
        c.beginWriteGroup();
        row[std::size_t(cases)] = QVariant(qint64(7));
        ASSERT_TRUE(c.updateRow(*table, written, {cases}, row, {}));

        data::Statement& st = c.prepareRowRead(*table, int(r.list.size()));
        if (r.list.empty()) {
            st.bindInt(1, r.from);
            st.bindInt(2, r.to);
        }
        for (std::size_t i = 0; i < r.list.size(); ++i)
            st.bindInt(int(i) + 1, r.list[i]);
        std::map<qint64, qint64> read;
        while (st.step())
            read[st.columnInt(0)] = data::readRecord(*table, st)[std::size_t(cases)].toLongLong();
        st.reset();
        std::map<qint64, qint64> expected;
        for (qint64 id : ids)
            if (r.list.empty() ? id >= r.from && id <= r.to : std::count(r.list.begin(), r.list.end(), id) > 0)
                expected[id] = id == written ? 7 : 0;
        EXPECT_EQ(read, expected);
        EXPECT_EQ(storedCases()[2], r.sentBefore ? 7 : 0);

        c.endWriteGroup();
        EXPECT_EQ(storedCases(), (std::vector<qint64>{0, 0, 7, 0, 0}));
    }
}

// The loop as the program runs it, each write told (wrote()), so that the
// updates kept go early, in statements of their own, once `early` of them
// wait; the loop goes on meanwhile. Whatever befalls such a statement, the
// records end as they would have had the loop waited for each batch.
TEST_F(LoopBatches, UpdatesSentEarlyEndAsBatchesSentAtOnce) {
    const QVariant none;
    const struct {
        const char* what;
        std::size_t early;
        std::vector<QVariant> values;
        QStringList before, after;  // statements of another desk around the loop
        std::vector<qint64> stored;  // -1: NULL
        QStringList notStored;
        std::size_t questions;
    } cases_[] = {
        {"all of them, one emptied", 5, {1, 2, none, 4, 5}, {}, {}, {1, 2, -1, 4, 5}, {}, 0},
        {"in two batches, a write kept between", 2, {1, 2, 3, 4, 5}, {}, {}, {1, 2, 3, 4, 5}, {}, 0},
        {"another field of B2 changed by another desk", 5, {1, 2, 3, 4, 5},
         {"UPDATE dd SET \"备注\" = '另一台', tavrel_version = tavrel_version + 1 WHERE \"批号\" = 'B2'"},
         {}, {1, 2, 3, 4, 5}, {}, 0},
        {"the same field of B4 changed by another desk", 5, {1, 2, 3, 4, 5},
         {"UPDATE dd SET \"件数\" = 40, tavrel_version = tavrel_version + 1 WHERE \"批号\" = 'B4'"},
         {}, {1, 2, 3, 40, 5}, {}, 1},
        {"B3 refused", 5, {1, 2, 3, 4, 5},
         {"CREATE FUNCTION refuse_three() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.\"件数\" = 3 THEN "
          "RAISE EXCEPTION 'three cases are refused'; END IF; RETURN NEW; END $$",
          "CREATE TRIGGER refuse_three BEFORE UPDATE ON dd FOR EACH ROW EXECUTE FUNCTION refuse_three()"},
         {"DROP TRIGGER refuse_three ON dd", "DROP FUNCTION refuse_three()"}, {1, 2, 0, 0, 0}, {"B3", "B4", "B5"}, 0},
        {"lost a deadlock once", 5, {1, 2, 3, 4, 5},
         {"CREATE SEQUENCE lost_once",
          "CREATE FUNCTION lose_once() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF nextval('lost_once') = 1 THEN "
          "RAISE EXCEPTION 'lost to another desk' USING ERRCODE = '40P01'; END IF; RETURN NEW; END $$",
          "CREATE TRIGGER lose_once BEFORE UPDATE ON dd FOR EACH ROW EXECUTE FUNCTION lose_once()"},
         {"DROP TRIGGER lose_once ON dd", "DROP FUNCTION lose_once()", "DROP SEQUENCE lost_once"}, {1, 2, 3, 4, 5}, {}, 0},
    };
    choice = ConflictChoice::TakeTheirs;
    for (const auto& c : cases_) {
        SCOPED_TRACE(c.what);
        server().run(QStringLiteral("UPDATE dd SET \"件数\" = 0, \"备注\" = NULL"));
        asked.clear();
        server().setEarlyBatchRows(c.early);
        data::Connection& connection = *table->connection;
        std::vector<data::Row> rows = readRows();
        {
            auto other = data::pg::Session::connect(desk.location, QStringLiteral("other"));
            for (const QString& sql : c.before)
                other->exec(sql);
        }
        std::optional<data::EngineError> error;
        connection.beginWriteGroup();
        try {
            for (std::size_t i = 0; i < ids.size(); ++i) {
                const data::Row asRead = rows[i];
                rows[i][std::size_t(cases)] = c.values[i];
                EXPECT_TRUE(connection.updateRow(*table, ids[i], {cases}, rows[i], asRead));
                connection.wrote();
            }
            connection.endWriteGroup();
        } catch (const data::EngineError& e) {
            error = e;
            try {
                connection.endWriteGroup();
            } catch (const data::EngineError&) {
                // Told already.
            }
        }
        std::vector<qint64> stored;
        for (const data::pg::ResultRow& row :
             server().run(QStringLiteral("SELECT coalesce(\"件数\", -1) FROM dd ORDER BY \"批号\"")).rows)
            stored.push_back(row[0].toLongLong());
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(error ? error->notStored().names : QStringList(), c.notStored)
            << (error ? error->message().toStdString() : "");
        EXPECT_EQ(asked.size(), c.questions);
        if (QString::fromUtf8(c.what).contains(QStringLiteral("B2"))) {
            EXPECT_EQ(server().run(QStringLiteral("SELECT \"备注\" FROM dd WHERE \"批号\" = 'B2'")).rows.at(0).at(0).toString(),
                      QStringLiteral("另一台"));
        }
        auto other = data::pg::Session::connect(desk.location, QStringLiteral("other"));
        for (const QString& sql : c.after)
            other->exec(sql);
    }
}

// A statement sent early takes at most its share of the writes kept; the
// rest follow in the order the loop made them. A record written again while
// its write is still kept is one write with the later values; one whose write
// is on its way is written again after it.
TEST_F(LoopBatches, WritesBeyondAnEarlyStatementsShareFollowItInOrder) {
    const struct {
        std::size_t most;
        std::vector<qint64> writes;  // how often each record was written, by its version
    } cases_[] = {
        {1, {2, 1, 1, 1, 1}},  // B1 went; B2 and B3 were kept
        {2, {2, 2, 1, 1, 1}},
        {4, {2, 2, 2, 1, 1}},
        {1024, {2, 2, 2, 1, 1}},
    };
    data::Connection& connection = *table->connection;
    const auto versions = [&] {
        std::vector<qint64> values;
        for (const data::pg::ResultRow& row :
             server().run(QStringLiteral("SELECT tavrel_version FROM dd ORDER BY \"批号\"")).rows)
            values.push_back(row[0].toLongLong());
        return values;
    };
    for (const auto& c : cases_) {
        SCOPED_TRACE(c.most);
        server().run(QStringLiteral("UPDATE dd SET \"件数\" = 0"));
        const std::vector<qint64> before = versions();
        // The third write sends the first `most` of the three kept; nothing
        // more goes early before the loop ends.
        server().setEarlyBatchRows(3);
        server().setEarlyBatchMaxRows(c.most);
        std::vector<data::Row> rows = readRows();
        connection.beginWriteGroup();
        const auto write = [&](std::size_t i, qint64 value) {
            const data::Row asRead = rows[i];
            rows[i][std::size_t(cases)] = QVariant(value);
            EXPECT_TRUE(connection.updateRow(*table, ids[i], {cases}, rows[i], asRead));
            connection.wrote();
        };
        for (std::size_t i = 0; i < ids.size(); ++i)
            write(i, qint64(i + 1));
        write(0, 10);
        write(1, 20);
        write(2, 30);
        EXPECT_NO_THROW(connection.endWriteGroup());
        EXPECT_EQ(storedCases(), (std::vector<qint64>{10, 20, 30, 4, 5}));
        std::vector<qint64> written = versions();
        for (std::size_t i = 0; i < written.size(); ++i)
            written[i] -= before[i];
        EXPECT_EQ(written, c.writes);
    }
}

// The connection drops with the loop's writes held back: once the server is
// reached again they are stored, and the error says so; when it cannot be
// reached they are named.
TEST_F(LoopBatches, WritesHeldBackWhenTheServerIsLostAreStoredAfterReconnectingOrNamed) {
    for (const bool reachable : {true, false}) {
        SCOPED_TRACE(reachable ? "server reached again" : "server out of reach");
        server().run(QStringLiteral("UPDATE dd SET \"件数\" = 0"));
        if (!reachable)
            server().onReconnectNeeded([] { return false; });
        const QVariant pid(server().session().backendPid());
        data::Connection& c = *table->connection;
        std::vector<data::Row> rows = readRows();
        c.beginWriteGroup();
        for (std::size_t i = 0; i < ids.size(); ++i) {
            rows[i][std::size_t(cases)] = QVariant(qint64(i + 1));
            ASSERT_TRUE(c.updateRow(*table, ids[i], {cases}, rows[i], {}));
        }
        {
            auto other = data::pg::Session::connect(desk.location, QStringLiteral("other"));
            other->run(QStringLiteral("SELECT pg_terminate_backend(?::integer, 60000)"), {pid});
        }
        try {
            c.endWriteGroup();
            ADD_FAILURE() << "the lost server went unnoticed";
        } catch (const data::EngineError& e) {
            EXPECT_EQ(e.kind(), data::ErrorKind::ServerUnreachable);
            EXPECT_EQ(e.storedAfterReconnecting(), reachable ? 5 : 0);
            EXPECT_EQ(e.notStored().records, reachable ? 0 : 5);
            EXPECT_EQ(e.notStored().names, reachable ? QStringList() : (QStringList{"B1", "B2", "B3", "B4", "B5"}));
        }
        if (!reachable)
            break;  // the store stays without its server
        EXPECT_EQ(storedCases(), (std::vector<qint64>{1, 2, 3, 4, 5}));
        EXPECT_EQ(synchronousCommit(), QStringLiteral("on"));
    }
}

// The connection drops while a statement the loop sent early waits on
// another desk's lock, and the loop has kept more writes since: once the
// server is reached again all of them are stored, none only named.
TEST_F(LoopBatches, WritesKeptBehindAStatementSentEarlyAreStoredAfterReconnecting) {
    server().run(QStringLiteral("UPDATE dd SET \"件数\" = 0"));
    server().setEarlyBatchRows(2);
    auto holder = data::pg::Session::connect(desk.location, QStringLiteral("other"));
    holder->exec(QStringLiteral("BEGIN"));
    holder->run(QStringLiteral("SELECT 1 FROM dd WHERE \"批号\" = 'B1' FOR UPDATE"));
    const QVariant pid(server().session().backendPid());
    data::Connection& c = *table->connection;
    std::vector<data::Row> rows = readRows();
    c.beginWriteGroup();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const data::Row asRead = rows[i];
        rows[i][std::size_t(cases)] = QVariant(qint64(i + 1));
        ASSERT_TRUE(c.updateRow(*table, ids[i], {cases}, rows[i], asRead));
        c.wrote();  // B1 and B2 go early and wait on the lock
    }
    {
        auto other = data::pg::Session::connect(desk.location, QStringLiteral("other"));
        other->run(QStringLiteral("SELECT pg_terminate_backend(?::integer, 60000)"), {pid});
    }
    holder->exec(QStringLiteral("COMMIT"));
    try {
        c.endWriteGroup();
        ADD_FAILURE() << "the lost server went unnoticed";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.kind(), data::ErrorKind::ServerUnreachable);
        EXPECT_EQ(e.storedAfterReconnecting(), 5);
        EXPECT_EQ(e.notStored().names, QStringList());
    }
    EXPECT_EQ(storedCases(), (std::vector<qint64>{1, 2, 3, 4, 5}));
}

}  // namespace
