#include "catalogue/catalogue_delete.h"

#include "data/engine/query.h"
#include "data/engine/undo_scope.h"
#include "window_kit/progress.h"
#include "window_kit/shared_messages.h"

namespace catalogue {

int deleteShownModels(data::Query& query, kit::StatusSink& status) {
    const data::UndoScope undo(query.engine(), QStringLiteral("删除"), data::catalogueWindowName(), {data::shownRows(query)});
    data::BusyScope busy(query);
    query.first();
    const int total = query.recordCount();
    int deleted = 0;
    while (deleted < total) {
        status.letEventsRun();
        query.remove();  // the cursor moves on to the following record
        ++deleted;
        status.setProgress({kit::thisTablePrefix(), query.recordCount(), total - deleted, deleted, {}});
    }
    status.setPanelText(kit::ProgressPanel, kit::deletionFinishedText());
    return deleted;
}

}  // namespace catalogue
