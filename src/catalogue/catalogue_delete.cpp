#include "catalogue/catalogue_delete.h"

#include "data/query.h"
#include "window_kit/progress.h"
#include "window_kit/shared_messages.h"

namespace catalogue {

int deleteShownModels(data::Query& query, kit::StatusSink& status) {
    data::BusyScope busy(query);
    query.first();
    const int total = query.recordCount();
    int deleted = 0;
    while (deleted < total) {
        status.letEventsRun();
        query.remove();  // the cursor moves on to the following record
        ++deleted;
        status.setPanelText(kit::ProgressPanel, kit::progressText(kit::thisTablePrefix(), query.recordCount(),
                                                                        total - deleted, deleted));
    }
    status.setPanelText(kit::ProgressPanel, kit::deletionFinishedText());
    return deleted;
}

}  // namespace catalogue
