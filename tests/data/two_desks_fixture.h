#pragma once

// Two desks on one test server: desk A over a fresh database with the three
// tables, desk B a second engine over the same database, each known to the
// other by its own desk name.
#include "table_fixture.h"

#include "server_news.h"

class TwoDesksOnAServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureNewsCanArrive(); }

    TwoDesksOnAServer() : deskA(Store::Server) {
        qputenv("TAVREL_DESK", "B 台");
        deskB = std::make_unique<data::Engine>(deskA.location);
        qputenv("TAVREL_DESK", "A 台");
        deskA.engine = std::make_unique<data::Engine>(deskA.location);
        qunsetenv("TAVREL_DESK");
    }

    std::unique_ptr<data::Query> open(data::Engine& engine, const QString& sql) {
        auto q = std::make_unique<data::Query>(engine);
        q->setSql(sql);
        q->open();
        return q;
    }

    TableFolder deskA;
    std::unique_ptr<data::Engine> deskB;
};
