#include "data/server/pg_advisory_lock.h"

#include "data/server/pg_session.h"

namespace data::pg {

bool tryAdvisoryLock(Session& session, const QString& name) {
    return session.run(QStringLiteral("SELECT pg_try_advisory_lock(hashtextextended(?, 0))"), {name})
        .rows.at(0)
        .at(0)
        .toBool();
}

void advisoryUnlock(Session& session, const QString& name) {
    session.run(QStringLiteral("SELECT pg_advisory_unlock(hashtextextended(?, 0))"), {name});
}

QString advisoryLockHolder(Session& session, const QString& name) {
    // pg_locks shows a 64-bit key as its high and low 32 bits.
    const Result holders = session.run(QStringLiteral(
        "WITH k AS (SELECT hashtextextended(?, 0) AS key) "
        "SELECT a.application_name FROM k, pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
        "WHERE l.locktype = 'advisory' AND l.granted AND l.objsubid = 1 "
        "AND l.database = (SELECT oid FROM pg_database WHERE datname = current_database()) "
        "AND l.classid = ((k.key >> 32) & 4294967295)::oid AND l.objid = (k.key & 4294967295)::oid"),
        {name});
    return holders.rows.empty() ? QString() : deskName(holders.rows.front().at(0).toString());
}

}  // namespace data::pg
