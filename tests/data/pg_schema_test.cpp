// The system's tables on a PostgreSQL server: their fields, their keys and
// the notifications their triggers send.
#include "data/server/pg_schema.h"
#include "pg_test_database.h"
#include "qt_printing.h"

#include <QSet>

namespace {

using data::pg::Session;

class PgSchema : public ::testing::Test {
protected:
    void SetUp() override {
        uri = emptyPgDatabase();
        session = Session::connect(uri, QStringLiteral("一号桌"));
    }

    QString uri;
    std::unique_ptr<Session> session;
};

TEST_F(PgSchema, TheTablesAreMadeOnceWithTheirFieldsInOrder) {
    for (const data::TableDef* table : data::allTables())
        EXPECT_FALSE(data::pg::tableExists(*session, table->sqlName));
    data::pg::createTables(*session);

    const std::vector<data::FieldInfo> shoes = data::pg::fieldsOf(*session, QStringLiteral("shoes"));
    QStringList names;
    for (const data::FieldInfo& f : shoes) {
        names << f.name;
        EXPECT_EQ(f.kind, data::FieldKind::Text) << f.name.toStdString();
    }
    EXPECT_EQ(names, QStringList({"鞋的型号", "颜色", "鞋底型号", "供应商", "备注", "顺序"}));

    const std::vector<data::FieldInfo> orders = data::pg::fieldsOf(*session, QStringLiteral("dd"));
    ASSERT_EQ(orders.size(), 26u);
    struct Expected {
        int column;
        const char* name;
        data::FieldKind kind;
    };
    for (const Expected& e : {Expected{0, "批号", data::FieldKind::Text}, Expected{4, "件数", data::FieldKind::Integer},
                              Expected{6, "33", data::FieldKind::Integer}, Expected{21, "48", data::FieldKind::Integer},
                              Expected{23, "已统计", data::FieldKind::Boolean}, Expected{25, "鞋底型号", data::FieldKind::Text}}) {
        EXPECT_EQ(orders[std::size_t(e.column)].name, QString::fromUtf8(e.name));
        EXPECT_EQ(orders[std::size_t(e.column)].kind, e.kind) << e.name;
    }
    EXPECT_EQ(data::pg::fieldsOf(*session, QStringLiteral("xdtj")).size(), 20u);
    EXPECT_TRUE(data::pg::fieldsOf(*session, QStringLiteral("no_such_table")).empty());

    // a new record: its own rowid, version 1, not yet counted
    const data::pg::Result stored = session->run(
        QStringLiteral("INSERT INTO dd (\"批号\") VALUES (?), (?) RETURNING rowid, tavrel_version, \"已统计\""), {"P1", "P2"});
    ASSERT_EQ(stored.rows.size(), 2u);
    EXPECT_NE(stored.rows[0][0], stored.rows[1][0]);
    EXPECT_EQ(stored.rows[0][1], QVariant(qint64(1)));
    EXPECT_EQ(stored.rows[0][2], QVariant(false));

    EXPECT_THROW(data::pg::createTables(*session), data::EngineError);
    EXPECT_EQ(session->run(QStringLiteral("SELECT count(*) FROM dd")).rows.at(0).at(0), QVariant(qint64(2)));
}

// The tables the loops rewrite whole leave room in each page for the rows'
// new versions: made so, or given it where they were made before (with no
// room left, or with the half an earlier release left).
TEST_F(PgSchema, TheTablesTheLoopsRewriteLeaveRoomInTheirPages) {
    const auto options = [&](const char* table) {
        return session
            ->run(QStringLiteral("SELECT coalesce(array_to_string(reloptions, ','), '') FROM pg_class WHERE relname = ?"),
                  {QString::fromLatin1(table)})
            .rows.at(0).at(0).toString();
    };
    data::pg::createTables(*session);
    for (const char* before : {"", "RESET (fillfactor)", "SET (fillfactor=50)"}) {
        SCOPED_TRACE(*before ? before : "made now");
        if (*before) {
            for (const char* table : {"dd", "xdtj"})
                session->exec(QStringLiteral("ALTER TABLE %1 %2").arg(QString::fromLatin1(table), QString::fromLatin1(before)));
            EXPECT_NE(options("dd"), QStringLiteral("fillfactor=40"));
            data::pg::leaveRoomInLoopTables(*session);
        }
        EXPECT_EQ(options("dd"), QStringLiteral("fillfactor=40"));
        EXPECT_EQ(options("xdtj"), QStringLiteral("fillfactor=40"));
        EXPECT_EQ(options("shoes"), QString());
    }
}

// Orders copied from table files carry no desk; the first loop over them
// adds the desk and its token to every row, and each loop after writes
// every row again. Each new version finds room on its row's page (the old
// ones of the loop before pruned away), so that no index takes new entries.
TEST_F(PgSchema, EveryLoopsNewVersionsOfTheOrdersStayOnTheirPages) {
    data::pg::createTables(*session);
    session->exec(QStringLiteral(
        "INSERT INTO dd (\"批号\",\"单号\",\"鞋的型号\",\"颜色\",\"件数\",\"双数\",\"已统计\","
        "\"33\",\"34\",\"35\",\"36\",\"37\",\"38\",\"39\",\"40\",\"41\",\"42\",\"43\",\"44\",\"45\",\"46\",\"47\",\"48\") "
        "SELECT (3000 + i / 100)::text || lpad((i % 100)::text, 3, '0'), (3000 + i / 100)::text, 'M' || (100 + i % 41), '黑', "
        "1 + i % 12, 12, false, 0, 0, 0, 1, 2, 3, 4, 1, 1, 0, 0, 0, 0, 0, 0, 0 FROM generate_series(0, 2999) AS i"));
    struct Loop {
        const char* name;
        const char* sets;
    };
    const Loop loops[] = {
        {"件数相乘", "\"36\"=\"36\"*\"件数\", \"37\"=\"37\"*\"件数\", \"38\"=\"38\"*\"件数\", \"双数\"=\"双数\"*\"件数\""},
        {"标为统计", "\"已统计\"=true"},
        {"鞋底统计", "\"供应商\"='新丰鞋底厂', \"鞋底型号\"='S' || \"鞋的型号\" || '-黑'"},
    };
    for (const Loop& loop : loops) {
        SCOPED_TRACE(loop.name);
        session->exec(QStringLiteral("DROP TABLE IF EXISTS pages"));
        session->exec(QStringLiteral("CREATE TEMP TABLE pages AS SELECT rowid, (ctid::text::point)[0] AS page FROM dd"));
        qint64 updated = 0;
        // In batches, each a transaction of its own, as a loop sends them.
        for (int from = 1; from <= 3000; from += 500)
            updated += session
                           ->run(QStringLiteral("WITH u AS (UPDATE dd SET %1, tavrel_version=tavrel_version+1, tavrel_desk=?, "
                                                "tavrel_desk_token=? WHERE rowid BETWEEN ?::bigint AND ?::bigint RETURNING 1) "
                                                "SELECT count(*) FROM u")
                                     .arg(QString::fromUtf8(loop.sets)),
                                 {QStringLiteral("一号桌"), QStringLiteral("0f8e2c3a-5b7d-4e19-a6c4-2d9b8f1e7a35"),
                                  QVariant(from), QVariant(from + 499)})
                           .rows.at(0).at(0).toLongLong();
        EXPECT_EQ(updated, 3000);
        const data::pg::Result moved = session->run(
            QStringLiteral("SELECT count(*) FROM dd JOIN pages USING (rowid) WHERE (dd.ctid::text::point)[0] <> pages.page"));
        EXPECT_EQ(moved.rows.at(0).at(0).toLongLong(), 0);
    }
}

TEST_F(PgSchema, OneTableThereAlreadyStopsTheOthersBeingMade) {
    for (const QString& statement : data::pg::createTableStatements(data::statisticsTable()))
        session->exec(statement);
    EXPECT_THROW(data::pg::createTables(*session), data::EngineError);
    EXPECT_FALSE(data::pg::tableExists(*session, QStringLiteral("dd")));
    EXPECT_FALSE(data::pg::tableExists(*session, QStringLiteral("shoes")));
    EXPECT_TRUE(data::pg::tableExists(*session, QStringLiteral("xdtj")));
}

TEST_F(PgSchema, BlankAndNoValueAreOneKey) {
    data::pg::createTables(*session);
    struct Case {
        const char* table;
        std::vector<QVariant> first, second;  // the key fields
        bool refused;
    };
    const Case cases[] = {
        {"dd", {"A1"}, {"A1"}, true},
        {"dd", {"A1"}, {"a1"}, false},
        {"dd", {""}, {QVariant()}, true},
        {"dd", {""}, {" "}, false},
        {"shoes", {"8012", QVariant()}, {"8012", ""}, true},
        {"shoes", {QVariant(), "黑"}, {"", "黑"}, true},
        {"shoes", {"8012", "黑"}, {"8012", "棕"}, false},
        {"shoes", {"AB", "C"}, {"A", "BC"}, false},
        {"xdtj", {"S", "X"}, {"S", "X"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + " " + c.first.front().toString().toStdString());
        const QString table = QString::fromUtf8(c.table);
        const QString insert =
            table == QLatin1String("dd")      ? QStringLiteral("INSERT INTO dd (\"批号\") VALUES (?)")
            : table == QLatin1String("shoes") ? QStringLiteral("INSERT INTO shoes (\"鞋的型号\", \"颜色\") VALUES (?, ?)")
                                              : QStringLiteral("INSERT INTO xdtj (\"供应商\", \"鞋底型号\") VALUES (?, ?)");
        session->exec(QStringLiteral("DELETE FROM ") + table);
        session->run(insert, c.first);
        try {
            session->run(insert, c.second);
            EXPECT_FALSE(c.refused) << "stored twice";
        } catch (const data::EngineError& e) {
            EXPECT_TRUE(c.refused) << e.what();
            EXPECT_TRUE(e.isKeyViolation()) << e.what();
        }
    }
}

// The rowids of a payload "<table> <id>,<id>,...", or {"*"}.
QSet<QString> payloadIds(const QString& payload, const QString& table) {
    EXPECT_TRUE(payload.startsWith(table + QLatin1Char(' '))) << payload.toStdString();
    const QStringList ids = payload.mid(table.size() + 1).split(QLatin1Char(','));
    return QSet<QString>(ids.begin(), ids.end());
}

TEST_F(PgSchema, EachChangingStatementNotifiesItsRowsOnce) {
    data::pg::createTables(*session);
    session->run(QStringLiteral("INSERT INTO xdtj (\"双数\") SELECT g FROM generate_series(1, 10) g"));
    auto listener = Session::connect(uri, QStringLiteral("二号桌"));
    listener->exec(QStringLiteral("LISTEN %1").arg(QLatin1String(data::pg::ChangeChannel)));

    struct Case {
        const char* sql;  // RETURNING the rowids it changes
        const char* table;
        bool many;  // notified as "*"
    };
    const Case cases[] = {
        {"INSERT INTO dd (\"批号\") VALUES ('P1') RETURNING rowid", "dd", false},
        {"INSERT INTO dd (\"批号\") VALUES ('P2'), ('P3'), ('P4') RETURNING rowid", "dd", false},
        {"UPDATE dd SET \"件数\" = 5 WHERE \"批号\" IN ('P2', 'P4') RETURNING rowid", "dd", false},
        {"UPDATE dd SET \"件数\" = 5 WHERE \"批号\" = 'none' RETURNING rowid", "dd", false},
        {"DELETE FROM dd WHERE \"批号\" <> 'P1' RETURNING rowid", "dd", false},
        {"UPDATE xdtj SET \"双数\" = \"双数\" + 1 RETURNING rowid", "xdtj", false},
        {"INSERT INTO shoes (\"鞋的型号\") SELECT 'M' || g FROM generate_series(1, 5000) g RETURNING rowid", "shoes",
         true},
        {"DELETE FROM shoes RETURNING rowid", "shoes", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        const data::pg::Result changed = session->run(QString::fromUtf8(c.sql));
        session->run(QStringLiteral("SELECT pg_notify(?, 'marker')"), {QString::fromLatin1(data::pg::ChangeChannel)});
        const std::vector<data::pg::Notification> received = pgNotificationsUntil(*listener, QStringLiteral("marker"));
        if (changed.rows.empty()) {
            EXPECT_TRUE(received.empty());
            continue;
        }
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].channel, QString::fromLatin1(data::pg::ChangeChannel));
        EXPECT_EQ(received[0].senderPid, session->backendPid());
        const QString table = QString::fromUtf8(c.table);
        if (c.many) {
            EXPECT_EQ(received[0].payload, table + QStringLiteral(" *"));
            continue;
        }
        QSet<QString> expected;
        for (const data::pg::ResultRow& row : changed.rows)
            expected.insert(row.at(0).toString());
        EXPECT_EQ(payloadIds(received[0].payload, table), expected) << received[0].payload.toStdString();
    }
}

}  // namespace
