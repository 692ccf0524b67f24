#pragma once

#include <QString>

namespace data::pg {

class Session;

// Named locks among the desks of one database, held by a session until it
// unlocks them or ends. A name stands for the 64-bit key the server makes of
// it (hashtextextended(name, 0)), the same on every desk and server version.

// Takes the lock unless another session holds it; does not wait.
bool tryAdvisoryLock(Session& session, const QString& name);
// Gives up one hold of the lock (a session that took it twice holds it once more).
void advisoryUnlock(Session& session, const QString& name);
// The desk holding the lock (this one included), by the name its session was
// connected with, or empty when none holds it.
QString advisoryLockHolder(Session& session, const QString& name);

}  // namespace data::pg
