#include "catalogue/catalogue_delete.h"

#include "data/query.h"
#include "orders/order_messages.h"
#include "orders/progress.h"

namespace catalogue {

int deleteShownModels(data::Query& query, orders::StatusSink& status) {
    data::BusyScope busy(query);
    query.first();
    const int total = query.recordCount();
    int deleted = 0;
    while (deleted < total) {
        status.letEventsRun();
        query.remove();  // the cursor moves on to the following record
        ++deleted;
        status.setPanelText(orders::ProgressPanel, orders::progressText(orders::thisTablePrefix(), query.recordCount(),
                                                                        total - deleted, deleted));
    }
    status.setPanelText(orders::ProgressPanel, orders::deletionFinishedText());
    return deleted;
}

}  // namespace catalogue
