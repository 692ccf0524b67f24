#pragma once

namespace data {
class Query;
}

namespace kit {
class StatusSink;
}

namespace orders {

// Sets "已统计" to true on every row of the order query's result, posting each
// (the posting rule runs). After each row the progress panel shows the
// "此表共有记录" progress followed by "@已求和:" and the sum of "双数" over the
// rows marked so far; at the end the count panel gets the number of rows.
// The query is busy meanwhile. Returns the number of rows marked.
int markCounted(data::Query& query, kit::StatusSink& status);

// Deletes exactly the rows the result holds at the start, with progress after
// each (rows left, rows still to delete, rows deleted) and deletionFinishedText()
// at the end; a failure leaves the progress of the last row standing. The
// confirmation (deleteQuestion()) is the caller's. The query is busy meanwhile.
// Returns the number of rows deleted.
int deleteShownOrders(data::Query& query, kit::StatusSink& status);

}  // namespace orders
