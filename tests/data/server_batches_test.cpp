// The writes a loop holds back on the server: a later write of a record the
// loop deleted, and a batch the server refuses at the end of the loop.
#include "table_fixture.h"

#include "data/server/pg_connection.h"
#include "data/server_store_of.h"

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
        ASSERT_TRUE(c.removeRow(*table, id, row.back().toLongLong()));
        row[std::size_t(cases)] = QVariant(qint64(7));
        ASSERT_TRUE(c.updateRow(*table, id, {cases}, row));
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
        ASSERT_TRUE(c.updateRow(*table, id, {cases}, row));
        row = c.readCurrent(*table, id, nullptr);
        row[std::size_t(cases)] = QVariant(value);
        ASSERT_TRUE(c.updateRow(*table, id, {cases}, row));
        if (value == 13)
            EXPECT_THROW(c.endWriteGroup(), data::EngineError);
        else
            EXPECT_NO_THROW(c.endWriteGroup());
        EXPECT_EQ(synchronousCommit(), before);
        EXPECT_EQ(stored().second, value == 13 ? 3 : value);
    }
}

}  // namespace
