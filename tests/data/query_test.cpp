#include "table_fixture.h"

#include <QFile>
#include <QSignalSpy>
#include <sqlite3.h>

namespace {

using data::Query;

class LiveQuery : public StoreFixture {
protected:
    void addOrders(Query& q, int n, int from = 1) {
        for (int i = from; i < from + n; ++i)
            addOrder(q, QStringLiteral("P%1").arg(i, 4, 10, QLatin1Char('0')), {{QStringLiteral("件数"), i}});
    }
};

TAVREL_ON_BOTH_STORES(LiveQuery);

TEST_P(LiveQuery, DuplicateKeysAreRefusedWithTheKeyViolationCode) {
    struct Case {
        const char* sql;
        QList<QPair<QString, QVariant>> first, second;
        bool refused;
    };
    const Case cases[] = {
        {"select * from dd.db", {{"批号", "A1"}}, {{"批号", "A1"}}, true},
        {"select * from dd.db", {{"批号", "A1"}}, {{"批号", "a1"}}, false},
        {"select * from shoes.db", {{"鞋的型号", "M1"}, {"颜色", "黑"}}, {{"鞋的型号", "M1"}, {"颜色", "黑"}}, true},
        {"select * from shoes.db", {{"鞋的型号", "M1"}, {"颜色", "黑"}}, {{"鞋的型号", "M1"}, {"颜色", "棕"}}, false},
        // the key is the pair, not the joined sequence
        {"select * from shoes.db", {{"鞋的型号", "AB"}, {"颜色", "C"}, {"顺序", "ABC"}},
         {{"鞋的型号", "A"}, {"颜色", "BC"}, {"顺序", "ABC"}}, false},
        {"select * from xdtj.db", {{"鞋底型号", "X"}, {"供应商", "S"}}, {{"鞋底型号", "X"}, {"供应商", "S"}}, false},
        // a blank key is one value: empty text is stored as no value
        {"select * from dd.db", {{"批号", ""}}, {{"批号", ""}}, true},
        {"select * from dd.db", {{"单号", "100"}}, {{"批号", ""}}, true},
        {"select * from dd.db", {{"批号", ""}}, {{"批号", " "}}, false},
        {"select * from shoes.db", {{"鞋的型号", "8012"}}, {{"鞋的型号", "8012"}, {"颜色", ""}}, true},
        {"select * from shoes.db", {{"颜色", "黑"}}, {{"鞋的型号", ""}, {"颜色", "黑"}}, true},
        {"select * from shoes.db", {{"备注", "x"}}, {{"备注", "y"}}, true},
        {"select * from shoes.db", {{"鞋的型号", "8012"}}, {{"鞋的型号", "8012"}, {"颜色", "黑"}}, false},
        {"select * from shoes.db", {{"颜色", "8012"}}, {{"鞋的型号", "8012"}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        QTemporaryDir caseDir;
        data::createTables(caseDir.path());
        data::Engine caseEngine(caseDir.path());
        auto q = std::make_unique<Query>(caseEngine);
        q->setSql(QString::fromUtf8(c.sql));
        q->open();
        auto put = [&](const QList<QPair<QString, QVariant>>& fields) {
            q->append();
            for (const auto& [name, value] : fields)
                q->field(name).setValue(value);
            q->post();
        };
        put(c.first);
        if (c.refused) {
            try {
                put(c.second);
                ADD_FAILURE() << "second record stored";
            } catch (const data::EngineError& e) {
                EXPECT_EQ(e.code(), 9729);
                EXPECT_TRUE(e.isKeyViolation());
                EXPECT_EQ(q->state(), Query::State::Insert);  // the record stays pending
            }
        } else {
            EXPECT_NO_THROW(put(c.second));
        }
    }
}

TEST(EngineErrors, OtherFailuresAreNotKeyViolations) {
    data::EngineError e(QStringLiteral("disk I/O error"), 10);
    EXPECT_FALSE(e.isKeyViolation());
    EXPECT_STREQ(e.what(), "disk I/O error");
}

TEST_P(LiveQuery, TableNamesAreMatchedWithoutRegardToCase) {
    auto lower = openQuery(QStringLiteral("select * from xdtj.db"));
    lower->append();
    lower->field(QStringLiteral("供应商")).setText(QStringLiteral("S"));
    lower->post();
    auto mixed = openQuery(QStringLiteral("select * from XdTJ.db"));
    EXPECT_EQ(mixed->recordCount(), 1);
    EXPECT_EQ(mixed->field(QStringLiteral("供应商")).asText(), QStringLiteral("S"));
}

TEST_P(LiveQuery, DeletingRecordCountTimesEmptiesTheResult) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*q, 7);
    q->setSql(QStringLiteral("select * from dd.db where 件数='3' or 件数='4' or 件数='6'"));
    q->open();
    const int n = q->recordCount();
    ASSERT_EQ(n, 3);
    q->first();
    for (int i = 0; i < n; ++i) {
        q->remove();
        q->next();
    }
    EXPECT_EQ(q->recordCount(), 0);
    EXPECT_TRUE(q->eof());
    q->setSql(QStringLiteral("select * from dd.db"));
    q->open();
    EXPECT_EQ(column(*q, QStringLiteral("件数")).join(','), QStringLiteral("1,2,5,7"));
}

TEST_P(LiveQuery, DeleteMakesTheFollowingRecordCurrentOrThePreviousAtTheEnd) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*q, 3);
    q->moveTo(2);
    q->remove();
    EXPECT_EQ(q->field(QStringLiteral("批号")).asText(), QStringLiteral("P0003"));
    q->remove();
    EXPECT_EQ(q->field(QStringLiteral("批号")).asText(), QStringLiteral("P0001"));
    EXPECT_EQ(q->recNo(), 1);
}

TEST_P(LiveQuery, MarkingANotCountedResultVisitsEachRecordOnce) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*q, 150);  // more rows than one read brings in
    q->setSql(QStringLiteral("select * from dd.db where 已统计=false"));
    q->open();
    ASSERT_EQ(q->recordCount(), 150);
    int visited = 0;
    qint64 sum = 0;
    for (q->first(); !q->eof(); q->next()) {
        ++visited;
        sum += q->field(QStringLiteral("件数")).asInteger();
        q->edit();
        q->field(QStringLiteral("已统计")).setBoolean(true);
        q->post();
        EXPECT_EQ(q->recNo(), visited);  // the cursor stays on the posted record
    }
    EXPECT_EQ(visited, 150);
    EXPECT_EQ(sum, 150 * 151 / 2);
    EXPECT_EQ(q->recordCount(), 150);  // changed records stay until the next open
    q->open();
    EXPECT_EQ(q->recordCount(), 0);
}

TEST_P(LiveQuery, IntegerFieldsTakeOnlyWholeNumbers) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    q->append();
    struct Case {
        QVariant written;
        QVariant stored;  // invalid: no value
        const char* error;
    };
    const Case cases[] = {
        {QStringLiteral("25"), qint64(25), nullptr},
        {QStringLiteral(" 7 "), qint64(7), nullptr},
        {QStringLiteral("-3"), qint64(-3), nullptr},
        {QStringLiteral(""), QVariant(), nullptr},
        {QStringLiteral("2.5"), QVariant(), "'2.5' is not a valid integer value"},
        {QStringLiteral("abc"), QVariant(), "'abc' is not a valid integer value"},
        {12.5, qint64(12), nullptr},  // halves go to the even neighbour
        {17.5, qint64(18), nullptr},
        {2.4, qint64(2), nullptr},
        {true, qint64(1), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written.toString().toStdString());
        q->field(QStringLiteral("件数")).clear();
        if (c.error) {
            try {
                q->field(QStringLiteral("件数")).setValue(c.written);
                ADD_FAILURE() << "accepted";
            } catch (const data::EngineError& e) {
                EXPECT_EQ(e.message(), QString::fromUtf8(c.error));
                EXPECT_EQ(e.kind(), data::ErrorKind::NotWholeNumber);
                EXPECT_EQ(e.subject(), QStringLiteral("件数"));
                EXPECT_EQ(e.value(), c.written.toString());
            }
        } else {
            q->field(QStringLiteral("件数")).setValue(c.written);
            EXPECT_EQ(q->field(QStringLiteral("件数")).value(), c.stored);
        }
    }
}

// A rule that posts a number it worked out changes the field only when the
// number differs; a field without a value gets the number, 0 included.
TEST_P(LiveQuery, ANumberTheFieldHoldsAlreadyIsNotSetAgain) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    const struct {
        QVariant stored;  // invalid: no value
        qint64 set;
        bool changed;
    } cases[] = {
        {qint64(5), 5, false},
        {qint64(5), 6, true},
        {QVariant(), 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString() + " <- " + std::to_string(c.set));
        q->append();
        q->field(QStringLiteral("件数")).setValue(c.stored);
        QSignalSpy changes(q.get(), &Query::fieldChanged);
        q->field(QStringLiteral("件数")).setIntegerIfChanged(c.set);
        EXPECT_EQ(changes.count(), c.changed ? 1 : 0);
        EXPECT_EQ(q->field(QStringLiteral("件数")).value(), QVariant(c.set));
        q->cancel();
    }
}

TEST_P(LiveQuery, EmptyTextIsStoredAsNoValue) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrder(*q, QStringLiteral("A"), {{QStringLiteral("颜色"), QStringLiteral("")}, {QStringLiteral("备注"), QStringLiteral("x")}});
    q->edit();
    q->field(QStringLiteral("备注")).setText(QString());
    q->post();
    q->open();
    EXPECT_TRUE(q->field(QStringLiteral("颜色")).isNull());
    EXPECT_TRUE(q->field(QStringLiteral("备注")).isNull());
    EXPECT_EQ(q->field(QStringLiteral("件数")).asInteger(), 0);
    EXPECT_FALSE(q->field(QStringLiteral("已统计")).asBoolean());
}

TEST_P(LiveQuery, InsertGoesBeforeTheCurrentRecordAndAppendAtTheEnd) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*q, 3);
    q->moveTo(2);
    addOrder(*q, QStringLiteral("X"));  // append
    q->moveTo(2);
    q->insert();
    q->field(QStringLiteral("批号")).setText(QStringLiteral("I"));
    q->post();
    EXPECT_EQ(q->recNo(), 2);
    EXPECT_EQ(column(*q, QStringLiteral("批号")).join(','), QStringLiteral("P0001,I,P0002,P0003,X"));
    EXPECT_EQ(q->recordCount(), 5);
    // On reopening, the result is in table order again.
    q->open();
    EXPECT_EQ(column(*q, QStringLiteral("批号")).join(','), QStringLiteral("P0001,P0002,P0003,X,I"));
}

TEST_P(LiveQuery, MovingDropsAnUntouchedNewRecordAndPostsATouchedOne) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*q, 2);
    q->append();
    EXPECT_EQ(q->rowCount(), 3);
    q->first();  // nothing typed: the new row goes away
    EXPECT_EQ(q->rowCount(), 2);
    EXPECT_EQ(q->state(), Query::State::Browse);

    q->last();
    q->edit();
    q->field(QStringLiteral("备注")).setText(QStringLiteral("改"));
    q->prior();  // typed: posted
    q->open();
    q->last();
    EXPECT_EQ(q->field(QStringLiteral("备注")).asText(), QStringLiteral("改"));
}

TEST_P(LiveQuery, CancelRestoresTheStoredRecord) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*q, 2);
    q->first();
    q->edit();
    q->field(QStringLiteral("件数")).setInteger(99);
    EXPECT_EQ(q->field(QStringLiteral("件数")).asInteger(), 99);
    q->cancel();
    EXPECT_EQ(q->field(QStringLiteral("件数")).asInteger(), 1);
    q->append();
    q->cancel();
    EXPECT_EQ(q->rowCount(), 2);
    EXPECT_EQ(q->recNo(), 2);
}

TEST_P(LiveQuery, BeforePostHookChangesWhatIsStored) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    int calls = 0;
    q->setBeforePost([&](Query& query) {
        ++calls;
        query.field(QStringLiteral("双数")).setInteger(query.field(QStringLiteral("33")).asInteger() * 2);
    });
    addOrder(*q, QStringLiteral("A"), {{QStringLiteral("33"), 4}, {QStringLiteral("双数"), 99}});
    q->open();
    EXPECT_EQ(q->field(QStringLiteral("双数")).asInteger(), 8);
    EXPECT_EQ(calls, 1);
}

TEST_P(LiveQuery, PostErrorHookChoosesBetweenFailingAndASilentAbort) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrder(*q, QStringLiteral("A"));
    int shown = 0;
    q->setPostErrorHook([&](Query&, const data::EngineError& e) {
        ++shown;
        return e.isKeyViolation() ? Query::PostErrorAction::Abort : Query::PostErrorAction::Fail;
    });
    q->append();
    q->field(QStringLiteral("批号")).setText(QStringLiteral("A"));
    EXPECT_THROW(q->post(), data::SilentAbort);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(q->state(), Query::State::Browse);
    EXPECT_EQ(q->rowCount(), 1);  // the new row is gone, the stored one unchanged
    EXPECT_EQ(q->field(QStringLiteral("批号")).asText(), QStringLiteral("A"));

    // An edit that collides is cancelled back to its stored values.
    addOrder(*q, QStringLiteral("B"));
    q->edit();
    q->field(QStringLiteral("批号")).setText(QStringLiteral("A"));
    EXPECT_THROW(q->post(), data::SilentAbort);
    EXPECT_EQ(q->field(QStringLiteral("批号")).asText(), QStringLiteral("B"));

    // A hook that lets it fail leaves the record pending.
    q->setPostErrorHook([](Query&, const data::EngineError&) { return Query::PostErrorAction::Fail; });
    q->append();
    q->field(QStringLiteral("批号")).setText(QStringLiteral("A"));
    EXPECT_THROW(q->post(), data::EngineError);
    EXPECT_EQ(q->state(), Query::State::Insert);
    q->field(QStringLiteral("批号")).setText(QStringLiteral("C"));
    EXPECT_NO_THROW(q->post());
}

TEST_P(LiveQuery, TwoQueriesOnOneTableSeeEachOthersWrites) {
    auto a = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*a, 2);
    auto b = openQuery(QStringLiteral("select * from dd.db"));
    EXPECT_EQ(b->field(QStringLiteral("件数")).asInteger(), 1);  // cached now
    a->first();
    a->edit();
    a->field(QStringLiteral("件数")).setInteger(50);
    a->post();
    EXPECT_EQ(b->field(QStringLiteral("件数")).asInteger(), 50);
}

TEST_P(LiveQuery, ChangingTheStatementClosesTheResult) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    QSignalSpy closed(q.get(), &Query::activeChanged);
    q->clearSql();
    EXPECT_FALSE(q->isOpen());
    ASSERT_EQ(closed.size(), 1);
    EXPECT_FALSE(closed.at(0).at(0).toBool());
    q->addSql(QStringLiteral("select * from dd.db"));
    q->addSql(QStringLiteral("where 已统计=false"));
    q->open();
    EXPECT_TRUE(q->isOpen());
    EXPECT_TRUE(q->eof());  // an empty result is at its end at once
    EXPECT_TRUE(q->bof());
    EXPECT_EQ(q->recNo(), 0);
}

TEST_P(LiveQuery, WritingOutsideEditIsRefused) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*q, 1);
    EXPECT_THROW(q->field(QStringLiteral("件数")).setInteger(3), data::EngineError);
    EXPECT_THROW(q->field(QStringLiteral("没有")), data::EngineError);
}

TEST_P(LiveQuery, FieldsOfEveryTableHaveTheirKinds) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    EXPECT_EQ(q->fieldCount(), 26);
    EXPECT_EQ(q->field(QStringLiteral("批号")).kind(), data::FieldKind::Text);
    EXPECT_EQ(q->field(QStringLiteral("48")).kind(), data::FieldKind::Integer);
    EXPECT_EQ(q->field(QStringLiteral("已统计")).kind(), data::FieldKind::Boolean);
    auto shoes = openQuery(QStringLiteral("select * from shoes.db"));
    EXPECT_EQ(shoes->fieldCount(), 6);
    auto stats = openQuery(QStringLiteral("select * from xdtj.db"));
    EXPECT_EQ(stats->fieldCount(), 20);
}

class TableFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
};

TEST_F(TableFiles, AMissingOrForeignFileIsAnEngineErrorNamingIt) {
    data::createTables(dir.path(), {&data::shoesTable()});
    QFile foreign(dir.filePath(QStringLiteral("dd.db")));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write(QByteArray(4096, '\x03'));  // an old-format table copied from elsewhere
    foreign.close();
    data::Engine engine(dir.path());
    struct Case {
        const char* table;
        const char* fragment;
        data::ErrorKind kind;
    };
    const Case cases[] = {
        {"xdtj.db", "\"xdtj.db\" does not exist", data::ErrorKind::MissingTable},
        {"dd.db", "is not an SQLite database", data::ErrorKind::ForeignTable},
    };
    for (const Case& c : cases) {
        try {
            engine.table(QString::fromUtf8(c.table));
            ADD_FAILURE() << c.table;
        } catch (const data::EngineError& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.table;
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.table)));
        }
    }
    EXPECT_NO_THROW(engine.table(QStringLiteral("SHOES.DB")));
}

// A file of an earlier release, whose key let records without a value repeat,
// holding the given records.
void makeOldKey(const QString& path, const data::TableDef& table, const QString& records) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const QString sql = QStringLiteral("DROP INDEX %1; DROP INDEX %2; CREATE UNIQUE INDEX %1 ON %3 (%4); %5")
                            .arg(data::quotedIdentifier(table.keyIndexName()),
                                 data::quotedIdentifier(table.sqlName + QStringLiteral("_lookup")),
                                 data::quotedIdentifier(table.sqlName), data::quotedIdentifier(table.uniqueKey.front()),
                                 records);
    EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST_F(TableFiles, OldKeysAreBroughtUpToDateUnlessRecordsClash) {
    data::createTables(dir.path());
    makeOldKey(dir.filePath(QStringLiteral("dd.db")), data::ordersTable(),
               QStringLiteral("INSERT INTO dd (批号) VALUES ('A1'), (NULL), ('A2'), (NULL);"));
    const QString batch = QStringLiteral("批号");
    // Two blank batch numbers: the key stays as it was, nothing is deleted,
    // the clash names both records.
    {
        data::Engine engine(dir.path());
        data::Query q(engine);
        q.setSql(QStringLiteral("select * from dd.db"));
        q.open();
        EXPECT_EQ(q.recordCount(), 4);
        ASSERT_EQ(engine.keyClashes().size(), 1u);
        const data::KeyClash& clash = engine.keyClashes().front();
        EXPECT_EQ(clash.fileName, QStringLiteral("dd.db"));
        EXPECT_EQ(clash.keyFields, QStringList{batch});
        EXPECT_EQ(clash.keyValues, QStringList{QString()});
        EXPECT_EQ(clash.recordNos, (std::vector<qint64>{2, 4}));
        // Mended by the clerk: the blank becomes a batch number.
        q.moveTo(4);
        q.edit();
        q.field(batch).setText(QStringLiteral("A3"));
        q.post();
    }
    data::Engine engine(dir.path());
    data::Query q(engine);
    q.setSql(QStringLiteral("select * from dd.db"));
    q.open();
    EXPECT_TRUE(engine.keyClashes().empty());
    EXPECT_EQ(q.recordCount(), 4);
    q.append();
    q.field(batch).setText(QString());
    EXPECT_THROW(q.post(), data::EngineError);  // the new key holds
}

TEST_F(TableFiles, CreatingRefusesToOverwrite) {
    data::createTables(dir.path());
    EXPECT_THROW(data::createTables(dir.path()), data::EngineError);
    EXPECT_THROW(data::createTables(dir.path(), {&data::ordersTable()}), data::EngineError);
}

}  // namespace

namespace {

TEST_P(LiveQuery, BusyScopesNestAndEndHoweverTheyEnd) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    QSignalSpy spy(q.get(), &data::Query::busyChanged);
    try {
        data::BusyScope outer(*q);
        {
            data::BusyScope inner(*q);
            EXPECT_TRUE(q->isBusy());
        }
        EXPECT_TRUE(q->isBusy());
        throw data::SilentAbort();
    } catch (const data::SilentAbort&) {
    }
    EXPECT_FALSE(q->isBusy());
    ASSERT_EQ(spy.size(), 2);
    EXPECT_TRUE(spy.at(0).at(0).toBool());
    EXPECT_FALSE(spy.at(1).at(0).toBool());
}

}  // namespace

namespace {

// What another program (another connection) finds in the order table.
int ordersSeenFromOutside(const QString& dir, const QString& where = QStringLiteral("1=1")) {
    data::Engine other(dir);
    data::Query q(other);
    q.setSql(QStringLiteral("select * from dd.db where ") + where);
    q.open();
    return q.recordCount();
}

TEST_P(LiveQuery, WritesOfABusyLoopAreAllStoredWhenItEndsHoweverItEnds) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*q, 20);
    struct Case {
        const char* name;
        int failAt;  // 0: the loop runs through
    };
    for (const Case& c : {Case{"completed", 0}, Case{"failed midway", 8}}) {
        SCOPED_TRACE(c.name);
        for (q->first(); !q->eof(); q->next()) {
            q->edit();
            q->field(QStringLiteral("已统计")).setBoolean(false);
            q->post();
        }
        int marked = 0;
        try {
            data::BusyScope busy(*q);
            for (q->first(); !q->eof(); q->next()) {
                if (c.failAt && marked == c.failAt)
                    throw data::EngineError(QStringLiteral("disk full"));
                q->edit();
                q->field(QStringLiteral("已统计")).setBoolean(true);
                q->post();
                ++marked;
                // The loop's own engine sees every write at once.
                auto inside = openQuery(QStringLiteral("select * from dd.db where 已统计=true"));
                EXPECT_EQ(inside->recordCount(), marked);
            }
        } catch (const data::EngineError&) {
        }
        EXPECT_EQ(ordersSeenFromOutside(engine->location(), QStringLiteral("已统计=true")), c.failAt ? c.failAt : 20);
    }
}

}  // namespace

namespace {

// SQLite gives up a whole transaction when the disk fills up: the orders a
// busy loop stored before the failure are written again and kept.
class FullDisk : public TableFixture {
protected:
    void addOrders(Query& q, int n) {
        for (int i = 1; i <= n; ++i)
            addOrder(q, QStringLiteral("P%1").arg(i, 4, 10, QLatin1Char('0')));
    }
};

TEST_F(FullDisk, ABusyLoopKeepsWhatItStoredBeforeTheDiskFilledUp) {
    auto q = openQuery(QStringLiteral("select * from dd.db"));
    addOrders(*q, 1);
    data::Connection& connection = *engine->table(QStringLiteral("dd.db"))->connection;
    data::Statement& pages = connection.prepare(QStringLiteral("PRAGMA page_count"));
    ASSERT_TRUE(pages.step());
    const qint64 pageCount = pages.columnInt(0);
    pages.reset();
    connection.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pageCount + 2));
    int stored = 1;
    try {
        data::BusyScope busy(*q);
        for (int i = 2; i < 5000; ++i) {
            addOrder(*q, QStringLiteral("P%1").arg(i, 4, 10, QLatin1Char('0')),
                     {{QStringLiteral("备注"), QString(60, QLatin1Char('x'))}});
            ++stored;
        }
        ADD_FAILURE() << "the disk never filled up";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.code() & 0xff, 13) << e.message().toStdString();  // SQLITE_FULL
    }
    ASSERT_GT(stored, 2);
    EXPECT_EQ(ordersSeenFromOutside(dir.path()), stored);
    EXPECT_EQ(q->recordCount(), stored);
}

}  // namespace

namespace {

// A record deleted through another query while this one edits it is not
// "stored" into nothing: the clerk is asked, and keeping it stores it again.
TEST_P(LiveQuery, PostingARecordDeletedMeanwhileAsksAndCanStoreItAgain) {
    for (const data::ConflictChoice choice : {data::ConflictChoice::KeepMine, data::ConflictChoice::TakeTheirs}) {
        auto writer = openQuery(QStringLiteral("select * from dd.db"));
        while (!writer->isEmpty())
            writer->remove();
        addOrders(*writer, 2);
        auto reader = openQuery(QStringLiteral("select * from dd.db"));
        reader->edit();
        reader->field(QStringLiteral("件数")).setInteger(7);
        writer->first();
        writer->remove();
        int asked = 0;
        engine->setConflictResolver([&](const data::Conflict& conflict) {
            ++asked;
            EXPECT_TRUE(conflict.gone());
            return choice;
        });
        reader->post();
        EXPECT_EQ(asked, 1);
        const QStringList batches = column(*openQuery(QStringLiteral("select * from dd.db where 件数=7")), QStringLiteral("批号"));
        EXPECT_EQ(batches, choice == data::ConflictChoice::KeepMine ? QStringList{QStringLiteral("P0001")} : QStringList{});
    }
}

}  // namespace
