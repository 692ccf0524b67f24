#pragma once

#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "paradox/paradox_import.h"
#include "paradox_writer.h"
#include "qt_printing.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A folder of Paradox tables written by the test and an empty data folder.
class ParadoxImportFixture : public ::testing::Test {
public:
    using Value = paradox_fixture::Value;

    void SetUp() override {
        ASSERT_TRUE(paradoxDir.isValid());
        ASSERT_TRUE(dataParent.isValid());
        dataDir = QDir(dataParent.path()).filePath(QStringLiteral("data"));
    }

    static Value text(const char16_t* s) { return QString::fromUtf16(s); }
    static Value whole(qint64 n) { return n; }

    QString paradoxPath(const QString& name) const { return QDir(paradoxDir.path()).filePath(name); }

    void write(const QString& name, const paradox_fixture::Table& table) const {
        paradox_fixture::writeTable(paradoxPath(name), table);
    }

    // Empty tables with all fields, for the tables a test does not care about.
    void writeEmptyTables(bool shoes, bool orders, bool statistics) const {
        if (shoes)
            write(QStringLiteral("shoes.db"), {paradox_fixture::catalogueFields(), {}});
        if (orders)
            write(QStringLiteral("dd.db"), {paradox_fixture::orderFields(), {}});
        if (statistics)
            write(QStringLiteral("xdtj.db"), {paradox_fixture::statisticsFields(), {}});
    }

    // An order record in the field order of orderFields(): batch, order
    // number, model, colour, cases, pairs, sizes 33..48, remark, counted,
    // supplier, sole model.
    static paradox_fixture::Record order(Value batch, Value orderNo, Value model, Value colour, Value cases, Value pairs,
                                         std::vector<std::pair<int, qint64>> sizes, Value remark, Value counted) {
        paradox_fixture::Record r = {batch, orderNo, model, colour, cases, pairs};
        for (int size = 33; size <= 48; ++size) {
            Value v;
            for (const auto& [s, n] : sizes)
                if (s == size)
                    v = n;
            r.push_back(v);
        }
        r.push_back(remark);
        r.push_back(counted);
        r.push_back(Value());
        r.push_back(Value());
        return r;
    }

    std::unique_ptr<data::Query> openStored(const QString& sql) {
        if (!engine)
            engine = std::make_unique<data::Engine>(dataDir);
        auto q = std::make_unique<data::Query>(*engine);
        q->setSql(sql);
        q->open();
        return q;
    }

    QStringList dataFiles() const {
        return QDir(dataDir).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir paradoxDir;
    QTemporaryDir dataParent;
    QString dataDir;
    std::unique_ptr<data::Engine> engine;
};
