// Measures what the PostgreSQL test harness costs: starting and stopping a
// private server (cluster made anew each time), a new database copied from
// template0, and the same database emptied in place for the next test.

#include "pg_bench_server.h"
#include "pg_test_server.h"
#include "private_pg_server.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <stdexcept>
#include <vector>

namespace {

constexpr int Rounds = 3;
constexpr int Databases = 5;

double msSince(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

void line(const char* what, const std::vector<double>& ms) {
    const auto [least, most] = std::minmax_element(ms.begin(), ms.end());
    const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / double(ms.size());
    std::printf("%-52s %9.1f ms (%.1f to %.1f)\n", what, mean, *least, *most);
}

}  // namespace

int main() {
    try {
        std::vector<double> starts, stops;
        for (int round = 0; round < Rounds; ++round) {
            PrivatePgServer server;
            QElapsedTimer clock;
            clock.start();
            server.start();
            starts.push_back(msSince(clock));
            clock.restart();
            server.stop();
            stops.push_back(msSince(clock));
        }
        line("server start (initdb, start, database tavrel)", starts);
        line("server stop (immediate shutdown, folder removed)", stops);

        const QString uri = bench::pgBenchServerUri();
        std::vector<double> created, emptied;
        for (int i = 0; i < Databases; ++i) {
            const QString name = QStringLiteral("bench_fresh_%1").arg(i);
            QElapsedTimer clock;
            clock.start();
            freshPgDatabase(uri, name);
            created.push_back(msSince(clock));
            clock.restart();
            freshPgDatabase(uri, name);
            emptied.push_back(msSince(clock));
        }
        line("fresh database: created from template0", created);
        line("fresh database: the same one emptied in place", emptied);
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
