#pragma once

// The PostgreSQL server of a benchmark run: a private one, started through
// scripts/lib/private_pg.sh on first use and stopped by its pid when the
// program ends. TAVREL_PG_FSYNC=off in the environment starts it without
// fsync, for figures that leave the disk out; the run says which it was.

#include "private_pg_server.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace bench {

// URI of the server's empty database "tavrel" (role tavrel-test, which may
// create databases), or of the server TAVREL_BENCH_PG_URI names (one
// started by hand, to watch its statements). Ends the program with the
// reason when the server does not start.
inline QString pgBenchServerUri() {
    if (const QString given = qEnvironmentVariable("TAVREL_BENCH_PG_URI"); !given.isEmpty())
        return given;
    static PrivatePgServer server;
    if (!server.running()) {
        try {
            server.start(PrivatePgServer::Fsync::AsEnvironmentSays);
        } catch (const std::runtime_error& e) {
            std::fprintf(stderr, "%s\n", e.what());
            std::exit(1);
        }
        std::printf("PostgreSQL server: private, pid %lld, fsync %s\n", static_cast<long long>(server.pid()),
                    qEnvironmentVariable("TAVREL_PG_FSYNC", QStringLiteral("on")).toUtf8().constData());
        std::fflush(stdout);
    }
    return server.uri();
}

}  // namespace bench
