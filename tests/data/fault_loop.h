#pragma once

// The loop the fault tests run on a desk, and what they compare after it:
// the orders' cases as the server holds them and as the desk's result shows
// them.
#include "data/engine/query.h"
#include "data/server/pg_connection.h"
#include "data/server/pg_session.h"

#include <functional>
#include <optional>
#include <vector>

namespace fault_loop {

inline const QString Cases = QStringLiteral("件数");

// Sets the cases of the result's i-th order to i in a loop; after the order
// `faultAt` the fault is injected and the writes held back are sent. The
// error that ended the loop, if any.
inline std::optional<data::EngineError> setCases(data::Query& orders, data::PgConnection& connection, int faultAt,
                                                 const std::function<void()>& fault) {
    try {
        data::BusyScope busy(orders);
        orders.first();
        for (int i = 1; !orders.eof(); ++i) {
            orders.edit();
            orders.field(Cases).setInteger(i);
            orders.post();
            if (i == faultAt) {
                fault();
                connection.flush();
            }
            orders.next();
        }
    } catch (const data::EngineError& e) {
        return e;
    }
    return std::nullopt;
}

// The orders' cases as the server of `uri` holds them, by batch number.
inline std::vector<qint64> storedCases(const QString& uri) {
    std::vector<qint64> values;
    auto reader = data::pg::Session::connect(uri, QStringLiteral("reader"));
    const QString sql = QStringLiteral("SELECT \"件数\" FROM dd ORDER BY \"批号\"");
    for (const data::pg::ResultRow& row : reader->run(sql).rows)
        values.push_back(row[0].toLongLong());
    return values;
}

// The cases the result shows, row by row.
inline std::vector<qint64> shownCases(data::Query& orders) {
    std::vector<qint64> values;
    const int field = orders.fieldIndex(Cases);
    for (int row = 0; row < orders.rowCount(); ++row)
        values.push_back(orders.valueAt(row, field).toLongLong());
    return values;
}

}  // namespace fault_loop
