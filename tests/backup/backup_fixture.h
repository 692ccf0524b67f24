#pragma once

#include "data/core/schema.h"
#include "data/sqlite/table_files.h"
#include "qt_printing.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

// A data folder of table files filled straight through SQLite (not through
// the program's engine), and what a test reads back from it the same way.
class BackupFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        data = work.filePath(QStringLiteral("data"));
        root = work.filePath(QStringLiteral("backups"));
        QDir().mkpath(data);
        data::createTableFiles(data);
    }

    // Runs SQL on one table file; its text values are bound, never spliced.
    static void run(const QString& file, const QString& sql, const QStringList& values = {}) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        for (int i = 0; i < values.size(); ++i) {
            const QByteArray v = values[i].toUtf8();
            sqlite3_bind_text(st, i + 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
        }
        EXPECT_EQ(sqlite3_step(st), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }

    // Adds orders numbered from `first`, in one transaction.
    void addOrders(int count, int first = 1, const QString& folder = QString()) {
        const QString file = QDir(folder.isEmpty() ? data : folder).filePath(QStringLiteral("dd.db"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 5000);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO dd (批号, 鞋的型号, 颜色, 件数, 备注) VALUES (?, 'M1', '黑', 2, ?)", -1,
                                     &st, nullptr),
                  SQLITE_OK);
        for (int i = first; i < first + count; ++i) {
            const QByteArray batch = QStringLiteral("B%1").arg(i, 6, 10, QLatin1Char('0')).toUtf8();
            const QByteArray note = QString(40, QChar(u'备')).toUtf8();
            sqlite3_bind_text(st, 1, batch.constData(), int(batch.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, note.constData(), int(note.size()), SQLITE_TRANSIENT);
            EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    void addShoe(const QString& model, const QString& colour) {
        run(QDir(data).filePath(QStringLiteral("shoes.db")), QStringLiteral("INSERT INTO shoes (鞋的型号, 颜色) VALUES (?, ?)"),
            {model, colour});
    }

    // The records of a table, or -1 when the file cannot be read whole.
    static qint64 rows(const QString& folder, const QString& table) {
        const QString file = data::tableFilePath(folder, table + QStringLiteral(".db"));
        sqlite3* db = nullptr;
        if (file.isEmpty() || sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return -1;
        }
        qint64 count = -1;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW &&
            QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == "ok") {
            sqlite3_finalize(st);
            st = nullptr;
            const QByteArray sql = QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table).toUtf8();
            if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
                count = sqlite3_column_int64(st, 0);
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return count;
    }
    qint64 orders() const { return rows(data, QStringLiteral("dd")); }
    qint64 shoes() const { return rows(data, QStringLiteral("shoes")); }

    // The folders in root, hidden ones included.
    QStringList rootEntries() const {
        return QDir(root).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir work;
    QString data;
    QString root;
};
