#pragma once

// The server the PostgreSQL tests use: TAVREL_TEST_PG_URI names it (a URI
// or a keyword string of a role that may create databases).

#include "data/pg_session.h"

#include <QElapsedTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <poll.h>

inline QString pgBaseUri() { return qEnvironmentVariable("TAVREL_TEST_PG_URI"); }

// Fails the test unless a server is named.
#define REQUIRE_PG_SERVER()                                                                                      \
    if (pgBaseUri().isEmpty())                                                                                   \
    GTEST_FAIL() << "TAVREL_TEST_PG_URI is not set: name a PostgreSQL server for these tests, e.g. "             \
                    "postgresql://postgres@127.0.0.1:55499/postgres"

// An empty database of that name on the server (made anew), and the URI of it.
inline QString freshPgDatabase(const QString& name) {
    auto admin = data::pg::Session::connect(pgBaseUri(), QStringLiteral("tavrel tests"));
    admin->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    admin->exec(QStringLiteral("CREATE DATABASE %1").arg(name));
    const QString base = pgBaseUri();
    if (!base.startsWith(QLatin1String("postgres")))
        return base + QStringLiteral(" dbname=") + name;
    QUrl url(base);
    url.setPath(QLatin1Char('/') + name);
    return url.toString();
}

// The notifications a session receives until one with this payload arrives
// (that one left out), waiting 5 s at most.
inline std::vector<data::pg::Notification> pgNotificationsUntil(data::pg::Session& session, const QString& marker) {
    std::vector<data::pg::Notification> received;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        pollfd socket{session.socket(), POLLIN, 0};
        poll(&socket, 1, 100);
        for (data::pg::Notification& n : session.takeNotifications()) {
            if (n.payload == marker)
                return received;
            received.push_back(std::move(n));
        }
    }
    ADD_FAILURE() << "no notification " << marker.toStdString() << " within 5 s";
    return received;
}
