// "订单导入" where a batch number is already taken: on the table files each
// record is stored as it is posted; on the server the new records are held
// back and sent in groups. Either way the import stops at the first row
// whose batch number is taken, every row before it is stored and nothing
// from it on, the clerk sees the same messages, the result shows what was
// stored, its undo takes back exactly that, and the next import stores.
#include "data/table_fixture.h"
#include "data/server_store_of.h"
#include "fake_worksheet.h"
#include "recording_sink.h"

#include "data/engine/undo_scope.h"
#include "data/server/pg_connection.h"
#include "data/server/pg_session.h"
#include "orders/order_import.h"
#include "orders/order_posting.h"

#include <algorithm>

namespace {

const QString Batch = QStringLiteral("批号");
const QStringList Columns{QStringLiteral("批号"), QStringLiteral("鞋的型号"), QStringLiteral("件数")};
constexpr int Send = orders::ImportRowsPerSend;

QString key(int i) { return QStringLiteral("K%1").arg(i, 5, 10, QLatin1Char('0')); }

class ImportBatches : public StoreFixture {
protected:
    ImportBatches() {
        query = openQuery(QStringLiteral("select * from dd.db"));
        orders::installOrderPostingRule(*query, [this] { ++duplicateMessages; });
    }

    // A sheet of these batch numbers from row 2 on; the row badCasesAt
    // (from 0) has cases that are no whole number.
    static FakeWorksheet sheetOf(const QStringList& batches, int badCasesAt = -1) {
        FakeWorksheet sheet;
        sheet.setRow(1, Columns);
        for (int i = 0; i < batches.size(); ++i)
            sheet.setRow(i + 2, {batches[i], QStringLiteral("M%1").arg(i), i == badCasesAt ? QStringLiteral("十二") : QStringLiteral("2")});
        return sheet;
    }
    static QStringList keys(int from, int count) {
        QStringList batches;
        for (int i = from; i < from + count; ++i)
            batches << key(i);
        return batches;
    }

    orders::ImportOutcome run(FakeWorksheet sheet) {
        duplicateMessages = failureMessages = 0;
        return orders::importWorksheet(sheet, *query, Columns, status, [this] { ++failureMessages; });
    }

    // The batch numbers the table holds, and those the import's result shows.
    QStringList stored() {
        QStringList all = TableFolder::column(*openQuery(QStringLiteral("select * from dd.db")), Batch);
        all.sort();
        return all;
    }
    QStringList shown() {
        QStringList all;
        const int field = query->fieldIndex(Batch);
        for (int row = 0; row < query->rowCount(); ++row)
            all << query->valueAt(row, field).toString();
        all.sort();
        return all;
    }

    void undoLastImport() {
        data::UndoJournal& journal = engine->undoJournal();
        const std::vector<data::UndoEntry> entries = journal.entries(data::ordersWindowName());
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.front().command, orders::importFolderName());
        journal.undo(entries.front().id);
    }

    // Another import of new batch numbers stores all of them.
    void nextImportStores(int from) {
        const QStringList before = stored();
        const orders::ImportOutcome next = run(sheetOf(keys(from, 3)));
        EXPECT_EQ(next.end, orders::ImportOutcome::End::EmptyCell);
        EXPECT_EQ(next.rowsImported, 3);
        EXPECT_EQ(stored().size(), before.size() + 3);
        EXPECT_EQ(failureMessages, 0);
    }

    std::unique_ptr<data::Query> query;
    RecordingSink status;
    int duplicateMessages = 0;
    int failureMessages = 0;
};

// The taken batch number at row 1, inside a group, at the last row of a
// group and the first of the next, at the sheet's last row; taken in the
// table or by an earlier row of the same sheet.
TEST_P(ImportBatches, StopsAtTheFirstTakenBatchNumber) {
    struct Case {
        const char* name;
        int rows;
        int takenAt;       // the sheet row (from 0) whose batch number is taken
        int earlierRow;    // -1: taken in the table; else: by this earlier row of the sheet
        int badCasesAt = -1;  // a later row whose cases are no whole number
    };
    const Case cases[] = {
        {"row 1", 5, 0, -1},
        {"inside a group", Send + 20, 137, -1},
        {"last row of a group", Send + 20, Send - 1, -1},
        {"first row of the next group", Send + 20, Send, -1},
        {"last row of the sheet", Send + 20, Send + 19, -1},
        {"earlier in the same group", Send + 20, 300, 12},
        {"in the group before", Send + 20, Send + 3, 40},
        {"then a row the import cannot post", Send + 20, 60, -1, 80},
        // A group goes while the import reads on: its taken batch number is
        // found with the next group posted, or a row of it refused.
        {"in a group sent, the next one posted", 2 * Send + 20, 500, -1},
        {"at the end of a group sent, the next one posted", 2 * Send + 20, 2 * Send - 1, -1},
        {"in a group sent, then a row the next cannot post", Send + 20, 137, -1, Send + 5},
        {"earlier in a group sent, the next one posted", 3 * Send, Send + 10, 30},
    };
    int fresh = 90000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList batches = keys(fresh, c.rows);
        fresh += c.rows;
        if (c.earlierRow < 0)
            storeRows(QStringLiteral("dd.db"), {{{Batch, batches[c.takenAt]}}});
        else
            batches[c.takenAt] = batches[c.earlierRow];
        query->open();
        const QStringList inTable = stored();

        const orders::ImportOutcome outcome = run(sheetOf(batches, c.badCasesAt));
        EXPECT_EQ(outcome.end, orders::ImportOutcome::End::Failed);
        EXPECT_EQ(outcome.rowsImported, c.takenAt);
        EXPECT_EQ(duplicateMessages, 1);
        EXPECT_EQ(failureMessages, 1);
        EXPECT_EQ(query->state(), data::Query::State::Browse);
        QStringList expected = inTable + batches.mid(0, c.takenAt);
        expected.sort();
        EXPECT_EQ(stored(), expected);
        EXPECT_EQ(shown(), expected);

        undoLastImport();
        EXPECT_EQ(stored(), inTable);
        nextImportStores(fresh);
        fresh += 3;
    }
}

// A row that cannot be posted ends the import with the rows before it
// stored and the record left open for the clerk.
TEST_P(ImportBatches, ARowThatCannotBePostedLeavesTheRowsBeforeItStored) {
    int fresh = 20000;
    for (const int badAt : {0, 7, Send - 1, Send, Send + 5}) {
        SCOPED_TRACE(badAt);
        query->open();
        const QStringList inTable = stored();
        const QStringList batches = keys(fresh, Send + 10);
        fresh += Send + 10;
        const orders::ImportOutcome outcome = run(sheetOf(batches, badAt));
        EXPECT_EQ(outcome.end, orders::ImportOutcome::End::Failed);
        EXPECT_EQ(outcome.rowsImported, badAt);
        EXPECT_EQ(failureMessages, 1);
        EXPECT_EQ(duplicateMessages, 0);
        ASSERT_EQ(query->state(), data::Query::State::Insert);
        EXPECT_EQ(query->field(Batch).asText(), batches[badAt]);
        query->cancel();
        QStringList expected = inTable + batches.mid(0, badAt);
        expected.sort();
        EXPECT_EQ(stored(), expected);
        EXPECT_EQ(shown(), expected);
    }
}

TAVREL_ON_BOTH_STORES(ImportBatches);

// On the server only: another desk, or the server itself, acts while the
// import holds rows back.
class ImportBatchesOnTheServer : public ImportBatches {};

// Another desk stores a batch number after the import posted it and before
// its group was sent: the import stops at that row, named as a duplicate.
TEST_P(ImportBatchesOnTheServer, ABatchNumberStoredMeanwhileByAnotherDeskStopsAtItsRow) {
    const QStringList batches = keys(1, Send + 10);
    constexpr int TakenAt = 100;
    qputenv("TAVREL_DESK", "B 台");
    data::Engine deskB(location);
    qunsetenv("TAVREL_DESK");
    data::Query atB(deskB);
    atB.setSql(QStringLiteral("select * from dd.db"));
    atB.open();
    int turns = 0;
    status.onEvents = [&] {
        if (++turns == 300)
            TableFolder::addOrder(atB, batches[TakenAt]);
    };
    const orders::ImportOutcome outcome = run(sheetOf(batches));
    status.onEvents = {};
    EXPECT_EQ(outcome.end, orders::ImportOutcome::End::Failed);
    EXPECT_EQ(outcome.rowsImported, TakenAt);
    EXPECT_EQ(duplicateMessages, 1);
    EXPECT_EQ(failureMessages, 1);
    QStringList mine = batches.mid(0, TakenAt);
    EXPECT_EQ(shown(), mine);
    mine << batches[TakenAt];
    mine.sort();
    EXPECT_EQ(stored(), mine);
    undoLastImport();
    EXPECT_EQ(stored(), QStringList{batches[TakenAt]});
    nextImportStores(5000);
}

// A window reads the table between two rows and so sends the rows held
// back, or takes the answer to the group sent ahead, meeting the taken batch
// number (the program tells that reader's error by itself): the import
// still stops at the row that has it.
TEST_P(ImportBatchesOnTheServer, ATakenBatchNumberMetByAReadInBetweenStillStopsTheImport) {
    struct Case {
        const char* name;
        int readAt;  // the turn of the events the window reads at
    };
    int fresh = 1;
    for (const Case& c : {Case{"rows held back", 300}, Case{"a group sent ahead", Send + 1}}) {
        SCOPED_TRACE(c.name);
        const QStringList batches = keys(fresh, 2 * Send + 10);
        fresh += 2 * Send + 10;
        constexpr int TakenAt = 100;
        query->open();
        const QStringList before = stored();
        storeRows(QStringLiteral("dd.db"), {{{Batch, batches[TakenAt]}}});
        int turns = 0;
        int readerErrors = 0;
        status.onEvents = [&] {
            if (++turns != c.readAt)
                return;
            try {
                openQuery(QStringLiteral("select * from dd.db where 批号 = 'K00001'"));
            } catch (const data::EngineError& e) {
                EXPECT_TRUE(e.isKeyViolation());
                ++readerErrors;
            }
        };
        const orders::ImportOutcome outcome = run(sheetOf(batches));
        status.onEvents = {};
        EXPECT_EQ(readerErrors, 1);
        EXPECT_EQ(outcome.end, orders::ImportOutcome::End::Failed);
        EXPECT_EQ(outcome.rowsImported, TakenAt);
        EXPECT_EQ(duplicateMessages, 1);
        EXPECT_EQ(failureMessages, 1);
        QStringList expected = before + batches.mid(0, TakenAt + 1);
        expected.sort();
        EXPECT_EQ(stored(), expected);
        expected.removeOne(batches[TakenAt]);
        EXPECT_EQ(shown(), expected);
        nextImportStores(50000 + fresh);
    }
}

// The session ends while a group is sent: the rows held back are stored
// once the program has reached the server again, the import ends with its
// failure message, and the result shows what is stored.
TEST_P(ImportBatchesOnTheServer, ALostConnectionWhileAGroupIsSentLeavesWhatIsShownStored) {
    data::PgConnection& connection = serverStoreOf(*engine)->connection();
    connection.setBeforeBatchCommit([&] {
        connection.setBeforeBatchCommit({});
        const QVariant pid(connection.session().backendPid());
        auto admin = data::pg::Session::connect(location, QStringLiteral("admin"));
        admin->run(QStringLiteral("SELECT pg_terminate_backend(?::integer, 60000)"), {pid});
    });
    const QStringList batches = keys(1, Send + 10);
    const orders::ImportOutcome outcome = run(sheetOf(batches));
    EXPECT_EQ(outcome.end, orders::ImportOutcome::End::Failed);
    EXPECT_EQ(failureMessages, 1);
    EXPECT_EQ(duplicateMessages, 0);
    EXPECT_EQ(outcome.rowsImported, Send);
    EXPECT_EQ(stored(), batches.mid(0, Send));
    EXPECT_EQ(shown(), stored());
    nextImportStores(5000);
}

// The session ends just after a group went ahead, its answer not yet
// taken: whatever the server stored of it, and what the import posted
// since, is stored once the program has reached the server again (or named
// as not stored); the import ends with its failure message, the result shows
// what the table holds, in the order of the sheet, and the next import
// stores.
TEST_P(ImportBatchesOnTheServer, ALostConnectionWhileAGroupGoesAheadLeavesWhatIsShownStored) {
    data::PgConnection& connection = serverStoreOf(*engine)->connection();
    const QStringList batches = keys(1, 2 * Send + 10);
    int turns = 0;
    status.onEvents = [&] {
        if (++turns != Send + 1)
            return;
        const QVariant pid(connection.session().backendPid());
        auto admin = data::pg::Session::connect(location, QStringLiteral("admin"));
        admin->run(QStringLiteral("SELECT pg_terminate_backend(?::integer, 60000)"), {pid});
    };
    const orders::ImportOutcome outcome = run(sheetOf(batches));
    status.onEvents = {};
    EXPECT_EQ(outcome.end, orders::ImportOutcome::End::Failed);
    EXPECT_EQ(failureMessages, 1);
    EXPECT_EQ(duplicateMessages, 0);
    const QStringList nowStored = stored();
    EXPECT_GE(nowStored.size(), Send);
    EXPECT_EQ(nowStored, batches.mid(0, nowStored.size()));
    EXPECT_EQ(outcome.rowsImported, nowStored.size());
    EXPECT_EQ(shown(), nowStored);
    nextImportStores(5000);
}

INSTANTIATE_TEST_SUITE_P(Stores, ImportBatchesOnTheServer, ::testing::Values(Store::Server), storeName);

}  // namespace
