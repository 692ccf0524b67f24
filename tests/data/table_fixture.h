#pragma once

#include "data/engine.h"
#include "data/query.h"
#include "data/table_files.h"
#include "qt_printing.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A folder with the three empty tables and an engine over it.
class TableFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        data::createTableFiles(dir.path());
        engine = std::make_unique<data::Engine>(dir.path());
    }

    std::unique_ptr<data::Query> openQuery(const QString& sql) {
        auto q = std::make_unique<data::Query>(*engine);
        q->setSql(sql);
        q->open();
        return q;
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
