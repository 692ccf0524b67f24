// Every bulk command undone: the tables hold again, field by field and under
// the same row ids, what they held before the command. The cases run on the
// table files and on a server.

#include "statistics_fixture.h"

#include "catalogue/catalogue_delete.h"
#include "data/server/pg_session.h"
#include "data/server/undo_server_impl.h"
#include "data/server_store_of.h"
#include "data/core/undo_journal.h"
#include "data/engine/undo_scope.h"
#include "orders/bulk_orders.h"
#include "orders/fake_worksheet.h"
#include "orders/order_import.h"
#include "orders/size_runs.h"
#include "statistics/aggregation.h"
#include "statistics/sole_assignment.h"

#include <QDir>
#include <sqlite3.h>

namespace {

// Every row of a table file as stored: row id, then each field's storage
// class and value, read with plain SQLite.
QStringList storedRows(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    QStringList rows;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' LIMIT 1", -1, &st, nullptr);
    sqlite3_step(st);
    const QString table = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, QStringLiteral("SELECT rowid, * FROM \"%1\" ORDER BY rowid").arg(table).toUtf8().constData(), -1,
                       &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList fields;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            fields << QStringLiteral("%1:%2").arg(sqlite3_column_type(st, i)).arg(
                          QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))));
        rows << fields.join(QLatin1Char('|'));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

// The same of a table on a server, read through a session of its own: row
// id, then the fields as typed JSON (the version, desk and desk token of the
// last write left out).
QStringList storedRows(const QString& uri, const QString& sqlName) {
    auto session = data::pg::Session::connect(uri, QStringLiteral("reader"));
    const data::pg::Result r = session->run(
        QStringLiteral("SELECT rowid, (to_jsonb(t) - 'rowid' - 'tavrel_version' - 'tavrel_desk' - 'tavrel_desk_token')::text FROM %1 t ORDER BY rowid")
            .arg(data::quotedIdentifier(sqlName)));
    QStringList rows;
    for (const data::pg::ResultRow& row : r.rows)
        rows << row[0].toString() + QLatin1Char('|') + row[1].toString();
    return rows;
}

class Undo : public StoreTablesTest<StatisticsTables> {
protected:
    void SetUp() override {
        catalogue->setBeforePost([](data::Query&) {});
        addCatalogueRow("X1", "黑", "D-1", "鑫达");
        addCatalogueRow("X2", "白", "D-2", "宏发");
        addCatalogueRow("X3", "红", "D-3", "宏发");
        addModelOrder("A001", "X1", "黑", {{36, 2}, {37, 4}});
        addModelOrder("A002", "X2", "白", {{40, 3}});
        addModelOrder("B003", "X9", "黑", {{41, 25}});
        addModelOrder("B004", "X3", "红", {{38, 1}, {48, 7}});
        for (const char* batch : {"A001", "A002", "B004"}) {
            goTo(batch);
            orders->edit();
            orders->field(QStringLiteral("件数")).setInteger(2);
            orders->field(QStringLiteral("备注")).setText(QStringLiteral("备注") + batch);
            orders->post();
        }
        addStatisticsRow("旧", "D-0", {{40, 9}});
        showAllOrders();
    }

    QStringList allTables() {
        QStringList rows;
        for (const data::TableDef* def : data::allTables())
            rows << def->fileName
                 << (GetParam() == Store::Server ? storedRows(location, def->sqlName)
                                                 : storedRows(QDir(dir.path()).filePath(def->fileName)));
        return rows;
    }

    data::UndoJournal& journal() { return engine->undoJournal(); }

    void showOrders(const QString& condition) {
        orders->setSql(QStringLiteral("select * from dd.db where ") + condition);
        orders->open();
    }

    RecordingSink sink;
};

TEST_P(Undo, EveryBulkCommandIsTakenBack) {
    struct Case {
        const char* command;
        std::function<void()> run;
    };
    const std::vector<Case> cases = {
        {"删除订单", [this] { showOrders("批号 LIKE '%A%'"); orders::deleteShownOrders(*orders, sink); }},
        {"件数相乘", [this] { orders::multiplyByCases(*orders, sink); }},
        {"除以件数", [this] { orders::divideByCases(*orders, sink); }},
        {"标为统计", [this] { orders::markCounted(*orders, sink); }},
        {"订单导入",
         [this] {
             FakeWorksheet sheet;
             sheet.setCellText(2, 1, "C005");
             sheet.setCellText(2, 2, "X1");
             sheet.setCellText(3, 1, "C006");
             orders::importWorksheet(sheet, *orders, {"批号", "鞋的型号"}, sink, [] {});
         }},
        {"删除", [this] { catalogue::deleteShownModels(*catalogue, sink); }},
        {"调用鞋底", [this] { statistics::assignSoles(*orders, *catalogue, {}, sink); }},
        {"鞋底统计", [this] { statistics::aggregateOrders(*orders, *statistics, sink); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const QStringList before = allTables();
        c.run();
        ASSERT_NE(allTables(), before);
        const std::vector<data::UndoEntry> entries = journal().entries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries.front().command, QString::fromUtf8(c.command));
        EXPECT_EQ(journal().changedSince(entries.front().id), 0);
        journal().undo(entries.front().id);
        EXPECT_EQ(allTables(), before);
        EXPECT_TRUE(journal().entries().empty());
        showAllOrders();
    }
}

// The rows the command changed before its error come back; the others
// were never touched.
TEST_P(Undo, CommandEndedByAnErrorPartWay) {
    const QStringList before = allTables();
    int posts = 0;
    orders->setBeforePost([&posts](data::Query& q) {
        if (++posts == 2)
            throw data::EngineError(QStringLiteral("refused"));
        orders::applyOrderPostingRule(q);
    });
    EXPECT_THROW(orders::multiplyByCases(*orders, sink), data::EngineError);
    ASSERT_NE(allTables(), before);
    journal().undo(journal().entries().front().id);
    EXPECT_EQ(allTables(), before);
}

// Rows changed by hand after the command are counted before they are
// overwritten; a removed batch number entered again counts as well.
TEST_P(Undo, HandEditsAfterTheCommandAreCounted) {
    const QStringList before = allTables();
    orders::multiplyByCases(*orders, sink);
    goTo("A002");
    orders->edit();
    orders->field(QStringLiteral("备注")).setText(QStringLiteral("改过"));
    orders->post();
    EXPECT_EQ(journal().changedSince(journal().entries().front().id), 1);
    journal().undo(journal().entries().front().id);
    EXPECT_EQ(allTables(), before);

    showOrders("批号 LIKE '%B%'");
    orders::deleteShownOrders(*orders, sink);
    showAllOrders();
    addOrder(*orders, "B003");
    EXPECT_EQ(journal().changedSince(journal().entries().front().id), 1);
    journal().undo(journal().entries().front().id);
    EXPECT_EQ(storedOrderCount(), 4);
    EXPECT_EQ(stored("B003", QStringLiteral("鞋的型号")).toString(), QStringLiteral("X9"));
}

// A command over rows picked by a condition keeps those rows only: a row
// between them that it did not show is no row of its record, changed later
// or not.
TEST_P(Undo, RowsBetweenTheShownOnesAreNotKept) {
    showOrders("颜色 = '黑'");  // A001 and B003, not A002 between them
    ASSERT_EQ(orders->recordCount(), 2);
    orders::markCounted(*orders, sink);
    const qint64 id = journal().entries().front().id;
    EXPECT_EQ(journal().entries().front().rows, 2);
    showAllOrders();
    goTo("A002");
    orders->edit();
    orders->field(QStringLiteral("备注")).setText(QStringLiteral("改过"));
    orders->post();
    EXPECT_EQ(journal().changedSince(id), 0);
    goTo("B003");  // shown, and changed after the command
    orders->edit();
    orders->field(QStringLiteral("备注")).setText(QStringLiteral("也改过"));
    orders->post();
    EXPECT_EQ(journal().changedSince(id), 1);
    journal().undo(id);
    EXPECT_EQ(stored("A002", QStringLiteral("备注")).toString(), QStringLiteral("改过"));
    for (const char* batch : {"A001", "B003"})
        EXPECT_FALSE(stored(batch, QStringLiteral("已统计")).toBool()) << batch;
}

// Only the last commands of a table are kept; a command that a crash left
// without its closing state is completed when the journal is next opened.
TEST_P(Undo, HousekeepingAndAnOpenRecord) {
    for (int i = 0; i < data::UndoJournal::MaxCommandsPerTable + 3; ++i)
        orders::markCounted(*orders, sink);
    EXPECT_EQ(journal().entries().size(), std::size_t(data::UndoJournal::MaxCommandsPerTable));
    EXPECT_GT(journal().storageBytes(), 0);

    const QStringList before = allTables();
    journal().record(QStringLiteral("件数相乘"), data::ordersWindowName(), {data::shownRows(*orders)});
    engine->setUndoJournal(nullptr);
    {
        data::Engine other(engine->location());
        other.setUndoJournal(std::make_unique<data::NoUndoJournal>());
        data::Query q(other);
        q.setSql(QStringLiteral("select * from dd.db"));
        q.open();
        orders::multiplyByCases(q, sink);
    }
    EXPECT_EQ(journal().changedSince(journal().entries().front().id), 0);
    journal().undo(journal().entries().front().id);
    EXPECT_EQ(allTables(), before);
}

// Another desk (on table files: another program over the folder) lists the
// command and undoes it; on a server the rows come back with new versions,
// so this desk's result, read before, cannot write its old values over
// them: a field it changes merges into the restored record.
TEST_P(Undo, AnotherDeskUndoesTheCommand) {
    const QStringList before = allTables();
    orders::multiplyByCases(*orders, sink);
    {
        data::Engine other(engine->location());
        data::UndoJournal& theirs = other.undoJournal();
        const std::vector<data::UndoEntry> entries = theirs.entries(data::ordersWindowName());
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries.front().command, QStringLiteral("件数相乘"));
        EXPECT_EQ(entries.front().tables, QStringList{QStringLiteral("dd.db")});
        EXPECT_EQ(entries.front().desk.isEmpty(), GetParam() == Store::Files);
        EXPECT_EQ(theirs.changedSince(entries.front().id), 0);
        theirs.undo(entries.front().id);
    }
    EXPECT_EQ(allTables(), before);
    EXPECT_TRUE(journal().entries().empty());
    if (GetParam() != Store::Server)
        return;
    goTo("A001");
    orders->edit();
    orders->field(QStringLiteral("备注")).setText(QStringLiteral("改过"));
    orders->post();
    data::Query fresh(*engine);
    fresh.setSql(QStringLiteral("select * from dd.db where 批号='A001'"));
    fresh.open();
    ASSERT_EQ(fresh.recordCount(), 1);
    EXPECT_EQ(fresh.field(QStringLiteral("备注")).asText(), QStringLiteral("改过"));
    // What the undo restored stays, whatever this desk's result held.
    EXPECT_EQ(fresh.field(QStringLiteral("36")).asInteger(), 2);
    EXPECT_EQ(fresh.field(QStringLiteral("37")).asInteger(), 4);
}

// Several desks share only a server's tables.
class UndoAtTwoDesks : public Undo {};
INSTANTIATE_TEST_SUITE_P(Stores, UndoAtTwoDesks, ::testing::Values(Store::Server), storeName);

// A command still running at another desk is not undone from here (its
// rows are not all written yet); once it has ended, it may be.
TEST_P(UndoAtTwoDesks, CommandStillRunningAtAnotherDesk) {
    const qint64 id = journal().record(QStringLiteral("件数相乘"), data::ordersWindowName(), {data::shownRows(*orders)});
    data::Engine other(engine->location());
    try {
        other.undoJournal().undo(id);
        ADD_FAILURE() << "a running command was undone";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.kind(), data::ErrorKind::ServerBusy) << e.what();
        EXPECT_EQ(e.value(), QStringLiteral("件数相乘"));
    }
    journal().seal(id);
    EXPECT_EQ(other.undoJournal().changedSince(id), 0);
    EXPECT_EQ(other.undoJournal().entries().size(), 1u);
}

// Rows another desk adds while a command adds its own are that desk's: the
// undo removes only the command's, also where the other desk goes by the
// same name (a cloned computer). (Table files have one desk.)
TEST_P(UndoAtTwoDesks, RowsAddedMeanwhileAtAnotherDeskStay) {
    const QString ours = serverStoreOf(*engine)->deskName();
    int round = 0;
    for (const QString& theirName : {QStringLiteral("B 台"), ours}) {
        SCOPED_TRACE(theirName.toStdString());
        const QString batch = QStringLiteral("C%1").arg(++round);
        qputenv("TAVREL_DESK", theirName.toUtf8());
        data::Engine other(engine->location());
        auto theirOrders = std::make_unique<data::Query>(other);
        theirOrders->setSql(QStringLiteral("select * from dd.db"));
        theirOrders->open();
        qunsetenv("TAVREL_DESK");

        const qint64 id = journal().record(QStringLiteral("订单导入"), data::ordersWindowName(), {data::addedRows(*orders)});
        // Listed at the other desk with the name of the desk that ran it.
        ASSERT_EQ(other.undoJournal().entries().size(), 1u);
        EXPECT_EQ(other.undoJournal().entries().front().desk, ours);
        addOrder(*orders, batch + QStringLiteral("05"));
        addOrder(*theirOrders, batch + QStringLiteral("06"));
        addOrder(*orders, batch + QStringLiteral("07"));
        journal().seal(id);
        EXPECT_EQ(journal().entries().front().rows, 2);
        EXPECT_EQ(journal().changedSince(id), 0);
        journal().undo(id);
        EXPECT_EQ(stored(batch + QStringLiteral("05"), QStringLiteral("批号")), QVariant());
        EXPECT_EQ(stored(batch + QStringLiteral("06"), QStringLiteral("批号")).toString(), batch + QStringLiteral("06"));
        EXPECT_EQ(stored(batch + QStringLiteral("07"), QStringLiteral("批号")), QVariant());
    }
}

// A row another desk changes after the clerk was asked (or was not asked,
// nothing having changed) is not written over unasked: the undo finds it
// changed, writes nothing and says how many rows have changed now; asked
// again, it undoes.
TEST_P(UndoAtTwoDesks, RowsChangedAfterTheQuestionAreAskedAbout) {
    data::Engine other(engine->location());
    const auto note = [](data::Engine& at, const QString& batch, const QString& text) {
        data::Query q(at);
        q.setSql(QStringLiteral("select * from dd.db where 批号='%1'").arg(batch));
        q.open();
        q.edit();
        q.field(QStringLiteral("备注")).setText(text);
        q.post();
    };
    struct Case {
        const char* name;
        std::function<void()> beforeTheQuestion;
        int asked;  // rows changed when the clerk was asked
    };
    const std::vector<Case> cases = {
        {"nothing changed when asked", [] {}, 0},
        {"the changed row changed again", [&] { note(*engine, QStringLiteral("A001"), QStringLiteral("这里改过")); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = allTables();
        orders::multiplyByCases(*orders, sink);
        c.beforeTheQuestion();
        const qint64 id = journal().entries().front().id;
        EXPECT_EQ(journal().changedSince(id), c.asked);
        note(other, QStringLiteral("A001"), QStringLiteral("对方改过"));
        try {
            journal().undo(id);
            ADD_FAILURE() << "a row changed after the question was written over";
        } catch (const data::EngineError& e) {
            EXPECT_EQ(e.kind(), data::ErrorKind::ChangedSinceAsked) << e.what();
            EXPECT_EQ(e.value(), QStringLiteral("1"));
        }
        EXPECT_EQ(stored(QStringLiteral("A001"), QStringLiteral("备注")).toString(), QStringLiteral("对方改过"));
        EXPECT_EQ(journal().entries().size(), 1u);
        journal().undo(id);  // the clerk, asked again, said yes
        EXPECT_EQ(allTables(), before);
        EXPECT_TRUE(journal().entries().empty());
        showAllOrders();
    }
}

// From its last check to the writing back the undo holds what it writes:
// another desk can change none of those rows (nor, where the undo empties a
// table of the rows it did not record, add any) until it has committed.
TEST_P(UndoAtTwoDesks, TheRowsStayLockedFromTheCheckToTheWritingBack) {
    auto probe = data::pg::Session::connect(location, QStringLiteral("探测"));
    struct Case {
        const char* command;
        std::function<void()> run;
        QString change;  // another desk's change, refused at once where it would wait
    };
    const QString changeA001 = QStringLiteral("UPDATE dd SET \"备注\"='对方改过' WHERE rowid IN "
                                              "(SELECT rowid FROM dd WHERE \"批号\"='%1' FOR UPDATE NOWAIT)");
    const std::vector<Case> cases = {
        {"件数相乘", [this] { orders::multiplyByCases(*orders, sink); }, changeA001.arg(QStringLiteral("A001"))},
        {"鞋底统计", [this] { statistics::aggregateOrders(*orders, *statistics, sink); },
         QStringLiteral("LOCK TABLE xdtj IN ROW EXCLUSIVE MODE NOWAIT")},
        {"订单导入",
         [this] {
             FakeWorksheet sheet;
             sheet.setCellText(2, 1, "C005");
             orders::importWorksheet(sheet, *orders, {"批号"}, sink, [] {});
         },
         changeA001.arg(QStringLiteral("C005"))},
    };
    auto* server = dynamic_cast<data::undo_server::ServerUndoJournal*>(&journal());
    ASSERT_NE(server, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const QStringList before = allTables();
        c.run();
        int probes = 0;
        server->betweenCheckAndWriteBack = [&] {
            ++probes;
            probe->exec(QStringLiteral("BEGIN"));
            try {
                probe->exec(c.change);
                ADD_FAILURE() << "another desk changed a row the undo is writing back";
            } catch (const data::EngineError& e) {
                EXPECT_EQ(e.sqlState(), QStringLiteral("55P03")) << e.what();
            }
            probe->exec(QStringLiteral("ROLLBACK"));
        };
        EXPECT_EQ(journal().changedSince(journal().entries().front().id), 0);
        journal().undo(journal().entries().front().id);
        server->betweenCheckAndWriteBack = nullptr;
        EXPECT_EQ(probes, 1);
        EXPECT_EQ(allTables(), before);
        showAllOrders();
    }
}

// Tables and records kept before records carried the desk token: a desk
// opening them adds it to the tables and the journal; a record without one
// finds the rows its command added by the desk's name, and commands recorded
// since are undone as ever.
TEST_P(UndoAtTwoDesks, TablesAndRecordsFromBeforeDeskTokens) {
    const QStringList before = allTables();
    const qint64 id = journal().record(QStringLiteral("订单导入"), data::ordersWindowName(), {data::addedRows(*orders)});
    addOrder(*orders, "C005");
    {
        auto older = data::pg::Session::connect(location, QStringLiteral("旧版"));
        for (const char* drop : {"ALTER TABLE dd DROP COLUMN tavrel_desk_token",
                                 "ALTER TABLE tavrel_undo_images_dd DROP COLUMN tavrel_desk_token",
                                 "ALTER TABLE tavrel_undo_commands DROP COLUMN desk_token"})
            older->exec(QString::fromLatin1(drop));
    }
    data::Engine later(location);
    ASSERT_EQ(later.undoJournal().entries().size(), 1u);  // opening the journal adds the token to it
    journal().seal(id);
    ASSERT_EQ(journal().entries().size(), 1u);
    EXPECT_EQ(journal().entries().front().rows, 1);
    EXPECT_EQ(later.undoJournal().changedSince(id), 0);
    later.undoJournal().undo(id);
    EXPECT_EQ(storedOrderCount(), 4);

    data::Query theirs(later);
    theirs.setSql(QStringLiteral("select * from dd.db"));
    theirs.open();
    orders::markCounted(theirs, sink);
    auto reader = data::pg::Session::connect(location, QStringLiteral("reader"));
    EXPECT_EQ(reader->run(QStringLiteral("SELECT count(*) FROM dd WHERE tavrel_desk_token=?"), {serverStoreOf(later)->deskToken()})
                  .rows.at(0).at(0).toLongLong(),
              4);
    EXPECT_EQ(later.undoJournal().changedSince(later.undoJournal().entries().front().id), 0);
    later.undoJournal().undo(later.undoJournal().entries().front().id);
    EXPECT_EQ(allTables(), before);
}

// The images and the rows as the command left them go in batches, a row of
// the journal to many of the table; a record an earlier release kept a row
// each is counted and undone as before.
TEST_P(UndoAtTwoDesks, RecordsKeptARowEachByAnEarlierRelease) {
    const QStringList before = allTables();
    orders::multiplyByCases(*orders, sink);
    const qint64 id = journal().entries().front().id;
    auto admin = data::pg::Session::connect(location, QStringLiteral("旧版"));
    const auto count = [&](const char* sql) { return admin->run(QString::fromUtf8(sql)).rows.at(0).at(0).toLongLong(); };
    EXPECT_EQ(count("SELECT count(*) FROM tavrel_undo_batches_dd"), 1);
    EXPECT_EQ(count("SELECT sum(cardinality(rows)) FROM tavrel_undo_batches_dd"), 4);
    EXPECT_EQ(count("SELECT count(*) FROM tavrel_undo_after_batches"), 1);
    for (const char* older :
         {"INSERT INTO tavrel_undo_images_dd SELECT i.command, i.table_name, u.rowid, u.* FROM tavrel_undo_batches_dd i "
          "CROSS JOIN LATERAL unnest(i.rows) u",
          "INSERT INTO tavrel_undo_after (command, table_name, rid, version, content) SELECT l.command, l.table_name, x.* "
          "FROM tavrel_undo_after_batches l CROSS JOIN LATERAL unnest(l.rids, l.versions, l.contents) x",
          "DELETE FROM tavrel_undo_batches_dd", "DELETE FROM tavrel_undo_after_batches", "UPDATE tavrel_undo_parts SET kind = kind % 10"})
        admin->exec(QString::fromUtf8(older));
    // Another desk changes a row the command left (its version too).
    admin->exec(QStringLiteral("UPDATE dd SET \"备注\" = '另一台', tavrel_version = tavrel_version + 1 WHERE \"批号\" = 'A002'"));
    EXPECT_EQ(journal().changedSince(id), 1);
    journal().undo(id);
    EXPECT_EQ(allTables(), before);
    EXPECT_EQ(count("SELECT count(*) FROM tavrel_undo_images_dd") + count("SELECT count(*) FROM tavrel_undo_after"), 0);
}

// The rows as a command left them are kept as a hash of their fields; a
// record an earlier release sealed with the md5 of their text is judged by
// that. Either way a row stored again unchanged by another desk is no
// change, and a row another desk changed is one.
TEST_P(UndoAtTwoDesks, RowsChangedSinceASealOfEitherRelease) {
    QStringList fields;
    for (const data::FieldDef& field : data::ordersTable().fields)
        fields << QStringLiteral("t.") + data::quotedIdentifier(field.name);
    const QString md5Contents =
        QStringLiteral("UPDATE tavrel_undo_after_batches l SET contents = (SELECT array_agg(md5(row(%1)::text) ORDER BY u.n) "
                       "FROM unnest(l.rids) WITH ORDINALITY u(rid, n) JOIN dd t ON t.rowid = u.rid)")
            .arg(fields.join(QLatin1Char(',')));
    for (const bool earlierRelease : {false, true}) {
        SCOPED_TRACE(earlierRelease ? "md5 of an earlier release" : "this release's hash");
        const QStringList before = allTables();
        orders::multiplyByCases(*orders, sink);
        const qint64 id = journal().entries().front().id;
        auto admin = data::pg::Session::connect(location, QStringLiteral("旧版"));
        const auto contentLength = [&] {
            return admin->run(QStringLiteral("SELECT max(length(c)) FROM tavrel_undo_after_batches l, unnest(l.contents) c "
                                             "WHERE l.command = ?::bigint"),
                              {QVariant(id)})
                .rows.at(0).at(0).toInt();
        };
        if (earlierRelease)
            admin->exec(md5Contents);
        EXPECT_EQ(contentLength() == 32, earlierRelease);
        EXPECT_EQ(journal().changedSince(id), 0);
        const auto setNote = [&](const char* batch, const QString& note) {
            admin->run(QStringLiteral("UPDATE dd SET \"备注\" = ?, tavrel_version = tavrel_version + 1 WHERE \"批号\" = ?"),
                       {note, QString::fromLatin1(batch)});
        };
        setNote("A002", QStringLiteral("另一台"));
        setNote("A002", QStringLiteral("备注A002"));
        EXPECT_EQ(journal().changedSince(id), 0);
        setNote("B004", QStringLiteral("另一台"));
        EXPECT_EQ(journal().changedSince(id), 1);
        setNote("B004", QStringLiteral("备注B004"));
        EXPECT_EQ(journal().changedSince(id), 0);
        journal().undo(id);
        EXPECT_EQ(allTables(), before);
    }
}

// A record naming a table in several parts keeps each row once, and undoes
// as one naming it once.
TEST_P(UndoAtTwoDesks, ATableInSeveralPartsOfARecord) {
    const QStringList before = allTables();
    const qint64 id = journal().record(QStringLiteral("件数相乘"), data::ordersWindowName(),
                                       {data::shownRows(*orders), {data::UndoPart::Kind::WholeTable, QStringLiteral("dd.db"), {}},
                                        data::shownRows(*orders), data::addedRows(*orders)});
    EXPECT_EQ(journal().entries().front().rows, 4);
    goTo("A002");
    orders->edit();
    orders->field(QStringLiteral("备注")).setText(QStringLiteral("改过"));
    orders->post();
    addOrder(*orders, QStringLiteral("C005"));
    journal().seal(id);
    EXPECT_EQ(journal().changedSince(id), 0);
    journal().undo(id);
    EXPECT_EQ(allTables(), before);
}

// More rows than a batch of the journal holds, some named twice and one no
// longer there: each row is kept once, in as many batches as it takes, and
// comes back whole.
TEST_P(UndoAtTwoDesks, MoreRowsThanABatchOfTheJournal) {
    auto admin = data::pg::Session::connect(location, QStringLiteral("管理"));
    admin->exec(QStringLiteral("INSERT INTO dd (\"批号\", \"件数\", \"36\") SELECT 'N' || g, 2, g FROM generate_series(1, %1) g")
                    .arg(data::undo_server::RowsPerBatch + 50));
    showAllOrders();
    const QStringList before = allTables();
    const qint64 rows = qint64(orders->rowIds().size());
    ASSERT_GT(rows, data::undo_server::RowsPerBatch);
    data::UndoPart shown = data::shownRows(*orders);
    shown.rowIds.insert(shown.rowIds.end(), shown.rowIds.begin(), shown.rowIds.begin() + 10);
    shown.rowIds.push_back(shown.rowIds.back() + 1000);
    const qint64 id = journal().record(QStringLiteral("件数相乘"), data::ordersWindowName(), {shown});
    const auto count = [&](const char* sql) { return admin->run(QString::fromUtf8(sql)).rows.at(0).at(0).toLongLong(); };
    EXPECT_EQ(journal().entries().front().rows, rows);
    EXPECT_EQ(count("SELECT count(*) FROM tavrel_undo_batches_dd"), 2);
    EXPECT_EQ(count("SELECT count(DISTINCT u.rowid) FROM tavrel_undo_batches_dd i CROSS JOIN LATERAL unnest(i.rows) u"), rows);
    admin->exec(QStringLiteral("UPDATE dd SET \"36\" = coalesce(\"36\", 0) * \"件数\", tavrel_version = tavrel_version + 1 "
                               "WHERE \"件数\" IS NOT NULL"));
    journal().seal(id);
    EXPECT_EQ(count("SELECT sum(cardinality(rids)) FROM tavrel_undo_after_batches"), rows);
    EXPECT_EQ(journal().changedSince(id), 0);
    admin->exec(QStringLiteral("UPDATE dd SET \"备注\" = '另一台', tavrel_version = tavrel_version + 1 WHERE \"批号\" = 'N7'"));
    EXPECT_EQ(journal().changedSince(id), 1);
    journal().undo(id);
    EXPECT_EQ(allTables(), before);
}

TAVREL_ON_BOTH_STORES(Undo);

}  // namespace
