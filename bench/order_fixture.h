#pragma once

// An order table of 100,000 generated orders and the bulk order loops done
// with raw SQLite calls, shared by the benchmarks.

#include "data/core/schema.h"
#include "data/engine/open_store.h"
#include "window_kit/progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <optional>
#include <sqlite3.h>
#include <vector>

namespace bench {

constexpr int Orders = 100000;
constexpr double LoopTargetMs = 3000.0;

inline QByteArray utf8(const QString& text) { return text.toUtf8(); }

inline void exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, error ? error : "?");
        sqlite3_free(error);
    }
}

inline QString sizeColumns(const QString& pattern, const QString& separator) {
    QStringList parts;
    for (const QString& s : data::sizeFieldNames())
        parts << pattern.arg(s);
    return parts.join(separator);
}

// 100,000 orders in one transaction: 1 to 12 cases, six sizes filled, none counted.
inline void fill(sqlite3* db, int orders = Orders) {
    exec(db, "BEGIN");
    const QString sql = QStringLiteral("INSERT INTO dd (\"批号\",\"单号\",\"鞋的型号\",\"颜色\",\"件数\",\"双数\",\"已统计\",%1)"
                                       " VALUES (?,?,?,?,?,?,0,%2)")
                            .arg(sizeColumns(QStringLiteral("\"%1\""), QStringLiteral(",")),
                                 QStringLiteral("?,").repeated(15) + QStringLiteral("?"));
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, utf8(sql).constData(), -1, &st, nullptr);
    const QByteArray colour = utf8(QStringLiteral("黑"));
    for (int i = 0; i < orders; ++i) {
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

// What a window's status bar does: events run every few milliseconds, the
// progress text is made and reaches the "screen" at most every 50 ms.
class ThrottledStatus : public kit::StatusSink {
public:
    ThrottledStatus() { sinceShown_.start(); }
    void setPanelText(int panel, const QString& text) override {
        pending_[panel] = text;
        if (panel == kit::ProgressPanel)
            progress_.reset();
        if (sinceShown_.elapsed() >= 50)
            show();
    }
    void setProgress(const kit::Progress& progress) override {
        progress_ = progress;
        if (sinceShown_.elapsed() >= 50)
            show();
    }
    void letEventsRun() override {
        if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 4)
            return;
        QCoreApplication::processEvents();
        sinceEvents_.start();
    }
    void show() {
        if (progress_) {
            pending_[kit::ProgressPanel] = progress_->text();
            progress_.reset();
        }
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
    std::optional<kit::Progress> progress_;
    QElapsedTimer sinceShown_;
    QElapsedTimer sinceEvents_;
};

// The three table folders of a visible benchmark: one for the windows, one
// for the same work without windows, one for plain SQL. The order table is
// filled once with plain SQL and copied; eachFolder then runs on every one.
struct OrderFolders {
    QTemporaryDir visible, windowless, raw;
    sqlite3* db = nullptr;  // the plain-SQL order table
    int orders = Orders;

    bool make(const std::function<void(const QString&)>& eachFolder = {}) {
        if (!visible.isValid() || !windowless.isValid() || !raw.isValid())
            return false;
        for (QTemporaryDir* d : {&visible, &windowless, &raw})
            data::createTables(d->path());
        sqlite3_open(utf8(raw.filePath(QStringLiteral("dd.db"))).constData(), &db);
        exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        fill(db, orders);
        exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
        for (QTemporaryDir* d : {&visible, &windowless}) {
            QFile::remove(d->filePath(QStringLiteral("dd.db")));
            if (!QFile::copy(raw.filePath(QStringLiteral("dd.db")), d->filePath(QStringLiteral("dd.db"))))
                return false;
        }
        if (eachFolder)
            for (QTemporaryDir* d : {&visible, &windowless, &raw})
                eachFolder(d->path());
        return true;
    }
    ~OrderFolders() { sqlite3_close(db); }
};

inline double msSince(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Raw multiply: read every row's cases and sizes, then one autocommit UPDATE
// per row writing the products and their sum (or all of them in one
// transaction, to show what the commits per row cost).
inline double rawMultiply(sqlite3* db, bool oneTransaction = false) {
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

inline double rawMarkCounted(sqlite3* db) {
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

}  // namespace bench
