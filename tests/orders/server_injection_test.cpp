// Hostile text on the server store: search text, a pasted list, record
// fields and the desk's name reach the server only as values. Each finds or
// stores exactly itself, and the tables stay as they were.
#include "catalogue/catalogue_search.h"
#include "data/server/pg_session.h"
#include "orders/order_search.h"
#include "orders_fixture.h"

#include <gtest/gtest.h>

namespace {

const QString Batch = QStringLiteral("批号");
const QString Model = QStringLiteral("鞋的型号");
const QString Colour = QStringLiteral("颜色");
const QString Remark = QStringLiteral("备注");

// Texts that would run or change SQL if spliced into it; in capitals, as
// the combined search compares them.
const QString Hostile[] = {
    QStringLiteral("'; DROP TABLE DD; --"),
    QStringLiteral("\" OR 1=1 --"),
    QStringLiteral("X' OR '1'='1"),
    QStringLiteral("$$; DELETE FROM DD; $$"),
    QStringLiteral("\\'; TRUNCATE XDTJ; --"),
    QStringLiteral("? $1 ?::TEXT"),
    QStringLiteral("50%_[A]"),
    QStringLiteral("型号'号\"; DELETE FROM SHOES; --"),
};

class ServerInjection : public ::testing::Test, public OrderTables {
protected:
    ServerInjection() : OrderTables(Store::Server) {}

    void SetUp() override {
        for (const QString& text : Hostile)
            addOrder(*orders, text, {{Model, text}, {Remark, text}});
        addOrder(*orders, QStringLiteral("plain"), {{Model, QStringLiteral("plain")}, {Colour, QStringLiteral("白")}});
        storeRows(QStringLiteral("shoes.db"), {{{Model, QStringLiteral("plain")}}});
    }

    // What the server holds, read as the server's own owner would.
    QString serverState() {
        auto session = data::pg::Session::connect(location, QStringLiteral("检查"));
        return session
            ->run(QStringLiteral("SELECT (SELECT count(*) FROM pg_tables WHERE schemaname = 'public') || ' ' || "
                                 "(SELECT count(*) FROM dd) || ' ' || (SELECT count(*) FROM shoes) || ' ' || (SELECT count(*) FROM xdtj)"))
            .rows.at(0)
            .at(0)
            .toString();
    }

    // The batch numbers the order query shows after the statement.
    QStringList shown(const QString& statement) {
        orders::showOrders(*orders, statement);
        return column(*orders, Batch);
    }
};

TEST_F(ServerInjection, HostileTextIsOnlyEverAValue) {
    const QString before = serverState();
    EXPECT_TRUE(before.endsWith(QStringLiteral(" %1 1 0").arg(std::size(Hostile) + 1))) << before.toStdString();
    for (const QString& text : Hostile) {
        SCOPED_TRACE(text.toStdString());
        // Record fields: stored as typed.
        auto session = data::pg::Session::connect(location, QStringLiteral("检查"));
        const auto rows = session->run(QStringLiteral("SELECT \"鞋的型号\", \"备注\" FROM dd WHERE \"批号\" = ?"), {text}).rows;
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows.front()[0].toString(), text);
        EXPECT_EQ(rows.front()[1].toString(), text);

        struct Search {
            const char* name;
            QString statement;
            QStringList expected;
        };
        orders::SearchCriteria byBatch;
        byBatch.batchTicked = true;
        byBatch.batch = text;
        orders::SearchCriteria byModel;
        byModel.modelTicked = true;
        byModel.model = text;
        byModel.modelFuzzy = true;
        const Search searches[] = {
            {"batch equals", orders::combinedSearchStatement(byBatch), {text}},
            {"model contains", orders::combinedSearchStatement(byModel), {text}},
            {"pasted batch list", orders::listSearchStatement(orders::ListSearchField::BatchNumber, {text, QStringLiteral("none")}), {text}},
            {"pasted model list", orders::listSearchStatement(orders::ListSearchField::ShoeModel, {QStringLiteral("none"), text}), {text}},
        };
        for (const Search& s : searches) {
            SCOPED_TRACE(s.name);
            EXPECT_EQ(shown(s.statement), s.expected);
        }
        // The catalogue's search box: nothing of the catalogue holds it.
        auto catalogue = openQuery(catalogue::allModelsStatement());
        catalogue->setSql(catalogue::searchStatement(catalogue::SearchField::ShoeModel, catalogue::searchTerms(text)));
        catalogue->open();
        EXPECT_EQ(catalogue->recordCount(), 0);
    }
    EXPECT_EQ(serverState(), before);
}

// The desk's name goes to the server as the application name and with each
// record the desk stores; whatever it holds, it is kept as it is.
TEST_F(ServerInjection, AHostileDeskNameIsKeptAsItIs) {
    const QString before = serverState();
    for (const QString& text : Hostile) {
        SCOPED_TRACE(text.toStdString());
        qputenv("TAVREL_DESK", text.toUtf8());
        data::Engine desk(location);
        qunsetenv("TAVREL_DESK");
        auto q = std::make_unique<data::Query>(desk);
        q->setSql(QStringLiteral("select * from dd.db"));
        q->open();
        addOrder(*q, QStringLiteral("desk ") + text);
        auto session = data::pg::Session::connect(location, QStringLiteral("检查"));
        const auto rows = session->run(QStringLiteral("SELECT tavrel_desk FROM dd WHERE \"批号\" = ?"), {QStringLiteral("desk ") + text}).rows;
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows.front().front().toString(), text);
    }
    // The same tables, the desks' orders added and nothing else changed.
    const QStringList was = before.split(QLatin1Char(' ')), is = serverState().split(QLatin1Char(' '));
    ASSERT_EQ(is.size(), 4);
    EXPECT_EQ(is[0], was[0]);
    EXPECT_EQ(is[1].toLongLong(), was[1].toLongLong() + qint64(std::size(Hostile)));
    EXPECT_EQ(is.mid(2), was.mid(2));
}

}  // namespace
