// Measures the bulk order operations over a generated order table of 100,000
// orders, each beside the same work done with raw SQLite calls in the same
// run: multiply by cases and mark counted (one autocommit UPDATE per row in
// WAL mode) and a combined search (a SELECT count and a walk).

#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/core/schema.h"
#include "data/engine/open_store.h"
#include "orders/bulk_orders.h"
#include "orders/order_posting.h"
#include "orders/order_search.h"
#include "orders/size_runs.h"
#include "window_kit/progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

#include "order_fixture.h"

namespace {

using namespace bench;

double rawCount(sqlite3* db, int& count) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, utf8(QStringLiteral("SELECT count(*) FROM dd WHERE \"已统计\"=0")).constData(), -1, &st, nullptr);
    if (sqlite3_step(st) == SQLITE_ROW)
        count = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return msSince(t);
}

double rawWalk(sqlite3* db, qint64& sum) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, utf8(QStringLiteral("SELECT \"双数\" FROM dd WHERE \"已统计\"=0")).constData(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        sum += sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return msSince(t);
}

void report(const char* what, double ours, double raw, const char* target, bool met) {
    std::printf("%-44s %9.1f ms   raw SQLite %9.1f ms   ratio %6.2f   target %s: %s\n", what, ours, raw,
                raw > 0 ? ours / raw : 0.0, target, met ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    data::createTables(dir.path());
    sqlite3* db = nullptr;
    sqlite3_open(utf8(dir.path() + QStringLiteral("/dd.db")).constData(), &db);
    exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    fill(db);
    std::printf("orders: %d\n", Orders);

    data::Engine engine(dir.path());
    data::Query query(engine);
    query.setBeforePost([](data::Query& q) { orders::applyOrderPostingRule(q); });  // as the order window does
    query.setSql(orders::allOrdersStatement());
    query.open();

    // Multiply by cases.
    ThrottledStatus status;
    QElapsedTimer t;
    t.start();
    const int skipped = orders::multiplyByCases(query, status);
    status.show();
    const double multiply = msSince(t);
    const double rawMultiplied = rawMultiply(db);
    report("multiply by cases, 100,000 orders", multiply, rawMultiplied, "<= 3000 ms", multiply <= LoopTargetMs);
    std::printf("    skipped %d, status shown %d times, last: %s\n", skipped, status.shows(),
                status.shown(kit::ProgressPanel).toLocal8Bit().constData());

    std::printf("%-44s %9.1f ms\n", "    raw multiply in one transaction", rawMultiply(db, true));
    // The share of the loop that only lets events run.
    t.restart();
    for (int i = 0; i < Orders; ++i)
        QCoreApplication::processEvents();
    std::printf("%-44s %9.1f ms\n", "    share of ours: 100,000 x processEvents", msSince(t));

    // Combined search for the orders not yet counted: open with the count,
    // then a walk reading the pairs of every order found.
    orders::SearchCriteria notCounted;
    notCounted.notCounted = true;
    const QString statement = orders::combinedSearchStatement(notCounted);
    t.restart();
    const int found = orders::showOrders(query, statement);
    const double search = msSince(t);
    int rawFound = 0;
    const double rawSearch = rawCount(db, rawFound);
    report("combined search (open + count)", search, rawSearch, "<= 3000 ms", search <= LoopTargetMs);
    std::printf("    %s -> %s (raw count %d)\n", statement.toLocal8Bit().constData(),
                orders::countText(found).toLocal8Bit().constData(), rawFound);
    t.restart();
    qint64 ourSum = 0, rawSum = 0;
    const int pairsField = query.fieldIndex(QStringLiteral("双数"));
    for (query.first(); !query.eof(); query.next())
        ourSum += query.field(pairsField).asInteger();
    const double walk = msSince(t);
    report("walk of the search result reading 双数", walk, rawWalk(db, rawSum), "<= 3000 ms", walk <= LoopTargetMs);
    std::printf("    sums %lld / %lld\n", static_cast<long long>(ourSum), static_cast<long long>(rawSum));

    // Mark counted over every order.
    query.setSql(orders::allOrdersStatement());
    query.open();
    ThrottledStatus markStatus;
    t.restart();
    const int marked = orders::markCounted(query, markStatus);
    markStatus.show();
    const double mark = msSince(t);
    exec(db, "UPDATE dd SET \"已统计\"=0");
    const double rawMarked = rawMarkCounted(db);
    report("mark counted, 100,000 orders", mark, rawMarked, "<= 3000 ms", mark <= LoopTargetMs);
    std::printf("    marked %d, count panel %s, last: %s\n", marked,
                markStatus.shown(kit::CountPanel).toLocal8Bit().constData(),
                markStatus.shown(kit::ProgressPanel).toLocal8Bit().constData());

    sqlite3_close(db);
    return 0;
}
