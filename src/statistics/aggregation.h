#pragma once

#include "data/engine/undo_scope.h"

#include <QString>

namespace data {
class Query;
}
namespace kit {
class StatusSink;
}

namespace statistics {

// The statistics lookup for one sole model and supplier; the values are
// quoted as literals, so a quote inside them is part of the value.
QString statisticsLookupStatement(const QString& sole, const QString& supplier);

// Opens the statistics query on the whole table and tells whether the table
// holds any row, whatever the query showed before.
bool statisticsTableHoldsRows(data::Query& statistics);

// Deletes every row of the statistics table through the statistics query
// (opened on the whole table first), with the "主表共有记录" progress after
// each row: rows left, rows still to delete, rows deleted. The query is busy
// meanwhile. Returns the number of rows deleted.
int clearStatisticsTable(data::Query& statistics, kit::StatusSink& status);

// Adds every order of the order query's result into the statistics row of its
// sole model and supplier, found by a lookup on the statistics query, or into
// a new row when there is none; a size without value counts as 0. Every row
// is posted (its posting rule runs, the statistics query must have it). After
// each order the progress panel shows the "主表共有记录" progress; at the end
// the statistics query shows the whole table again and the count panel gets
// its number of rows. An error ends the run where it happened and leaves the
// last lookup. Both queries are busy meanwhile. Returns the orders visited.
int addUpOrders(data::Query& orders, data::Query& statistics, kit::StatusSink& status);

// What the aggregation records for its undo: the orders shown and the whole
// statistics table.
inline QString aggregationCommand() { return QStringLiteral("鞋底统计"); }
inline QString statisticsTableName() { return QStringLiteral("xdtj.db"); }
data::UndoScope::Parts aggregationUndoParts(const data::Query& orders);

// The statistics rebuilt from the orders shown: the table emptied when it
// holds rows, then the orders added up.
int aggregateOrders(data::Query& orders, data::Query& statistics, kit::StatusSink& status);

}  // namespace statistics
