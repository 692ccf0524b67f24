#pragma once

#include <QString>

namespace data {
class Query;
}

namespace orders {

// What the order entry window asks for: the in-factory order number, the
// running number of the first batch and how many orders to generate.
struct OrderEntryRequest {
    QString orderNumber;
    int start = 1;  // 0 or more; the window's box has 0 as lower bound
    int count = 1;  // 0 or less generates nothing
};

enum class OrderEntryOutcome {
    Generated,            // the orders were posted and the query reopened
    RefusedLeadingZero,   // the order number starts with "0"; nothing touched
    RefusedEmptyNumber,   // the order number is empty; nothing touched
};

// The message the window shows (caption noticeCaption(), error icon) for a
// refusal; empty for Generated.
QString refusalMessage(OrderEntryOutcome outcome);

// The batch number of one generated order: the order number followed by the
// running number, padded on the left with "0" to at least three digits.
QString batchNumber(const QString& orderNumber, int runningNumber);

// The statement the order query shows after an entry run.
QString notCountedStatement();  // "select * from dd.db where 已统计=false"

// Appends and posts request.count orders ("批号" and "单号" set, everything
// else left to the posting rule), then sets notCountedStatement() and opens
// it. A duplicate batch number ends the run with the data::SilentAbort of the
// query's duplicate handling; the orders posted before it stay stored and the
// statement is not replaced. Events are not processed between rows.
// Throws std::invalid_argument for a negative start.
OrderEntryOutcome enterOrders(data::Query& query, const OrderEntryRequest& request);

}  // namespace orders
