// Measures the live query over a generated order table of 100,000 records,
// each figure beside the same work done with raw SQLite calls.

#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/core/schema.h"
#include "data/engine/open_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

constexpr int Orders = 100000;
constexpr int Posts = 10000;

void fill(const QString& dir) {
    sqlite3* db = nullptr;
    sqlite3_open(QString(dir + QStringLiteral("/dd.db")).toUtf8().constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    QString sql = QStringLiteral("INSERT INTO dd (\"批号\",\"单号\",\"鞋的型号\",\"颜色\",\"件数\",\"双数\"");
    for (const QString& s : data::sizeFieldNames())
        sql += QStringLiteral(",\"%1\"").arg(s);
    sql += QStringLiteral(",\"备注\") VALUES (?,?,?,?,?,?");
    for (int i = 0; i < 16; ++i)
        sql += QStringLiteral(",?");
    sql += QStringLiteral(",?)");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
    for (int i = 0; i < Orders; ++i) {
        const QByteArray batch = QStringLiteral("%1%2").arg(2000 + i / 100).arg(i % 100, 3, 10, QLatin1Char('0')).toUtf8();
        const QByteArray order = QString::number(2000 + i / 100).toUtf8();
        const QByteArray model = QStringLiteral("A%1").arg(1000 + i % 37).toUtf8();
        const QByteArray colour = QStringLiteral("黑").toUtf8();
        sqlite3_bind_text(st, 1, batch.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, order.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, model.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, colour.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 5, 1 + i % 12);
        int total = 0;
        for (int s = 0; s < 16; ++s) {
            const int pairs = (s >= 4 && s < 10) ? 6 + (i + s) % 7 : 0;
            total += pairs;
            sqlite3_bind_int(st, 7 + s, pairs);
        }
        sqlite3_bind_int(st, 6, total);
        sqlite3_bind_text(st, 23, "样品", -1, SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double rawOpen(sqlite3* db) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM dd", -1, &st, nullptr);
    sqlite3_step(st);
    sqlite3_finalize(st);
    return t.nsecsElapsed() / 1e6;
}

double rawWalk(sqlite3* db, qint64& checksum) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM dd", -1, &st, nullptr);
    const int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < n; ++c)
            checksum += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c))).size();
    sqlite3_finalize(st);
    return t.nsecsElapsed() / 1e6;
}

double rawPosts(sqlite3* db) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "UPDATE dd SET \"件数\"=?, \"双数\"=? WHERE rowid=?", -1, &st, nullptr);
    for (int i = 1; i <= Posts; ++i) {
        sqlite3_bind_int(st, 1, 7);
        sqlite3_bind_int(st, 2, 100 + i);
        sqlite3_bind_int(st, 3, Orders - i);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    return t.nsecsElapsed() / 1e6;
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void report(const char* what, double ours, double raw, const char* target) {
    std::printf("%-34s %9.1f ms   raw SQLite %9.1f ms   ratio %5.2f   (target %s)\n", what, ours, raw,
                raw > 0 ? ours / raw : 0.0, target);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    data::createTables(dir.path());
    fill(dir.path());
    std::printf("orders: %d\n", Orders);

    sqlite3* db = nullptr;
    sqlite3_open(QString(dir.path() + QStringLiteral("/dd.db")).toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);

    data::Engine engine(dir.path());
    data::Query q(engine);
    q.setSql(QStringLiteral("select * from dd.db"));
    engine.table(QStringLiteral("dd.db"));  // the file is opened at start-up, not per query

    const long before = peakKiB();
    QElapsedTimer t;
    t.start();
    q.open();
    const double open = t.nsecsElapsed() / 1e6;
    report("open select * from dd.db", open, rawOpen(db), "<= 50 ms");
    t.restart();
    q.open();
    report("open again", t.nsecsElapsed() / 1e6, rawOpen(db), "<= 50 ms");

    qint64 ours = 0, raw = 0;
    t.restart();
    const int fields = q.fieldCount();
    for (q.first(); !q.eof(); q.next())
        for (int f = 0; f < fields; ++f)
            ours += q.field(f).asText().size();
    const double walk = t.nsecsElapsed() / 1e6;
    report("walk reading every field", walk, rawWalk(db, raw), "<= 1000 ms");
    std::printf("%-34s %9ld KiB after open and walk\n", "peak memory growth", peakKiB() - before);

    t.restart();
    q.first();
    for (int i = 0; i < Posts; ++i) {
        q.edit();
        q.field(QStringLiteral("件数")).setInteger(3);
        q.field(QStringLiteral("双数")).setInteger(i);
        q.post();
        q.next();
    }
    const double posts = t.nsecsElapsed() / 1e6;
    report("10,000 posts", posts, rawPosts(db), "ratio <= 3");
    sqlite3_close(db);
    return 0;
}
