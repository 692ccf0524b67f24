// Measures the bulk order operations over a generated order table of 100,000
// orders, each beside the same work done with raw SQLite calls in the same
// run: multiply by cases and mark counted (one autocommit UPDATE per row in
// WAL mode) and a combined search (a SELECT count and a walk).

#include "data/engine.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/table_files.h"
#include "orders/bulk_orders.h"
#include "orders/order_posting.h"
#include "orders/order_search.h"
#include "orders/progress.h"
#include "orders/size_runs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int Orders = 100000;
constexpr double LoopTargetMs = 3000.0;

QByteArray utf8(const QString& text) { return text.toUtf8(); }

void exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, error ? error : "?");
        sqlite3_free(error);
    }
}

QString sizeColumns(const QString& pattern, const QString& separator) {
    QStringList parts;
    for (const QString& s : data::sizeFieldNames())
        parts << pattern.arg(s);
    return parts.join(separator);
}

// 100,000 orders in one transaction: 1 to 12 cases, six sizes filled, none counted.
void fill(sqlite3* db) {
    exec(db, "BEGIN");
    const QString sql = QStringLiteral("INSERT INTO dd (\"批号\",\"单号\",\"鞋的型号\",\"颜色\",\"件数\",\"双数\",\"已统计\",%1)"
                                       " VALUES (?,?,?,?,?,?,0,%2)")
                            .arg(sizeColumns(QStringLiteral("\"%1\""), QStringLiteral(",")),
                                 QStringLiteral("?,").repeated(15) + QStringLiteral("?"));
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, utf8(sql).constData(), -1, &st, nullptr);
    const QByteArray colour = utf8(QStringLiteral("黑"));
    for (int i = 0; i < Orders; ++i) {
        const QByteArray order = QByteArray::number(3000 + i / 100);
        const QByteArray batch = order + QByteArray::number(i % 100).rightJustified(3, '0');
        const QByteArray model = "M" + QByteArray::number(100 + i % 41);
        sqlite3_bind_text(st, 1, batch.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, order.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, model.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, colour.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 5, 1 + i % 12);
        int pairs = 0;
        for (int s = 0; s < 16; ++s) {
            const int value = (s >= 3 && s < 9) ? 1 + (i + s) % 4 : 0;
            pairs += value;
            sqlite3_bind_int(st, 7 + s, value);
        }
        sqlite3_bind_int(st, 6, pairs);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    exec(db, "COMMIT");
}

// What the order window's status bar does: events run on every row, the
// progress text reaches the "screen" at most every 50 ms.
class ThrottledStatus : public orders::StatusSink {
public:
    ThrottledStatus() { sinceShown_.start(); }
    void setPanelText(int panel, const QString& text) override {
        pending_[panel] = text;
        if (sinceShown_.elapsed() >= 50)
            show();
    }
    void letEventsRun() override { QCoreApplication::processEvents(); }
    void show() {
        for (int p = 0; p < 3; ++p)
            if (!pending_[p].isEmpty())
                shown_[p] = pending_[p];
        ++shows_;
        sinceShown_.restart();
    }
    QString shown(int panel) const { return shown_[panel]; }
    int shows() const { return shows_; }

private:
    QString pending_[3];
    QString shown_[3];
    int shows_ = 0;
    QElapsedTimer sinceShown_;
};

double msSince(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Raw multiply: read every row's cases and sizes, then one autocommit UPDATE
// per row writing the products and their sum (or all of them in one
// transaction, to show what the commits per row cost).
double rawMultiply(sqlite3* db, bool oneTransaction = false) {
    QElapsedTimer t;
    t.start();
    struct Row {
        sqlite3_int64 id;
        int cases;
        int sizes[16];
    };
    std::vector<Row> rows;
    rows.reserve(Orders);
    sqlite3_stmt* read = nullptr;
    const QString select = QStringLiteral("SELECT rowid,\"件数\",%1 FROM dd").arg(sizeColumns(QStringLiteral("\"%1\""), QStringLiteral(",")));
    sqlite3_prepare_v2(db, utf8(select).constData(), -1, &read, nullptr);
    while (sqlite3_step(read) == SQLITE_ROW) {
        Row r{sqlite3_column_int64(read, 0), sqlite3_column_int(read, 1), {}};
        for (int s = 0; s < 16; ++s)
            r.sizes[s] = sqlite3_column_int(read, 2 + s);
        rows.push_back(r);
    }
    sqlite3_finalize(read);

    sqlite3_stmt* update = nullptr;
    const QString sql = QStringLiteral("UPDATE dd SET %1,\"双数\"=? WHERE rowid=?")
                            .arg(sizeColumns(QStringLiteral("\"%1\"=?"), QStringLiteral(",")));
    sqlite3_prepare_v2(db, utf8(sql).constData(), -1, &update, nullptr);
    if (oneTransaction)
        exec(db, "BEGIN");
    for (const Row& r : rows) {
        if (r.cases == 0)
            continue;
        int pairs = 0;
        for (int s = 0; s < 16; ++s) {
            const int value = r.sizes[s] * r.cases;
            pairs += value;
            sqlite3_bind_int(update, 1 + s, value);
        }
        sqlite3_bind_int(update, 17, pairs);
        sqlite3_bind_int64(update, 18, r.id);
        sqlite3_step(update);
        sqlite3_reset(update);
    }
    if (oneTransaction)
        exec(db, "COMMIT");
    sqlite3_finalize(update);
    return msSince(t);
}

double rawMarkCounted(sqlite3* db) {
    QElapsedTimer t;
    t.start();
    std::vector<sqlite3_int64> ids;
    ids.reserve(Orders);
    sqlite3_stmt* read = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid FROM dd", -1, &read, nullptr);
    while (sqlite3_step(read) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(read, 0));
    sqlite3_finalize(read);
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db, utf8(QStringLiteral("UPDATE dd SET \"已统计\"=1 WHERE rowid=?")).constData(), -1, &update, nullptr);
    for (sqlite3_int64 id : ids) {
        sqlite3_bind_int64(update, 1, id);
        sqlite3_step(update);
        sqlite3_reset(update);
    }
    sqlite3_finalize(update);
    return msSince(t);
}

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
    data::createTableFiles(dir.path());
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
                status.shown(orders::ProgressPanel).toLocal8Bit().constData());

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
                markStatus.shown(orders::CountPanel).toLocal8Bit().constData(),
                markStatus.shown(orders::ProgressPanel).toLocal8Bit().constData());

    sqlite3_close(db);
    return 0;
}
