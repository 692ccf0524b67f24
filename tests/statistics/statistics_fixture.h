#pragma once

#include "data/core/schema.h"
#include "orders/orders_fixture.h"
#include "statistics/export_services.h"
#include "statistics/statistics_posting.h"

#include <map>

// The columns of the statistics grid: supplier, sole model, pairs, sizes.
inline QStringList statisticsColumns() {
    QStringList columns{QStringLiteral("供应商"), QStringLiteral("鞋底型号"), QStringLiteral("双数")};
    for (int size = 33; size <= 48; ++size)
        columns << QString::number(size);
    return columns;
}

// Texts of the record written for row i (from 1): a supplier with a long
// name, a model that looks like a number with a leading zero, the pairs and
// the sizes 36 and 37.
inline QStringList statisticsRecord(int i) {
    QStringList texts{QStringLiteral("温州鞋底供应有限公司%1").arg(i), QStringLiteral("0%1").arg(800 + i),
                      QString::number(10 + i)};
    for (int size = 33; size <= 48; ++size)
        texts << (size == 36 ? QStringLiteral("10") : size == 37 ? QString::number(i) : QStringLiteral("0"));
    return texts;
}

// The order query as the order window sets it up, the catalogue query and
// the statistics query with its posting rule.
class StatisticsTables : public OrderTables {
public:
    explicit StatisticsTables(Store store = Store::Files) : OrderTables(store) {
        catalogue = openQuery(QStringLiteral("select * from shoes.db"));
        statistics = openQuery(QStringLiteral("select * from xdtj.db"));
        statistics->setBeforePost(statistics::applyStatisticsPostingRule);
    }

    // Empties the three tables between the cases of a table-driven test and
    // sets the queries up afresh.
    void emptyTables() {
        for (data::Query* q : {orders.get(), catalogue.get(), statistics.get()}) {
            q->cancel();
            q->setSql(QStringLiteral("select * from %1").arg(q == orders.get()      ? QStringLiteral("dd.db")
                                                              : q == catalogue.get() ? QStringLiteral("shoes.db")
                                                                                     : QStringLiteral("xdtj.db")));
            q->open();
            while (!q->isEmpty())
                q->remove();
        }
        orders::installOrderPostingRule(*orders, [this] { ++duplicateMessages; });
        statistics->setBeforePost(statistics::applyStatisticsPostingRule);
    }

    void addCatalogueRow(const QString& model, const QString& colour, const QString& sole, const QString& supplier) {
        catalogue->append();
        catalogue->field(QStringLiteral("鞋的型号")).setText(model);
        catalogue->field(QStringLiteral("颜色")).setText(colour);
        catalogue->field(QStringLiteral("鞋底型号")).setText(sole);
        catalogue->field(QStringLiteral("供应商")).setText(supplier);
        catalogue->post();
    }

    // An order of a shoe model and colour with pairs at some sizes ({38, 10}, ...).
    void addModelOrder(const QString& batch, const QString& model, const QString& colour,
                       std::initializer_list<std::pair<int, int>> sizes, const QString& orderNo = QString()) {
        QList<QPair<QString, QVariant>> fields{{QStringLiteral("鞋的型号"), model}, {QStringLiteral("颜色"), colour}};
        if (!orderNo.isEmpty())
            fields.append({QStringLiteral("单号"), orderNo});
        for (const auto& [size, pairs] : sizes)
            fields.append({QString::number(size), pairs});
        addOrder(*orders, batch, fields);
    }

    // An order already carrying a sole model and supplier.
    void addSoleOrder(const QString& batch, const QString& sole, const QString& supplier,
                      std::initializer_list<std::pair<int, int>> sizes) {
        QList<QPair<QString, QVariant>> fields{{QStringLiteral("鞋底型号"), sole}, {QStringLiteral("供应商"), supplier}};
        for (const auto& [size, pairs] : sizes)
            fields.append({QString::number(size), pairs});
        addOrder(*orders, batch, fields);
    }

    // Adds a statistics row as the aggregation would leave it.
    void addStatisticsRow(const QString& supplier, const QString& sole, std::initializer_list<std::pair<int, int>> sizes) {
        statistics->append();
        statistics->field(QStringLiteral("鞋底型号")).setText(sole);
        statistics->field(QStringLiteral("供应商")).setText(supplier);
        for (const QString& size : data::sizeFieldNames())
            statistics->field(size).setInteger(0);
        for (const auto& [size, pairs] : sizes)
            statistics->field(QString::number(size)).setInteger(pairs);
        statistics->post();
    }

    void showAllOrders() {
        orders->setSql(QStringLiteral("select * from dd.db"));
        orders->open();
    }

    // Every stored statistics row as "supplier|sole|pairs|sequence|sizes..."
    // with "-" for a field without value, sorted; read through an engine of
    // its own, so only what is committed to the file counts.
    QStringList storedStatistics() {
        data::Engine reader(engine->location());
        data::Query q(reader);
        q.setSql(QStringLiteral("select * from xdtj.db"));
        q.open();
        QStringList rows;
        for (q.first(); !q.eof(); q.next()) {
            QStringList parts;
            for (const QString& name : QStringList{"供应商", "鞋底型号", "双数", "顺序"} + data::sizeFieldNames()) {
                const data::Field f = q.field(name);
                parts << (f.isNull() ? QStringLiteral("-") : f.asText());
            }
            rows << parts.join(QLatin1Char('|'));
        }
        rows.sort();
        return rows;
    }

    // The expected text of a statistics row with the given sizes, others 0.
    static QString statisticsRow(const QString& supplier, const QString& sole, std::initializer_list<std::pair<int, int>> sizes) {
        std::map<int, qint64> bySize;
        qint64 total = 0;
        for (const auto& [size, pairs] : sizes) {
            bySize[size] += pairs;
            total += pairs;
        }
        QStringList parts{supplier.isEmpty() ? QStringLiteral("-") : supplier, sole.isEmpty() ? QStringLiteral("-") : sole,
                          QString::number(total),
                          (supplier + sole).isEmpty() ? QStringLiteral("-") : supplier + sole};
        for (int size = 33; size <= 48; ++size)
            parts << QString::number(bySize[size]);
        return parts.join(QLatin1Char('|'));
    }

    // Supplier and sole model of every stored order, "batch:supplier/sole", in table order.
    QStringList storedAssignments() {
        auto q = openQuery(QStringLiteral("select * from dd.db"));
        QStringList out;
        for (q->first(); !q->eof(); q->next())
            out << q->field(QStringLiteral("批号")).asText() + QLatin1Char(':') + q->field(QStringLiteral("供应商")).asText() +
                       QLatin1Char('/') + q->field(QStringLiteral("鞋底型号")).asText();
        return out;
    }

    // Fills the statistics table with records 1..n of statisticsRecord(),
    // written apart from the posting rule, and reopens its query.
    void fillStatistics(int records) {
        auto writer = openQuery(QStringLiteral("select * from xdtj.db"));
        {
            data::BusyScope busy(*writer);
            const QStringList columns = statisticsColumns();
            for (int i = 1; i <= records; ++i) {
                writer->append();
                const QStringList texts = statisticsRecord(i);
                for (int c = 0; c < columns.size(); ++c)
                    writer->field(columns[c]).setText(texts[c]);
                writer->field(QStringLiteral("顺序")).setText(QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')));
                writer->post();
            }
        }
        statistics->open();
    }

    // The lower grid of the statistics window over the statistics query.
    statistics::GridExport grid() const {
        return {QStringLiteral("DBGrid2"), statisticsColumns(), statisticsColumns(), statistics.get()};
    }

    std::unique_ptr<data::Query> catalogue;
    std::unique_ptr<data::Query> statistics;
};
