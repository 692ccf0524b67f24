#pragma once

// The database the PostgreSQL tests of this program use, on the test server
// (see pg_test_server.h, which fails the test with the reason when there is
// none).

#include "data/server/pg_session.h"
#include "pg_test_server.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <poll.h>

inline QString pgBaseUri() {
    static const QString uri = pgTestDatabase();
    return uri;
}

// The program's database, emptied, and its URI.
inline QString emptyPgDatabase() { return pgTestDatabase(); }

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
