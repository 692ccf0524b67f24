#pragma once

// The PostgreSQL server of the tests that keep tables on a server:
// TAVREL_TEST_PG_URI names it (a URI of a role that may create databases).

#include "data/pg_session.h"

#include <QString>
#include <gtest/gtest.h>

inline QString testServerUri() { return qEnvironmentVariable("TAVREL_TEST_PG_URI"); }

// Fails the test unless a server is named.
#define REQUIRE_TEST_SERVER()                                                                          \
    if (testServerUri().isEmpty())                                                                     \
    GTEST_FAIL() << "TAVREL_TEST_PG_URI is not set: name a PostgreSQL server for these tests, e.g. " \
                    "postgresql:///postgres?host=/tmp/pg&port=55483&user=postgres"

// The URI of an empty database of that name on the test server, made anew.
inline QString freshServerDatabase(const QString& name) {
    const QString base = testServerUri();
    auto admin = data::pg::Session::connect(base, QStringLiteral("tavrel tests"));
    admin->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    admin->exec(QStringLiteral("CREATE DATABASE %1").arg(name));
    // The path of the URI names the database: "scheme://authority/database?query".
    const qsizetype authority = base.indexOf(QLatin1String("://")) + 3;
    qsizetype path = base.indexOf(QLatin1Char('/'), authority);
    const qsizetype query = base.indexOf(QLatin1Char('?'), authority);
    if (path < 0 || (query >= 0 && path > query))
        path = query < 0 ? base.size() : query;
    const qsizetype pathEnd = query < 0 ? base.size() : query;
    return base.left(path) + QLatin1Char('/') + name + base.mid(pathEnd);
}
