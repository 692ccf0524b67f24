// Times the undo journal on a PostgreSQL server (a private one) with 100,000
// orders, without windows: recording the before-images of every order beside
// "删除订单" that they are taken for, sealing, checking the rows changed
// since and undoing the deletion, and beside them the same in plain SQL.

#include "data/engine/engine.h"
#include "data/server/pg_schema.h"
#include "data/server/pg_session.h"
#include "data/engine/query.h"
#include "data/core/undo_journal.h"
#include "data/engine/undo_scope.h"
#include "orders/bulk_orders.h"

#include "order_fixture.h"
#include "pg_bench_server.h"
#include "pg_test_server.h"

#include <QCoreApplication>

namespace {

using namespace bench;

double timed(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return msSince(t);
}

// A fresh database with the three tables and 100,000 orders.
QString filledDatabase() {
    const QString uri = freshPgDatabase(pgBenchServerUri(), QStringLiteral("tavrel_bench_undo"));
    auto session = data::pg::Session::connect(uri, QStringLiteral("bench"));
    data::pg::createTables(*session);
    session->run(QStringLiteral("INSERT INTO dd (\"批号\", \"鞋的型号\", \"颜色\", \"件数\", \"备注\", \"36\", \"40\") "
                                "SELECT 'B' || g, 'X' || (g % 500), '黑', 2, '备注' || g, g % 7, g % 11 "
                                "FROM generate_series(1, ?::integer) g"),
                 {QVariant(Orders)});
    session->exec(QStringLiteral("VACUUM ANALYZE"));
    return uri;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QString uri = filledDatabase();
    std::printf("orders: %d\n", Orders);
    data::Engine engine(uri);
    data::Query orders(engine);
    orders.setSql(QStringLiteral("select * from dd.db"));
    orders.open();
    data::UndoJournal& journal = engine.undoJournal();

    qint64 id = 0;
    const double recordMs = timed([&] {
        id = journal.record(QStringLiteral("删除订单"), data::ordersWindowName(), {data::shownRows(orders)});
    });
    const double sealMs = timed([&] { journal.seal(id); });
    journal.undo(id);
    auto plain = data::pg::Session::connect(uri, QStringLiteral("bench"));
    const double copySql = timed([&] { plain->exec(QStringLiteral("CREATE TABLE kept AS SELECT * FROM dd")); });
    std::printf("recording 100,000 before-images: %.0f ms\n", recordMs);
    std::printf("sealing (versions of the rows left): %.0f ms\n", sealMs);
    std::printf("plain SQL, copy of the table: %.0f ms\n", copySql);

    orders.open();
    ThrottledStatus status;
    const double deleteMs = timed([&] { orders::deleteShownOrders(orders, status); });
    std::printf("删除订单 100,000 (recording included): %.0f ms\n", deleteMs);
    std::printf("before-images / the command they are taken for: %.0f / %.0f ms = %.3f   target < 0.2: %s\n", recordMs,
                deleteMs, recordMs / deleteMs, recordMs / deleteMs < 0.2 ? "met" : "MISSED");

    const qint64 last = journal.entries(data::ordersWindowName()).front().id;
    int changed = 0;
    const double changedMs = timed([&] { changed = journal.changedSince(last); });
    int restored = 0;
    const double undoMs = timed([&] { restored = journal.undo(last); });
    std::printf("rows changed since: %d in %.0f ms\n", changed, changedMs);
    std::printf("撤销 of 删除订单: %d rows in %.0f ms\n", restored, undoMs);
    plain->exec(QStringLiteral("DELETE FROM dd"));
    const double undoSql = timed([&] { plain->exec(QStringLiteral("INSERT INTO dd SELECT * FROM kept")); });
    std::printf("plain SQL, the rows put back: %.0f ms\n", undoSql);
    std::printf("undo space: %lld KB\n", static_cast<long long>(journal.storageBytes() / 1024));
    return 0;
}
