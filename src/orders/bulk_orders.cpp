#include "orders/bulk_orders.h"

#include "data/engine/query.h"
#include "data/engine/undo_scope.h"
#include "orders/order_messages.h"
#include "window_kit/progress.h"

namespace orders {

int markCounted(data::Query& query, kit::StatusSink& status) {
    const data::UndoScope undo(query.engine(), QStringLiteral("标为统计"), data::ordersWindowName(), {data::shownRows(query)});
    data::BusyScope busy(query);
    query.first();
    const int total = query.recordCount();
    int done = 0;
    qint64 pairs = 0;
    while (!query.eof()) {
        status.letEventsRun();
        ++done;
        query.edit();
        query.field(QStringLiteral("已统计")).setBoolean(true);
        query.post();
        pairs += query.field(QStringLiteral("双数")).asInteger();
        query.next();
        kit::Progress progress = kit::Progress::of(kit::thisTablePrefix(), total, done);
        progress.pairsSummed = pairs;
        status.setProgress(progress);
    }
    status.setPanelText(kit::CountPanel, QString::number(query.recordCount()));
    return done;
}

int deleteShownOrders(data::Query& query, kit::StatusSink& status) {
    const data::UndoScope undo(query.engine(), QStringLiteral("删除订单"), data::ordersWindowName(), {data::shownRows(query)});
    data::BusyScope busy(query);
    query.first();
    const int total = query.recordCount();
    int deleted = 0;
    for (int i = 0; i < total; ++i) {
        status.letEventsRun();
        ++deleted;
        query.remove();
        status.setProgress({kit::thisTablePrefix(), query.recordCount(), total - deleted, deleted, {}});
    }
    status.setPanelText(kit::ProgressPanel, kit::deletionFinishedText());
    return deleted;
}

}  // namespace orders
