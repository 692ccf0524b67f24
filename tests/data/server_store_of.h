#pragma once

#include "data/engine/engine.h"
#include "data/server/server_store.h"

// The server store an engine works on, for tests of what desks see of each
// other; null on table files.
inline data::ServerStore* serverStoreOf(data::Engine& engine) {
    return dynamic_cast<data::ServerStore*>(&engine.store());
}
