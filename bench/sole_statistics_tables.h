#pragma once

// The tables of a large "鞋底统计" job, written straight into the table files:
// a catalogue of shoe models and colours with their sole models and
// suppliers, orders over those models (a few of them missing from the
// catalogue) and a statistics table holding rows of an earlier run. Used by
// tavrel-bench-statistics; the same tables can be made for a run of the
// program in its windows.

#include "data/core/schema.h"
#include "data/engine/open_store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>
#include <sqlite3.h>

namespace bench {

struct SoleStatisticsJob {
    int orders = 100000;
    int catalogueRows = 2000;    // models x colours
    int staleStatisticsRows = 300;
    int coloursPerModel = 4;
    int modelsNotInCatalogue = 20;  // on top of the catalogue's models
};

namespace detail {

inline void exec(sqlite3* db, const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql.toUtf8().constData(), error ? error : "?");
        sqlite3_free(error);
    }
}

inline sqlite3* openFile(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    exec(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    exec(db, QStringLiteral("BEGIN"));
    return db;
}

inline void closeFile(sqlite3* db) {
    exec(db, QStringLiteral("COMMIT"));
    sqlite3_close(db);
}

inline sqlite3_stmt* prepare(sqlite3* db, const QString& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "%s: %s\n", sql.toUtf8().constData(), sqlite3_errmsg(db));
    return st;
}

inline void bindText(sqlite3_stmt* st, int index, const QString& text) {
    if (text.isEmpty()) {
        sqlite3_bind_null(st, index);
    } else {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(st, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
}

inline void stepAndReset(sqlite3_stmt* st) {
    sqlite3_step(st);
    sqlite3_reset(st);
}

inline QString columnList(const QStringList& names) {
    QStringList quoted;
    for (const QString& n : names)
        quoted << data::quotedIdentifier(n);
    return quoted.join(QLatin1Char(','));
}

inline QString marks(int n) { return QStringLiteral("?,").repeated(n - 1) + QStringLiteral("?"); }

inline const QStringList& colours() {
    static const QStringList list{QStringLiteral("黑"), QStringLiteral("棕"), QStringLiteral("白"), QStringLiteral("卡其"),
                                  QStringLiteral("灰擦"), QStringLiteral("打蜡棕")};
    return list;
}

// Suppliers, one of them with a quote in its name; every 97th catalogue row has none.
inline QString supplierOf(int model, int colour) {
    static const QStringList suppliers{QStringLiteral("温州鑫达鞋材"), QStringLiteral("泉州华兴鞋底厂"), QStringLiteral("东莞永利橡胶"),
                                       QStringLiteral("晋江协和鞋材"), QStringLiteral("O'Brien鞋材"), QStringLiteral("莆田大成")};
    if ((model * 7 + colour) % 97 == 0)
        return {};
    return suppliers[(model + colour) % suppliers.size()];
}

inline QString soleOf(int model, int colour) { return QStringLiteral("D-%1").arg((model * 3 + colour / 2) % 311, 3, 10, QLatin1Char('0')); }

inline QString modelName(int model) { return QStringLiteral("S%1").arg(1000 + model); }

}  // namespace detail

// Writes the job's tables into dir, which must not hold them yet.
inline void makeSoleStatisticsTables(const QString& dir, const SoleStatisticsJob& job = {}) {
    using namespace detail;
    data::createTables(dir);
    const QDir folder(dir);
    const int models = job.catalogueRows / job.coloursPerModel;

    sqlite3* shoes = openFile(folder.filePath(QStringLiteral("shoes.db")));
    sqlite3_stmt* addShoe = prepare(shoes, QStringLiteral("INSERT INTO shoes (%1) VALUES (?,?,?,?,?)")
                                               .arg(columnList({"鞋的型号", "颜色", "鞋底型号", "供应商", "顺序"})));
    for (int m = 0; m < models; ++m)
        for (int c = 0; c < job.coloursPerModel; ++c) {
            bindText(addShoe, 1, modelName(m));
            bindText(addShoe, 2, colours()[c]);
            bindText(addShoe, 3, soleOf(m, c));
            bindText(addShoe, 4, supplierOf(m, c));
            bindText(addShoe, 5, modelName(m) + colours()[c]);
            stepAndReset(addShoe);
        }
    sqlite3_finalize(addShoe);
    closeFile(shoes);

    sqlite3* dd = openFile(folder.filePath(QStringLiteral("dd.db")));
    const QStringList orderColumns = QStringList{"批号", "单号", "鞋的型号", "颜色", "件数", "双数", "已统计"} + data::sizeFieldNames();
    sqlite3_stmt* addOrder =
        prepare(dd, QStringLiteral("INSERT INTO dd (%1) VALUES (%2)").arg(columnList(orderColumns), marks(int(orderColumns.size()))));
    for (int i = 0; i < job.orders; ++i) {
        const int model = int((quint64(i) * 7919u) % quint64(models + job.modelsNotInCatalogue));
        const int colour = (i / 3) % job.coloursPerModel;
        bindText(addOrder, 1, QStringLiteral("%1").arg(i + 1, 7, 10, QLatin1Char('0')));
        bindText(addOrder, 2, QString::number(2600 + i / 100));
        bindText(addOrder, 3, modelName(model));
        bindText(addOrder, 4, colours()[colour]);
        sqlite3_bind_int(addOrder, 5, 1 + i % 12);
        int pairs = 0;
        for (int s = 0; s < 16; ++s) {
            const int first = 2 + i % 6;
            const int value = (s >= first && s < first + 6) ? 1 + (i + s) % 5 : 0;
            pairs += value;
            sqlite3_bind_int(addOrder, 8 + s, value);
        }
        sqlite3_bind_int(addOrder, 6, pairs);
        sqlite3_bind_int(addOrder, 7, 0);
        stepAndReset(addOrder);
    }
    sqlite3_finalize(addOrder);
    closeFile(dd);

    sqlite3* xdtj = openFile(folder.filePath(QStringLiteral("xdtj.db")));
    const QStringList statisticsColumns = QStringList{"供应商", "鞋底型号", "双数", "顺序"} + data::sizeFieldNames();
    sqlite3_stmt* addRow = prepare(xdtj, QStringLiteral("INSERT INTO xdtj (%1) VALUES (%2)")
                                             .arg(columnList(statisticsColumns), marks(int(statisticsColumns.size()))));
    for (int r = 0; r < job.staleStatisticsRows; ++r) {
        bindText(addRow, 1, QStringLiteral("旧供应商"));
        bindText(addRow, 2, QStringLiteral("OLD-%1").arg(r));
        sqlite3_bind_int(addRow, 3, 16);
        bindText(addRow, 4, QStringLiteral("旧供应商OLD-%1").arg(r));
        for (int s = 0; s < 16; ++s)
            sqlite3_bind_int(addRow, 5 + s, 1);
        stepAndReset(addRow);
    }
    sqlite3_finalize(addRow);
    closeFile(xdtj);
}

inline void execText(sqlite3* db, const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n  %s\n", sql.toUtf8().constData(), error ? error : "?");
        sqlite3_free(error);
    }
}

inline QString quoted(const QString& name) { return data::quotedIdentifier(name); }

inline QString sizesJoined(const QString& pattern) {
    QStringList parts;
    for (const QString& s : data::sizeFieldNames())
        parts << pattern.arg(quoted(s));
    return parts.join(QLatin1Char(','));
}

// The same job in plain SQL over the tables in dir.
inline void plainJob(const QString& dir, double& assignmentMs, double& aggregationMs) {
    QElapsedTimer assignment, aggregation;
    sqlite3* db = nullptr;
    sqlite3_open((dir + QStringLiteral("/dd.db")).toUtf8().constData(), &db);
    execText(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
    execText(db, QStringLiteral("ATTACH '%1/shoes.db' AS cat").arg(dir));
    execText(db, QStringLiteral("ATTACH '%1/xdtj.db' AS st").arg(dir));
    execText(db, QStringLiteral("PRAGMA st.synchronous=NORMAL"));

    assignment.start();
    execText(db, QStringLiteral("UPDATE dd SET \"供应商\" = m.sup, \"鞋底型号\" = m.sole FROM ("
                            "SELECT d.rowid AS id,"
                            " CASE WHEN s.rowid IS NULL THEN '未登记' ELSE s.\"供应商\" END AS sup,"
                            " CASE WHEN s.rowid IS NULL THEN '未登记' ELSE s.\"鞋底型号\" END AS sole"
                            " FROM dd AS d LEFT JOIN cat.shoes AS s ON s.\"鞋的型号\" = d.\"鞋的型号\" AND s.\"颜色\" = d.\"颜色\""
                            ") AS m WHERE dd.rowid = m.id"));
    assignmentMs = double(assignment.nsecsElapsed()) / 1e6;

    aggregation.start();
    execText(db, QStringLiteral("DELETE FROM st.xdtj"));
    QStringList sums;
    for (const QString& s : data::sizeFieldNames())
        sums << QStringLiteral("coalesce(%1,0)").arg(quoted(s));
    execText(db, QStringLiteral("INSERT INTO st.xdtj (\"供应商\",\"鞋底型号\",%1,\"双数\",\"顺序\")"
                            " SELECT \"供应商\",\"鞋底型号\",%2,sum(%3),"
                            " nullif(coalesce(\"供应商\",'') || coalesce(\"鞋底型号\",''), '')"
                            " FROM dd GROUP BY \"鞋底型号\",\"供应商\"")
             .arg(sizesJoined(QStringLiteral("%1")), sizesJoined(QStringLiteral("sum(coalesce(%1,0))")),
                  sums.join(QLatin1Char('+'))));
    aggregationMs = double(aggregation.nsecsElapsed()) / 1e6;
    sqlite3_close(db);
}

// Every row of a table as text, sorted; no value and empty text are one.
inline QStringList tableRows(const QString& file, const QString& table, const QStringList& columns) {
    sqlite3* db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    QStringList selected;
    for (const QString& c : columns)
        selected << QStringLiteral("coalesce(%1,'')").arg(quoted(c));
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, QStringLiteral("SELECT %1 FROM %2").arg(selected.join(QLatin1Char(',')), table).toUtf8().constData(), -1,
                       &st, nullptr);
    QStringList rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < int(columns.size()); ++i)
            values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        rows << values.join(QLatin1Char('|'));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    rows.sort();
    return rows;
}

}  // namespace bench
