#include "scan_fixture.h"

#include "data/engine/open_store.h"

#include <QDir>
#include <QFile>
#include <sqlite3.h>
#include <stdexcept>

namespace bench {

namespace {

const char* const Colours[] = {"黑", "棕", "卡其"};
constexpr int CatalogueColours = 2;  // the catalogue never holds the third

QByteArray modelName(int index) { return "M" + QByteArray::number(index).rightJustified(4, '0'); }

class Database {
public:
    explicit Database(const QString& path) {
        if (sqlite3_open(QFile::encodeName(path).constData(), &db_) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.toStdString());
    }
    ~Database() { sqlite3_close(db_); }
    sqlite3* handle() const { return db_; }

    void exec(const QByteArray& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string text = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(sql.toStdString() + ": " + text);
        }
    }
    sqlite3_stmt* prepare(const QByteArray& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql.toStdString() + ": " + sqlite3_errmsg(db_));
        return st;
    }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace

ScanTables makeScanTables(const QString& dir, int orders, int catalogueRows) {
    data::createTables(dir);
    ScanTables made;
    const int catalogueModels = catalogueRows / CatalogueColours;
    {
        Database shoes(QDir(dir).filePath(QStringLiteral("shoes.db")));
        shoes.exec("BEGIN");
        sqlite3_stmt* st = shoes.prepare(
            "INSERT INTO shoes (\"鞋的型号\",\"颜色\",\"鞋底型号\",\"供应商\",\"顺序\") VALUES (?,?,?,?,?)");
        for (int m = 0; m < catalogueModels; ++m)
            for (int c = 0; c < CatalogueColours; ++c) {
                const QByteArray model = modelName(m);
                const QByteArray sole = "D-" + QByteArray::number(m % 97);
                const QByteArray sequence = model + Colours[c];
                sqlite3_bind_text(st, 1, model.constData(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(st, 2, Colours[c], -1, SQLITE_STATIC);
                sqlite3_bind_text(st, 3, sole.constData(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(st, 4, "鑫达鞋材", -1, SQLITE_STATIC);
                sqlite3_bind_text(st, 5, sequence.constData(), -1, SQLITE_TRANSIENT);
                sqlite3_step(st);
                sqlite3_reset(st);
                ++made.catalogueRows;
            }
        sqlite3_finalize(st);
        shoes.exec("COMMIT");
    }
    {
        // Models run a little past the catalogue's; the third colour is rare.
        const int orderModels = catalogueModels + catalogueModels / 20 + 1;
        Database dd(QDir(dir).filePath(QStringLiteral("dd.db")));
        dd.exec("BEGIN");
        sqlite3_stmt* st = dd.prepare(
            "INSERT INTO dd (\"批号\",\"单号\",\"鞋的型号\",\"颜色\",\"件数\",\"双数\",\"已统计\") VALUES (?,?,?,?,1,12,0)");
        for (int i = 0; i < orders; ++i) {
            const QByteArray order = QByteArray::number(5000 + i / 100);
            const QByteArray batch = order + QByteArray::number(i % 100).rightJustified(3, '0');
            const int modelIndex = int((qint64(i) * 7919) % orderModels);
            const int colour = i % 19 == 0 ? 2 : (i / 3) % 2;
            const QByteArray model = modelName(modelIndex);
            sqlite3_bind_text(st, 1, batch.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, order.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, model.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 4, Colours[colour], -1, SQLITE_STATIC);
            sqlite3_step(st);
            sqlite3_reset(st);
            ++made.orders;
            if (modelIndex >= catalogueModels || colour >= CatalogueColours)
                ++made.missingOrders;
        }
        sqlite3_finalize(st);
        dd.exec("COMMIT");
    }
    return made;
}

QStringList unregisteredBySql(const QString& dir) {
    Database dd(QDir(dir).filePath(QStringLiteral("dd.db")));
    const QByteArray shoesPath = QFile::encodeName(QDir(dir).filePath(QStringLiteral("shoes.db")));
    sqlite3_stmt* attach = dd.prepare("ATTACH DATABASE ? AS cat");
    sqlite3_bind_text(attach, 1, shoesPath.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_step(attach);
    sqlite3_finalize(attach);
    sqlite3_stmt* st = dd.prepare(
        "SELECT DISTINCT d.\"鞋的型号\", d.\"颜色\" FROM main.dd AS d"
        " WHERE NOT EXISTS (SELECT 1 FROM cat.shoes AS s"
        "   WHERE s.\"鞋的型号\" = d.\"鞋的型号\" AND s.\"颜色\" = d.\"颜色\")");
    QStringList entries;
    while (sqlite3_step(st) == SQLITE_ROW)
        entries << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + QLatin1Char(':') +
                       QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    sqlite3_finalize(st);
    return entries;
}

}  // namespace bench
