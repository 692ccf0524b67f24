#pragma once

#include <QString>
#include <functional>

namespace data {
class Query;
}
namespace kit {
class StatusSink;
}

namespace statistics {

// The line listed for an order the catalogue does not know:
// model ":" colour ":" pairs ":" batch number.
QString unregisteredLine(const QString& model, const QString& colour, const QString& pairs, const QString& batch);

// Gives every order of the order query's result, in result order, the
// supplier and sole model that the catalogue records for its shoe model and
// colour, posting each order (its posting rule runs). An order the catalogue
// has no row for gets unregisteredText() in both fields and its line is passed
// to addUnregisteredLine; a catalogue row whose model text differs from the
// order's leaves the order as it was. The catalogue query's statement is
// replaced by one lookup per order and set back to catalogueStatement() at the
// end; an error ends the run where it happened and leaves the last lookup.
// After each order the progress panel shows the "主表共有记录" progress. Both
// queries are busy meanwhile. Returns the number of orders visited.
int assignSoles(data::Query& orders, data::Query& catalogue, const std::function<void(const QString&)>& addUnregisteredLine,
                kit::StatusSink& status);

}  // namespace statistics
