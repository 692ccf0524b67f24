// A loop's next range of records read ahead on the server: used when it is
// as a read now would find it, read again when the loop wrote a record of it
// since or when its answer was lost with the session.
#include "table_fixture.h"

#include "server_news.h"

#include "data/core/open_table.h"
#include "data/server/pg_connection.h"
#include "data/server/pg_session.h"
#include "data/server_store_of.h"

#include <QObject>
#include <map>

namespace {

// The orders C1..C100, C<n> with n cases.
class ServerReadAhead : public ::testing::Test {
public:
    ServerReadAhead() : desk((ensureNewsCanArrive(), Store::Server)) {
        connection().run(QStringLiteral("INSERT INTO dd (\"批号\", \"件数\") SELECT 'C' || n, n FROM generate_series(1, 100) AS n"));
        orders = desk.openQuery(QStringLiteral("select * from dd.db"));
    }

    data::PgConnection& connection() { return serverStoreOf(*desk.engine)->connection(); }
    const data::OpenTable& table() { return *desk.engine->table(QStringLiteral("dd.db")); }

    // The cases of each order, read as a loop reads a range.
    std::map<QString, qint64> readRange(qint64 firstId, qint64 lastId) {
        data::Statement& st = connection().prepareRowRead(table(), 0);
        st.bindInt(1, firstId);
        st.bindInt(2, lastId);
        std::map<QString, qint64> cases;
        const int batch = table().fieldIndex(QStringLiteral("批号")) + 1, count = table().fieldIndex(QStringLiteral("件数")) + 1;
        while (st.step())
            cases[st.column(batch).toString()] = st.column(count).toLongLong();
        st.reset();
        return cases;
    }

    void setCases(const QString& batch, qint64 cases) {
        auto other = desk.openQuery(QStringLiteral("select * from dd.db where 批号='%1'").arg(batch));
        other->edit();
        other->field(QStringLiteral("件数")).setInteger(cases);
        other->post();
    }

    // Another desk sets the cases of an order; this desk hears of it.
    void otherDeskSets(const QString& batch, qint64 cases) {
        qputenv("TAVREL_DESK", "B 台");
        data::Engine deskB(desk.location);
        qunsetenv("TAVREL_DESK");
        data::Query q(deskB);
        q.setSql(QStringLiteral("select * from dd.db where 批号='%1'").arg(batch));
        q.open();
        q.edit();
        q.field(QStringLiteral("件数")).setInteger(cases);
        q.post();
        bool heard = false;
        QObject listening;
        QObject::connect(&desk.engine->store(), &data::Store::othersWrote, &listening, [&] { heard = true; });
        EXPECT_TRUE(hearServerNews(desk.engine->store(), [&] { return heard; }));
    }

    TableFolder desk;
    std::unique_ptr<data::Query> orders;
};

TEST_F(ServerReadAhead, TheRangeIsReadAsItIsWhenTheLoopGetsToIt) {
    const struct {
        const char* what;
        std::function<void(ServerReadAhead&)> meanwhile;
        std::map<QString, qint64> changed;  // the orders read otherwise than stored at first
        bool fails;  // the read meets the session's end
    } cases[] = {
        {"nothing written", [](ServerReadAhead&) {}, {}, false},
        {"a record of the range written by the desk",
         [](ServerReadAhead& t) { t.setCases(QStringLiteral("C60"), -60); }, {{QStringLiteral("C60"), -60}}, false},
        {"a record after the range written", [](ServerReadAhead& t) { t.setCases(QStringLiteral("C90"), -90); }, {}, false},
        {"a record of the range written at another desk",
         [](ServerReadAhead& t) { t.otherDeskSets(QStringLiteral("C70"), -70); }, {{QStringLiteral("C70"), -70}}, false},
        {"the session ended before the read went",
         [](ServerReadAhead& t) {
             auto admin = data::pg::Session::connect(t.desk.location, QStringLiteral("admin"));
             admin->run(QStringLiteral("SELECT pg_terminate_backend(?::integer, 60000)"),
                        {QVariant(t.connection().session().backendPid())});
         },
         {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        connection().run(QStringLiteral("UPDATE dd SET \"件数\" = substr(\"批号\", 2)::bigint"));
        std::map<QString, qint64> expected;
        for (int n = 51; n <= 80; ++n)
            expected[QStringLiteral("C%1").arg(n)] = n;
        for (const auto& [batch, cases] : c.changed)
            expected[batch] = cases;
        {
            data::BusyScope busy(*orders);
            if (c.fails)
                c.meanwhile(*this);
            connection().readAhead(table(), 51, 80);
            if (!c.fails)
                c.meanwhile(*this);
            if (c.fails) {
                try {
                    readRange(51, 80);
                    ADD_FAILURE() << "read from a session that ended";
                } catch (const data::EngineError& e) {
                    EXPECT_EQ(e.kind(), data::ErrorKind::ServerUnreachable) << e.message().toStdString();
                }
            } else {
                EXPECT_EQ(readRange(51, 80), expected);
            }
        }
        if (c.fails) {
            ASSERT_TRUE(serverStoreOf(*desk.engine)->reconnect());  // as the desk tries again
        }
        orders->open();  // the next command
        EXPECT_EQ(orders->recordCount(), 100);
        EXPECT_EQ(readRange(51, 80), expected);
    }
}

}  // namespace
