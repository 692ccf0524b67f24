#pragma once

#include "data/engine.h"
#include "data/query.h"
#include "data/table_files.h"
#include "qt_printing.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

// A temporary folder with the three empty tables and an engine over it.
class TableFolder {
public:
    TableFolder() {
        EXPECT_TRUE(dir.isValid());
        data::createTableFiles(dir.path());
        engine = std::make_unique<data::Engine>(dir.path());
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
    std::unique_ptr<data::Engine> engine;
};

class TableFixture : public ::testing::Test, public TableFolder {};
