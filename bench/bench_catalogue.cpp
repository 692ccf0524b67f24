// Measures the unregistered-models scan over 100,000 orders against a
// 2,000-row catalogue, beside the same question answered by one SQL
// anti-join in the same run, and checks that the two answers agree. Then
// splits the scan's time into its parts: walking the orders, turning each
// lookup statement into SQL, opening the lookups, letting events run.

#include "catalogue/catalogue_posting.h"
#include "catalogue/unregistered_models.h"
#include "data/lang/catalogue_lookup.h"
#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/sql/prepared_select.h"
#include "scan_fixture.h"
#include "window_kit/progress.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>
#include <utility>
#include <vector>

namespace {

constexpr int Orders = 100000;
constexpr int CatalogueRows = 2000;

// What the window gives the scan: events run for every order; the scan
// writes no status text.
class EventsSink : public kit::StatusSink {
public:
    void setPanelText(int, const QString&) override {}
    void letEventsRun() override { QCoreApplication::processEvents(); }
};

class NoEventsSink : public kit::StatusSink {
public:
    void setPanelText(int, const QString&) override {}
    void letEventsRun() override {}
};

class LineList : public catalogue::EntryList {
public:
    void clear() override { lines.clear(); }
    int count() const override { return int(lines.size()); }
    QString entry(int index) const override { return lines[index]; }
    void add(const QString& entry) override { lines << entry; }
    QStringList lines;
};

double msSince(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

void line(const char* what, double ms) { std::printf("%-52s %9.1f ms\n", what, ms); }

// The same lookups with one prepared SQLite statement.
double rawLookups(const QString& dir, const std::vector<std::pair<QString, QString>>& pairs, int& missing) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(QDir(dir).filePath(QStringLiteral("shoes.db"))).constData(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid FROM shoes WHERE \"鞋的型号\"=? AND \"颜色\"=?", -1, &st, nullptr);
    QElapsedTimer t;
    t.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);  // as the scan reads inside its busy group
    missing = 0;
    for (const auto& [model, colour] : pairs) {
        const QByteArray m = model.toUtf8(), c = colour.toUtf8();
        sqlite3_bind_text(st, 1, m.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, c.constData(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) != SQLITE_ROW)
            ++missing;
        sqlite3_reset(st);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = msSince(t);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const bench::ScanTables made = bench::makeScanTables(dir.path(), Orders, CatalogueRows);
    std::printf("catalogue: %d records, orders: %d, of which %d name a pair the catalogue lacks\n", made.catalogueRows,
                made.orders, made.missingOrders);

    data::Engine engine(dir.path());
    data::Query orderQuery(engine);
    orderQuery.setSql(QStringLiteral("select * from dd.db"));
    orderQuery.open();
    data::Query shoes(engine);
    catalogue::installCataloguePostingRule(shoes, [] {});
    shoes.setSql(QStringLiteral("select * from shoes.db"));
    shoes.open();

    // The scan as the window runs it.
    LineList list;
    EventsSink events;
    QElapsedTimer t;
    t.start();
    const int added = catalogue::scanUnregisteredModels(orderQuery, shoes, list, events);
    const double scan = msSince(t);

    t.restart();
    const QStringList bySql = bench::unregisteredBySql(dir.path());
    const double antiJoin = msSince(t);

    const QSet<QString> scanned(list.lines.cbegin(), list.lines.cend());
    const QSet<QString> joined(bySql.cbegin(), bySql.cend());
    const bool agree = scanned == joined && list.lines.size() == scanned.size();
    std::printf("%-52s %9.1f ms   (%d entries)\n", "scan, 100,000 lookups", scan, added);
    std::printf("%-52s %9.1f ms   (%d entries)\n", "one SQL anti-join", antiJoin, int(bySql.size()));
    std::printf("%-52s %9.1f\n", "ratio scan / anti-join", antiJoin > 0 ? scan / antiJoin : 0.0);
    std::printf("answers agree: %s\n", agree ? "yes" : "NO");

    // Where the scan's time goes.
    std::printf("parts of the scan:\n");
    std::vector<std::pair<QString, QString>> pairs;
    pairs.reserve(Orders);
    t.restart();
    {
        data::BusyScope walking(orderQuery);
        const int modelField = orderQuery.fieldIndex(QStringLiteral("鞋的型号"));
        const int colourField = orderQuery.fieldIndex(QStringLiteral("颜色"));
        for (orderQuery.first(); !orderQuery.eof(); orderQuery.next())
            pairs.emplace_back(orderQuery.field(modelField).asText(), orderQuery.field(colourField).asText());
    }
    line("  walking the orders, reading model and colour", msSince(t));

    t.restart();
    for (const auto& [model, colour] : pairs)
        data::parseSelect(data::catalogueLookupStatement(model, colour));
    line("  building and parsing 100,000 lookups", msSince(t));

    t.restart();
    const std::shared_ptr<data::OpenTable> table = engine.table(QStringLiteral("shoes.db"));
    for (const auto& [model, colour] : pairs) {
        const data::SelectStatement statement = data::parseSelect(data::catalogueLookupStatement(model, colour));
        data::translateCondition(statement.condition.get(), *table);
    }
    line("  building, parsing and translating 100,000 lookups", msSince(t));

    t.restart();
    int missing = 0;
    {
        data::BusyScope lookingUp(shoes);
        for (const auto& [model, colour] : pairs) {
            shoes.setSql(data::catalogueLookupStatement(model, colour));
            shoes.open();
            missing += shoes.isEmpty() ? 1 : 0;
        }
    }
    line("  100,000 lookups through the catalogue query", msSince(t));
    int rawMissing = 0;
    line("  the same lookups, one prepared SQLite statement", rawLookups(dir.path(), pairs, rawMissing));
    std::printf("    orders without a catalogue record: %d (raw %d, expected %d)\n", missing, rawMissing, made.missingOrders);

    t.restart();
    for (int i = 0; i < Orders; ++i)
        QCoreApplication::processEvents();
    line("  100,000 x processEvents", msSince(t));

    LineList quiet;
    NoEventsSink noEvents;
    t.restart();
    catalogue::scanUnregisteredModels(orderQuery, shoes, quiet, noEvents);
    line("  the whole scan without events", msSince(t));

    return agree && missing == made.missingOrders && rawMissing == made.missingOrders ? 0 : 1;
}
