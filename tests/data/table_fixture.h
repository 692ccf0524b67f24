#pragma once

#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "data/engine/open_store.h"
#include "pg_test_server.h"
#include "qt_printing.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

// Where the tables of a test are: table files in a temporary folder, or a
// fresh database on the test server.
enum class Store { Files, Server };

inline void PrintTo(Store store, std::ostream* out) { *out << (store == Store::Files ? "table files" : "server"); }

inline std::string storeName(const ::testing::TestParamInfo<Store>& info) {
    return info.param == Store::Files ? "TableFiles" : "Server";
}

// A temporary folder (or a fresh server database) with the three empty
// tables and an engine over it.
class TableFolder {
public:
    explicit TableFolder(Store store = Store::Files) {
        EXPECT_TRUE(dir.isValid());
        if (store == Store::Files) {
            data::createTables(dir.path());
            engine = std::make_unique<data::Engine>(dir.path());
            return;
        }
        location = pgTestDatabase();
        data::createTables(location);
        engine = std::make_unique<data::Engine>(location);
    }
    TableFolder(const TableFolder&) = delete;
    TableFolder& operator=(const TableFolder&) = delete;

    std::unique_ptr<data::Query> openQuery(const QString& sql) {
        auto q = std::make_unique<data::Query>(*engine);
        q->setSql(sql);
        q->open();
        return q;
    }

    // Stores rows in a table as given, through a query of its own without
    // any posting rule.
    using Row = std::map<QString, QVariant>;
    void storeRows(const QString& table, const std::vector<Row>& rows) {
        auto writer = openQuery(QStringLiteral("select * from ") + table);
        for (const Row& row : rows) {
            writer->append();
            for (const auto& [field, value] : row)
                writer->field(field).setValue(value);
            writer->post();
        }
    }

    // Appends and posts one order with the given batch number and fields.
    static void addOrder(data::Query& q, const QString& batch, const QList<QPair<QString, QVariant>>& fields = {}) {
        q.append();
        q.field(QStringLiteral("批号")).setText(batch);
        for (const auto& [name, value] : fields)
            q.field(name).setValue(value);
        q.post();
    }

    static QStringList column(data::Query& q, const QString& name) {
        QStringList values;
        for (q.first(); !q.eof(); q.next())
            values << q.field(name).asText();
        return values;
    }

    QTemporaryDir dir;
    QString location;  // the server database, when on the server
    std::unique_ptr<data::Engine> engine;
};

class TableFixture : public ::testing::Test, public TableFolder {};

// The same tests on the table files and on the server.
class StoreFixture : public ::testing::TestWithParam<Store>, public TableFolder {
public:
    StoreFixture() : TableFolder(GetParam()) {}
};

#define TAVREL_ON_BOTH_STORES(suite) \
    INSTANTIATE_TEST_SUITE_P(Stores, suite, ::testing::Values(Store::Files, Store::Server), storeName)
