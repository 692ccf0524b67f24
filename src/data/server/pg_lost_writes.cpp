#include "data/core/errors.h"
#include "data/server/pg_connection.h"

#include <algorithm>

namespace data {

// Reached from a batch, from a statement sent while writes were held back,
// or from the first of them sent one by one; each has rolled back what the
// lost connection took with it. The loop ends with the error of the loss
// either way: its place in the records it walks is gone with the session.
// Reached again while the writes are being sent again, the writes are only
// named: the server is lost once more and the store tries again by itself.
void PgConnection::storeAfterReconnecting(const EngineError& lost, std::vector<KeptWrite> writes) {
    EngineError told = lost;
    if (lost_)
        lost_();
    if (resending_ || !reconnect_ || !reconnect_()) {
        nameNotStored(told, writes, 0);
        throw told;
    }
    // The store restarted this connection: nothing of the old session is
    // held, and the writes go as any batch, checked against the version
    // each one read; another desk's change meanwhile is settled as ever.
    struct Resending {
        bool& flag;
        explicit Resending(bool& f) : flag(f) { flag = true; }
        ~Resending() { flag = false; }
    } resending(resending_);
    const int records = int(writes.size());
    try {
        sendKept(writes);
    } catch (const EngineError& e) {
        const int stored = std::max(0, records - e.notStored().records);
        if (e.kind() == ErrorKind::ServerUnreachable) {
            told.addNotStored(e.notStored());
            told.addStoredAfterReconnecting(stored);
            throw told;
        }
        // Refused for a reason of its own: that reason is what the clerk
        // needs, with what did go.
        EngineError refused = e;
        refused.addStoredAfterReconnecting(stored);
        throw refused;
    }
    bumpGeneration();  // results opened again on the new session read them
    told.addStoredAfterReconnecting(records);
    throw told;
}

}  // namespace data
