// Measures the whole "鞋底统计" job without windows: the sole assignment and
// the aggregation over 100,000 orders and a catalogue of 2,000 rows, beside
// the same result computed by plain SQL (one UPDATE ... FROM for the
// assignment, one DELETE and one INSERT ... SELECT ... GROUP BY for the
// statistics) on a copy of the same tables in the same run. The two results
// are compared for equality.

#include "data/lang/catalogue_lookup.h"
#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/lang/statement.h"
#include "order_fixture.h"
#include "orders/order_posting.h"
#include "sole_statistics_tables.h"
#include "statistics/aggregation.h"
#include "statistics/sole_assignment.h"
#include "statistics/statistics_posting.h"
#include "window_kit/progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <ctime>
#include <cstdio>
#include <sqlite3.h>

namespace {

using bench::ThrottledStatus;
using bench::plainJob;
using bench::tableRows;

constexpr double TargetMs = 3000.0;
constexpr double TargetRatio = 10.0;

// Wall time and processor time of a stretch of work.
class Stopwatch {
public:
    Stopwatch() { restart(); }
    void restart() {
        wall_.start();
        cpu_ = std::clock();
    }
    double wallMs() const { return double(wall_.nsecsElapsed()) / 1e6; }
    double cpuMs() const { return double(std::clock() - cpu_) * 1000.0 / CLOCKS_PER_SEC; }

private:
    QElapsedTimer wall_;
    std::clock_t cpu_;
};

void line(const char* what, const Stopwatch& t) { std::printf("  %-46s %9.1f ms   (processor %9.1f ms)\n", what, t.wallMs(), t.cpuMs()); }

void copyTables(const QString& from, const QString& to) {
    for (const char* name : {"shoes.db", "dd.db", "xdtj.db"})
        QFile::copy(from + QLatin1Char('/') + QLatin1String(name), to + QLatin1Char('/') + QLatin1String(name));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // An optional argument gives another number of orders.
    bench::SoleStatisticsJob job;
    if (argc > 1 && QByteArray(argv[1]).toInt() > 0)
        job.orders = QByteArray(argv[1]).toInt();
    QTemporaryDir ours, plain;
    bench::makeSoleStatisticsTables(ours.path(), job);
    copyTables(ours.path(), plain.path());
    std::printf("orders %d, catalogue rows %d, statistics rows before %d\n", job.orders, job.catalogueRows, job.staleStatisticsRows);

    double oursMs = 0, oursCpuMs = 0;
    QString assignmentText, aggregationText, countText;
    int unregisteredLines = 0;
    {
        data::Engine engine(ours.path());
        data::Query orders(engine), catalogue(engine), statistics(engine);
        orders.setBeforePost(orders::applyOrderPostingRule);  // as the order window does
        statistics.setBeforePost(statistics::applyStatisticsPostingRule);
        orders.setSql(QStringLiteral("select * from dd.db"));
        catalogue.setSql(QStringLiteral("select * from shoes.db"));
        statistics.setSql(QStringLiteral("select * from xdtj.db"));
        orders.open();
        catalogue.open();
        statistics.open();

        std::printf("鞋底统计 through the live queries:\n");
        Stopwatch whole, step;
        ThrottledStatus status;
        statistics::assignSoles(orders, catalogue, [&](const QString&) { ++unregisteredLines; }, status);
        status.show();
        assignmentText = status.shown(kit::ProgressPanel);
        line("sole assignment", step);
        step.restart();
        const bool held = statistics::statisticsTableHoldsRows(statistics);
        if (held)
            statistics::clearStatisticsTable(statistics, status);
        line("emptying the statistics table", step);
        step.restart();
        statistics::addUpOrders(orders, statistics, status);
        status.show();
        line("adding up", step);
        oursMs = whole.wallMs();
        oursCpuMs = whole.cpuMs();
        line("whole job", whole);
        aggregationText = status.shown(kit::ProgressPanel);
        countText = status.shown(kit::CountPanel);

        // Where the time of one order goes: the shares measured apart
        // (left out where the job alone is profiled).
        if (!qEnvironmentVariableIsSet("TAVREL_BENCH_JOB_ONLY")) {
        std::printf("  shares, each %d times:\n", job.orders);
        step.restart();
        for (int i = 0; i < job.orders; ++i)
            QCoreApplication::processEvents();
        line("    letting events run", step);
        step.restart();
        const int model = catalogue.fieldIndex(QStringLiteral("供应商"));
        qint64 found = 0;
        for (int i = 0; i < job.orders; ++i) {
            catalogue.setSql(data::catalogueLookupStatement(QStringLiteral("S%1").arg(1000 + i % 520),
                                                                  QStringLiteral("黑")));
            catalogue.open();
            if (!catalogue.isEmpty())
                found += catalogue.field(model).asText().size();
        }
        line("    catalogue lookup (open + read a field)", step);
        step.restart();
        orders.first();
        for (int i = 0; i < job.orders && !orders.eof(); ++i, orders.next()) {
            orders.edit();
            orders.field(QStringLiteral("备注")).setText(QString::number(i % 7));
            orders.post();
        }
        line("    order edit + post (posting rule, one UPDATE)", step);
        step.restart();
        {
            data::BusyScope busy(orders);
            orders.first();
            for (int i = 0; i < job.orders && !orders.eof(); ++i, orders.next()) {
                orders.edit();
                orders.field(QStringLiteral("备注")).setText(QString::number(i % 5));
                orders.post();
            }
        }
        line("    the same with writes committed in groups", step);
        }
    }

    std::printf("plain SQL:\n");
    double plainAssignmentMs = 0, plainAggregationMs = 0;
    plainJob(plain.path(), plainAssignmentMs, plainAggregationMs);
    std::printf("  %-46s %9.1f ms\n", "UPDATE ... FROM", plainAssignmentMs);
    std::printf("  %-46s %9.1f ms\n", "DELETE + INSERT ... SELECT ... GROUP BY", plainAggregationMs);
    const double plainMs = plainAssignmentMs + plainAggregationMs;

    const QStringList statisticsColumns = QStringList{"供应商", "鞋底型号", "双数", "顺序"} + data::sizeFieldNames();
    const QStringList oursRows = tableRows(ours.path() + QStringLiteral("/xdtj.db"), QStringLiteral("xdtj"), statisticsColumns);
    const QStringList plainRows = tableRows(plain.path() + QStringLiteral("/xdtj.db"), QStringLiteral("xdtj"), statisticsColumns);
    const QStringList orderColumns{"批号", "供应商", "鞋底型号", "双数"};
    const bool sameOrders = tableRows(ours.path() + QStringLiteral("/dd.db"), QStringLiteral("dd"), orderColumns) ==
                            tableRows(plain.path() + QStringLiteral("/dd.db"), QStringLiteral("dd"), orderColumns);
    const bool same = oursRows == plainRows;

    std::printf("\nlast progress of the assignment: %s\n", assignmentText.toUtf8().constData());
    std::printf("last progress of the adding up:  %s, count panel %s\n", aggregationText.toUtf8().constData(),
                countText.toUtf8().constData());
    std::printf("unregistered lines: %d\n", unregisteredLines);
    std::printf("statistics rows: ours %lld, plain %lld: %s\n", static_cast<long long>(oursRows.size()),
                static_cast<long long>(plainRows.size()), same ? "equal" : "DIFFERENT");
    std::printf("orders' supplier and sole model: %s\n", sameOrders ? "equal" : "DIFFERENT");
    const double ratio = plainMs > 0 ? oursMs / plainMs : 0.0;
    std::printf("whole job %.1f ms (processor %.1f ms), plain SQL %.1f ms, ratio %.1f\n", oursMs, oursCpuMs, plainMs, ratio);
    std::printf("target whole job <= %.0f ms: %s; aim ratio <= %.0f: %s\n", TargetMs, oursMs <= TargetMs ? "met" : "MISSED",
                TargetRatio, ratio <= TargetRatio ? "met" : "missed");
    return same && sameOrders ? 0 : 1;
}
