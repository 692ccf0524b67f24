#pragma once

// The database the PostgreSQL tests of this program use, on the test server
// (see pg_test_server.h, which fails the test with the reason when there is
// none).

#include "data/server/pg_session.h"
#include "pg_test_server.h"

#include <QDeadlineTimer>
#include <gtest/gtest.h>
#include <cerrno>
#include <poll.h>

inline QString pgBaseUri() {
    static const QString uri = pgTestDatabase();
    return uri;
}

// The program's database, emptied, and its URI.
inline QString emptyPgDatabase() { return pgTestDatabase(); }

// The notifications a session receives until one with this payload arrives
// (that one left out). Each round blocks on the session's socket until the
// server sends something; the minute is only a safety net for a marker that
// never comes.
inline std::vector<data::pg::Notification> pgNotificationsUntil(data::pg::Session& session, const QString& marker) {
    std::vector<data::pg::Notification> received;
    const QDeadlineTimer ceiling(60'000);
    for (;;) {
        for (data::pg::Notification& n : session.takeNotifications()) {
            if (n.payload == marker)
                return received;
            received.push_back(std::move(n));
        }
        pollfd socket{session.socket(), POLLIN, 0};
        int ready = 0;
        while (socket.fd >= 0 && (ready = poll(&socket, 1, int(ceiling.remainingTime()))) < 0 && errno == EINTR) {
        }
        if (ready <= 0)
            break;
    }
    ADD_FAILURE() << "no notification " << marker.toStdString() << (session.isBroken() ? ": the session broke" : " within a minute");
    return received;
}
