// A table file whose log another program removed while the program had it
// open (it can, once something in the program has closed a descriptor of
// the file and so given up SQLite's locks): the next command takes the
// table back and stores, and writes that may have gone astray are named.

#include "data/table_fixture.h"

#include <QFile>
#include <sqlite3.h>

namespace {

// The batch numbers stored in dd.db, read by a connection of their own.
QStringList storedBatches(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    QStringList batches;
    sqlite3_prepare_v2(db, "SELECT \"批号\" FROM dd ORDER BY rowid", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        batches << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return batches;
}

// What another program does when it ends as the last user of the table as
// far as it can tell: folds the log into the table and removes it.
void takeTheLogAway(const QString& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ASSERT_TRUE(QFile::remove(path + QStringLiteral("-wal")));
    QFile::remove(path + QStringLiteral("-shm"));
}

class TableLog : public TableFixture {
protected:
    void SetUp() override {
        orders = openQuery(QStringLiteral("select * from dd.db"));
        path = dir.filePath(QStringLiteral("dd.db"));
        addOrder(*orders, QStringLiteral("A1"));
        ASSERT_EQ(storedBatches(path), QStringList{QStringLiteral("A1")});
    }

    // Appends orders in one bulk loop, the log taken away after `takenAfter`
    // of them (never when negative).
    void addInOneLoop(const QStringList& batches, int takenAfter) {
        data::BusyScope busy(*orders);
        for (int i = 0; i < batches.size(); ++i) {
            addOrder(*orders, batches[i]);
            if (i + 1 == takenAfter)
                takeTheLogAway(path);
        }
    }

    std::unique_ptr<data::Query> orders;
    QString path;
};

TEST_F(TableLog, TakenAwayBetweenCommandsTheNextOnesStore) {
    takeTheLogAway(path);
    addOrder(*orders, QStringLiteral("A2"));  // a post of its own
    EXPECT_EQ(storedBatches(path), (QStringList{QStringLiteral("A1"), QStringLiteral("A2")}));

    takeTheLogAway(path);
    addInOneLoop({QStringLiteral("B1"), QStringLiteral("B2")}, -1);
    EXPECT_EQ(storedBatches(path),
              (QStringList{QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("B1"), QStringLiteral("B2")}));
    EXPECT_EQ(orders->recordCount(), 4);
}

TEST_F(TableLog, TakenAwayDuringALoopTheLossIsNamedAndTheNextCommandStores) {
    try {
        addInOneLoop({QStringLiteral("C1"), QStringLiteral("C2"), QStringLiteral("C3")}, 1);
        ADD_FAILURE() << "the loop reported success";
    } catch (const data::EngineError& error) {
        EXPECT_EQ(error.kind(), data::ErrorKind::LogTakenAway);
        EXPECT_EQ(error.subject(), path);
    }
    // The loop's rows were not yet committed when the log was folded in:
    // they went astray, and the loop said so instead of reporting success.
    EXPECT_EQ(storedBatches(path), QStringList{QStringLiteral("A1")});

    addInOneLoop({QStringLiteral("D1")}, -1);
    addOrder(*orders, QStringLiteral("D2"));
    EXPECT_EQ(storedBatches(path), (QStringList{QStringLiteral("A1"), QStringLiteral("D1"), QStringLiteral("D2")}));
}

}  // namespace
