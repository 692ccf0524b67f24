#include "statistics/aggregation.h"

#include "data/engine/query.h"
#include "data/core/schema.h"
#include "data/lang/statement.h"
#include "data/engine/undo_scope.h"
#include "statistics/statistics_messages.h"
#include "window_kit/progress.h"

#include <array>
#include <optional>

namespace statistics {

namespace {

constexpr int SizeCount = 16;

int indexOf(const data::Query& query, const QString& name) {
    const int index = query.fieldIndex(name);
    if (index < 0)
        throw data::EngineError::wrongLayout(query.tableName(), name);
    return index;
}

// Positions of the sole model, the supplier and the sizes in a query over
// the orders or over the statistics.
struct SoleFields {
    explicit SoleFields(const data::Query& q)
        : sole(indexOf(q, QStringLiteral("鞋底型号"))), supplier(indexOf(q, QStringLiteral("供应商"))) {
        for (int i = 0; i < SizeCount; ++i)
            sizes[i] = indexOf(q, data::sizeFieldNames()[i]);
    }
    int sole, supplier;
    std::array<int, SizeCount> sizes;
};

}  // namespace

QString statisticsLookupStatement(const QString& sole, const QString& supplier) {
    return data::twoValueLookup(u"select * from XdTJ.db WHERE 鞋底型号=", sole, u" AND 供应商=", supplier);
}

bool statisticsTableHoldsRows(data::Query& statistics) {
    statistics.setSql(statisticsStatement());
    statistics.open();
    return !statistics.isEmpty();
}

int clearStatisticsTable(data::Query& statistics, kit::StatusSink& status) {
    statistics.setSql(statisticsStatement());
    statistics.open();
    data::BusyScope busy(statistics);
    statistics.first();
    const int total = statistics.recordCount();
    int deleted = 0;
    for (int i = 0; i < total; ++i) {
        status.letEventsRun();
        if (statistics.eof())
            break;
        statistics.remove();
        ++deleted;
        status.setProgress({kit::mainTablePrefix(), statistics.recordCount(), total - deleted, deleted, {}});
    }
    return deleted;
}

int addUpOrders(data::Query& orders, data::Query& statistics, kit::StatusSink& status) {
    int visited = 0;
    {
        data::BusyScope busyOrders(orders);
        data::BusyScope busyStatistics(statistics);
        orders.first();
        const SoleFields order(orders);
        std::optional<SoleFields> row;
        while (!orders.eof()) {
            status.letEventsRun();
            ++visited;
            statistics.setSql(statisticsLookupStatement(orders.field(order.sole).asText(), orders.field(order.supplier).asText()));
            statistics.open();
            if (!row)
                row.emplace(statistics);
            if (!statistics.isEmpty()) {
                statistics.first();
                statistics.edit();
                for (int i = 0; i < SizeCount; ++i) {
                    // A size the order does not have leaves the row's value
                    // as it is, so that only the sizes added to are written.
                    data::Field size = statistics.field(row->sizes[i]);
                    const qint64 added = orders.field(order.sizes[i]).asInteger();
                    if (added != 0 || size.isNull())
                        size.setInteger(size.asInteger() + added);
                }
            } else {
                statistics.insert();
                statistics.field(row->sole).setValue(orders.value(order.sole));
                statistics.field(row->supplier).setValue(orders.value(order.supplier));
                for (int i = 0; i < SizeCount; ++i)
                    statistics.field(row->sizes[i]).setInteger(orders.field(order.sizes[i]).asInteger());
            }
            statistics.post();
            orders.next();
            status.setProgress(kit::Progress::of(kit::mainTablePrefix(), orders.recordCount(), visited));
        }
    }
    statistics.setSql(finalStatisticsStatement());
    statistics.open();
    status.setPanelText(kit::CountPanel, QString::number(statistics.recordCount()));
    return visited;
}

data::UndoScope::Parts aggregationUndoParts(const data::Query& orders) {
    return {data::shownRows(orders), data::wholeTable(orders.engine(), statisticsTableName())};
}

int aggregateOrders(data::Query& orders, data::Query& statistics, kit::StatusSink& status) {
    const data::UndoScope undo(orders.engine(), aggregationCommand(), data::statisticsWindowName(),
                               aggregationUndoParts(orders));
    if (statisticsTableHoldsRows(statistics))
        clearStatisticsTable(statistics, status);
    return addUpOrders(orders, statistics, status);
}

}  // namespace statistics
