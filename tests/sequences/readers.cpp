#include "readers.h"

#include <QDir>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdexcept>

namespace seq {

const QStringList& fieldsOf(Table table) {
    static const QStringList sizes = [] {
        QStringList s;
        for (int size = 33; size <= 48; ++size)
            s << QString::number(size);
        return s;
    }();
    static const QStringList orders = QStringList{"批号", "单号", "鞋的型号", "颜色", "件数", "双数"} + sizes +
                                      QStringList{"备注", "已统计", "供应商", "鞋底型号"};
    static const QStringList shoes{"鞋的型号", "颜色", "鞋底型号", "供应商", "备注", "顺序"};
    static const QStringList stats = QStringList{"供应商", "鞋底型号", "双数"} + sizes + QStringList{"顺序"};
    return table == OrdersTable ? orders : table == ShoesTable ? shoes : stats;
}

QString sqlNameOf(Table table) {
    return table == OrdersTable ? QStringLiteral("dd") : table == ShoesTable ? QStringLiteral("shoes") : QStringLiteral("xdtj");
}

namespace {

QString fileOf(Table table) { return sqlNameOf(table) + QStringLiteral(".db"); }

QString selectAll(Table table, bool server) {
    QStringList columns;
    for (const QString& f : fieldsOf(table)) {
        const QString q = QLatin1Char('"') + f + QLatin1Char('"');
        if (f == QStringLiteral("已统计"))
            columns << (server ? QStringLiteral("CASE WHEN coalesce(%1, false) THEN '1' ELSE '0' END").arg(q)
                               : QStringLiteral("CASE WHEN coalesce(%1, 0) <> 0 THEN '1' ELSE '0' END").arg(q));
        else
            columns << (server ? QStringLiteral("coalesce(%1::text, '')").arg(q) : QStringLiteral("coalesce(%1, '')").arg(q));
    }
    return QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid").arg(columns.join(QStringLiteral(", ")), sqlNameOf(table));
}

class FileRows : public StoredRows {
public:
    explicit FileRows(QString folder) : folder_(std::move(folder)) {}

    QStringList rows(Table table) override {
        sqlite3* db = nullptr;
        const QByteArray path = QDir(folder_).filePath(fileOf(table)).toUtf8();
        if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            throw std::runtime_error("the reader cannot open " + path.toStdString());
        }
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = selectAll(table, false).toUtf8();
        QStringList out;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK) {
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
                QStringList fields;
                for (int i = 0; i < sqlite3_column_count(st); ++i)
                    fields << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                out << fields.join(QLatin1Char('|'));
            }
            if (rc != SQLITE_DONE)
                out << QStringLiteral("读取失败: ") + QString::fromUtf8(sqlite3_errmsg(db));
        } else {
            out << QStringLiteral("读取失败: ") + QString::fromUtf8(sqlite3_errmsg(db));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }

private:
    QString folder_;
};

class ServerRows : public StoredRows {
public:
    explicit ServerRows(const QString& uri) {
        const QByteArray keywords[] = {"dbname", "application_name"};
        const QByteArray values[] = {uri.toUtf8(), readerSessionName()};
        const char* k[] = {keywords[0].constData(), keywords[1].constData(), nullptr};
        const char* v[] = {values[0].constData(), values[1].constData(), nullptr};
        conn_ = PQconnectdbParams(k, v, 1);
        if (PQstatus(conn_) != CONNECTION_OK)
            throw std::runtime_error(std::string("the reader cannot reach the server: ") + PQerrorMessage(conn_));
    }
    ~ServerRows() override { PQfinish(conn_); }

    QStringList rows(Table table) override {
        PGresult* r = PQexec(conn_, selectAll(table, true).toUtf8().constData());
        QStringList out;
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            out << QStringLiteral("读取失败: ") + QString::fromUtf8(PQresultErrorMessage(r));
        } else {
            for (int row = 0; row < PQntuples(r); ++row) {
                QStringList fields;
                for (int c = 0; c < PQnfields(r); ++c)
                    fields << QString::fromUtf8(PQgetvalue(r, row, c));
                out << fields.join(QLatin1Char('|'));
            }
        }
        PQclear(r);
        return out;
    }

private:
    PGconn* conn_ = nullptr;
};

}  // namespace

std::unique_ptr<StoredRows> readTableFiles(const QString& folder) { return std::make_unique<FileRows>(folder); }
std::unique_ptr<StoredRows> readServer(const QString& uri) { return std::make_unique<ServerRows>(uri); }

}  // namespace seq
