// What the engine and everything above it learn from a store, asked the same
// way on both: which tables it holds, where its files are, whether it has a
// journal, and the news of other desks' writes reaching the right results.
#include "table_fixture.h"

#include "data/core/errors.h"
#include "data/core/store.h"

#include <QDir>
#include <QFile>

namespace {

using data::Query;

class StoreSeam : public StoreFixture {
protected:
    bool onServer() const { return GetParam() == Store::Server; }
};

TAVREL_ON_BOTH_STORES(StoreSeam);

TEST_P(StoreSeam, TablesAreFoundByTheirNamesInAnyCase) {
    const struct {
        const char* name;
        bool held;
    } cases[] = {
        {"dd.db", true},
        {"DD.DB", true},
        {"XdTJ.db", true},
        {"shoes.db", true},
        {"dd", false},
        {"other.db", false},
        {"../dd.db", false},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromUtf8(c.name);
        EXPECT_EQ(engine->hasTable(name), c.held) << c.name;
        if (c.held) {
            EXPECT_NO_THROW(engine->table(name)) << c.name;
            continue;
        }
        try {
            engine->table(name);
            ADD_FAILURE() << c.name << " opened";
        } catch (const data::EngineError& e) {
            EXPECT_EQ(e.kind(), data::ErrorKind::MissingTable) << c.name;
            EXPECT_EQ(e.subject(), name);
        }
    }
}

// The folder lock and the free-space check work on the folder of files; a
// server has none on this computer.
TEST_P(StoreSeam, OnlyTableFilesHaveAFolderToHoldAndAJournalFileToLackAtFirst) {
    data::Store& store = engine->store();
    EXPECT_EQ(store.location(), engine->location());
    if (onServer()) {
        EXPECT_TRUE(store.folder().isEmpty());
        EXPECT_TRUE(store.hasUndoJournal());
        EXPECT_FALSE(engine->holdsFile(QDir(dir.path()).filePath(QStringLiteral("dd.db"))));
        return;
    }
    EXPECT_EQ(QDir(store.folder()), QDir(dir.path()));
    EXPECT_FALSE(store.hasUndoJournal());
    engine->undoJournal().entries();
    EXPECT_TRUE(store.hasUndoJournal());
    engine->table(QStringLiteral("DD.DB"));
    const QDir folder(dir.path());
    const struct {
        const char* file;
        bool held;
    } files[] = {
        {"dd.db", true}, {"dd.db-wal", true}, {"undo.db", true}, {"shoes.db", false}, {"notes.txt", false}};
    for (const auto& f : files) {
        QFile touched(folder.filePath(QString::fromUtf8(f.file)));
        if (!touched.exists()) {
            ASSERT_TRUE(touched.open(QIODevice::WriteOnly));
            touched.close();
        }
        EXPECT_EQ(engine->holdsFile(touched.fileName()), f.held) << f.file;
    }
}

// News of another desk's writes reaches the results on that table only, and
// marks the record being edited when it is among the records written.
TEST_P(StoreSeam, OthersWritesReachTheResultsOnTheirTable) {
    auto orders = openQuery(QStringLiteral("select * from dd.db"));
    addOrder(*orders, QStringLiteral("B1"));
    addOrder(*orders, QStringLiteral("B2"));
    orders->first();
    const qint64 editedId = orders->rowIds().front();
    orders->edit();

    const struct {
        const char* table;
        QList<qint64> ids;
        bool everyRecord;
        bool ordersMarked;
    } cases[] = {
        {"shoes.db", {editedId}, false, false},
        {"dd.db", {editedId + 1000}, false, false},
        {"DD.DB", {editedId}, false, true},
        {"dd.db", {}, true, true},
    };
    for (const auto& c : cases) {
        orders->cancel();
        orders->edit();
        ASSERT_FALSE(orders->isChangedElsewhere());
        emit engine->store().othersWrote(QString::fromUtf8(c.table), c.ids, c.everyRecord);
        EXPECT_EQ(orders->isChangedElsewhere(), c.ordersMarked) << c.table << " " << c.everyRecord;
    }
}

// Once the store is reached again, results not being edited are read anew
// and show what was stored meanwhile; a result being edited keeps its record
// and is told that it may have changed.
TEST_P(StoreSeam, AfterAReconnectResultsAreReadAgainExceptTheOneBeingEdited) {
    auto shown = openQuery(QStringLiteral("select * from dd.db"));
    auto edited = openQuery(QStringLiteral("select * from dd.db"));
    addOrder(*edited, QStringLiteral("B1"));
    shown->open();
    ASSERT_EQ(shown->recordCount(), 1);
    edited->first();
    edited->edit();
    {
        data::Engine elsewhere(engine->location());
        Query other(elsewhere);
        other.setSql(QStringLiteral("select * from dd.db"));
        other.open();
        addOrder(other, QStringLiteral("B2"));
    }
    emit engine->store().reconnected();
    EXPECT_EQ(shown->recordCount(), 2);
    EXPECT_TRUE(edited->isEditing());
    EXPECT_TRUE(edited->isChangedElsewhere());
    EXPECT_EQ(edited->recordCount(), 1);
}

}  // namespace
