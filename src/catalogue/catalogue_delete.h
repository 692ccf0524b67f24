#pragma once

namespace data {
class Query;
}
namespace kit {
class StatusSink;
}

namespace catalogue {

// Deletes exactly the records the catalogue query's result holds at the
// start (all of them after a refresh, the matches after a search), letting
// events run before each. After each deletion the progress panel shows
// "此表共有记录" with the records now in the result, the number still to
// delete and the number deleted; "删除完毕" ends it, at once when there was
// nothing to delete. The confirmation is the caller's. The query is busy
// meanwhile. Returns the number of records deleted.
int deleteShownModels(data::Query& query, kit::StatusSink& status);

}  // namespace catalogue
