#pragma once

#include "data/table_fixture.h"
#include "orders/order_posting.h"
#include "recording_sink.h"

#include <functional>
#include <utility>
#include <vector>

// The three tables and the order query with the posting rule installed, as
// the order window sets it up.
class OrderTables : public TableFolder {
public:
    explicit OrderTables(Store store = Store::Files) : TableFolder(store) {
        orders = openQuery(QStringLiteral("select * from dd.db"));
        orders::installOrderPostingRule(*orders, [this] { ++duplicateMessages; });
    }

    // Adds an order with "件数" and the given sizes ({"36", 12}, ...).
    void addSizedOrder(const QString& batch, int cases, const QList<QPair<QString, QVariant>>& sizes) {
        QList<QPair<QString, QVariant>> fields{{QStringLiteral("件数"), cases}};
        fields += sizes;
        addOrder(*orders, batch, fields);
    }

    // The sizes "33".."48" of the current row as integers.
    std::vector<qint64> sizesOfCurrent() {
        std::vector<qint64> sizes;
        for (const QString& name : data::sizeFieldNames())
            sizes.push_back(orders->field(name).asInteger());
        return sizes;
    }

    // Moves to the order with this batch number.
    void goTo(const QString& batch) {
        for (orders->first(); !orders->eof(); orders->next())
            if (orders->field(QStringLiteral("批号")).asText() == batch)
                return;
        FAIL() << "no order " << batch.toStdString();
    }

    // The same order as stored, read through a fresh query.
    QVariant stored(const QString& batch, const QString& field) {
        auto q = openQuery(QStringLiteral("select * from dd.db where 批号='%1'").arg(batch));
        return q->isEmpty() ? QVariant() : q->field(field).value();
    }

    int storedOrderCount() { return openQuery(QStringLiteral("select * from dd.db"))->recordCount(); }

    std::unique_ptr<data::Query> orders;
    int duplicateMessages = 0;
};

// A test over a set of tables (OrderTables, StatisticsTables).
template <class Tables>
class TablesTest : public ::testing::Test, public Tables {};

// The same over the tables of each store: TEST_P cases, instantiated with
// TAVREL_ON_BOTH_STORES(suite).
template <class Tables>
class StoreTablesTest : public ::testing::TestWithParam<Store>, public Tables {
public:
    StoreTablesTest() : Tables(::testing::TestWithParam<Store>::GetParam()) {}
};

// Sizes "33".."48" with value at the given size, 0 elsewhere.
inline std::vector<qint64> sizeRun(std::initializer_list<std::pair<int, qint64>> values) {
    std::vector<qint64> run(16, 0);
    for (const auto& [size, value] : values)
        run[size - 33] = value;
    return run;
}
