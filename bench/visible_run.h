#pragma once

// The report of one pass of the visible-window benchmark, and the loops of
// the catalogue and statistics windows it runs beside the order loops.

#include <QString>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace kit {
struct WindowRegistry;
}
namespace data {
class Engine;
}

namespace bench {

class Report {
public:
    explicit Report(const char* pass) { std::printf("\n== pass: %s ==\n", pass); }

    void single(const char* what, double ms) { std::printf("%-44s %9.0f ms\n", what, ms); }

    // A loop in the shown windows beside its windowless twin and, when
    // sqlMs > 0, plain SQL. targetMs > 0 is a limit for the shown loop.
    void loop(const char* what, double shownMs, double aloneMs, double sqlMs, double targetMs) {
        const double ratio = aloneMs > 0 ? shownMs / aloneMs : 0.0;
        std::printf("%-44s shown %8.0f ms   without windows %8.0f ms   ratio %5.2f", what, shownMs, aloneMs, ratio);
        if (sqlMs > 0)
            std::printf("   plain SQL %7.0f ms (x%.1f)", sqlMs, shownMs / sqlMs);
        if (targetMs > 0)
            std::printf("   target <= %.0f ms: %s", targetMs, shownMs <= targetMs ? "met" : "MISSED");
        std::printf("\n");
        loops_.push_back({what, ratio});
    }

    void note(const QString& text) { std::printf("    %s\n", text.toUtf8().constData()); }

    int finish(double ratioTarget) {
        std::printf("shown / without windows, target <= %.1f:\n", ratioTarget);
        for (const Loop& l : loops_)
            std::printf("    %-40s %5.2f  %s\n", l.what, l.ratio, l.ratio <= ratioTarget ? "met" : "MISSED");
        std::fflush(stdout);
        return 0;
    }

private:
    struct Loop {
        const char* what;
        double ratio;
    };
    std::vector<Loop> loops_;
};

// Adds the catalogue the loops below look the orders up in (before the
// windows open their queries).
void addCatalogue(const QString& folder);

// The catalogue scan and the sole statistics in the shown windows, each
// beside its windowless twin over the windowless tables and plain SQL over
// the raw tables.
void runExtraLoops(kit::WindowRegistry& windows, data::Engine& windowless, const QString& rawFolder, Report& report);

}  // namespace bench
