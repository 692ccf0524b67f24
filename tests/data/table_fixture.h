#pragma once

#include "data/engine.h"
#include "data/query.h"
#include "data/pg_schema.h"
#include "data/table_files.h"
#include "pg_test_database.h"
#include "qt_printing.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

// Where the tables of a test are: table files in a temporary folder, or a
// fresh database on the test server (TAVREL_TEST_PG_URI).
enum class TableStore { Files, Server };

inline const auto& allTableStores() {
    static const auto stores = ::testing::Values(TableStore::Files, TableStore::Server);
    return stores;
}

inline void PrintTo(TableStore store, std::ostream* out) { *out << (store == TableStore::Files ? "files" : "server"); }

// Names the cases of a suite run on every store: ".../Files", ".../Server".
inline std::string tableStoreName(const ::testing::TestParamInfo<TableStore>& info) {
    return info.param == TableStore::Files ? "Files" : "Server";
}

// The three empty tables in a store and an engine over them. A temporary
// folder is made for either store (tests keep other files there).
class TableFolder {
public:
    explicit TableFolder(TableStore store = TableStore::Files) : store(store) {
        EXPECT_TRUE(dir.isValid());
        if (store == TableStore::Server) {
            location = freshServerTables();
        } else {
            data::createTableFiles(dir.path());
            location = dir.path();
        }
        engine = std::make_unique<data::Engine>(location);
    }
    ~TableFolder() {
        engine.reset();
        if (database_.isEmpty())
            return;
        try {
            data::pg::Session::connect(pgBaseUri(), QStringLiteral("tavrel tests"))
                ->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database_));
        } catch (const data::EngineError& e) {
            ADD_FAILURE() << "the test database " << database_.toStdString() << " stays: " << e.what();
        }
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

    const TableStore store;
    QTemporaryDir dir;
    QString location;  // the folder, or the server database's URI
    std::unique_ptr<data::Engine> engine;

private:
    QString freshServerTables() {
        if (pgBaseUri().isEmpty())
            throw std::runtime_error("TAVREL_TEST_PG_URI is not set: the tests on the server store need a PostgreSQL "
                                     "server (a URI of a role that may create databases)");
        static int made = 0;
        database_ = QStringLiteral("tavrel_tables_%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
        const QString uri = freshPgDatabase(database_);
        data::pg::createTables(*data::pg::Session::connect(uri, QStringLiteral("tavrel tests")));
        return uri;
    }

    QString database_;  // on the server, dropped at the end
};

class TableFixture : public ::testing::Test, public TableFolder {};
