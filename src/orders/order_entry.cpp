#include "orders/order_entry.h"

#include "data/engine/query.h"
#include "orders/order_messages.h"

#include <stdexcept>

namespace orders {

QString refusalMessage(OrderEntryOutcome outcome) {
    switch (outcome) {
    case OrderEntryOutcome::RefusedLeadingZero:
        return orderNumberLeadingZeroMessage();
    case OrderEntryOutcome::RefusedEmptyNumber:
        return orderNumberEmptyMessage();
    case OrderEntryOutcome::Generated:
        break;
    }
    return {};
}

QString batchNumber(const QString& orderNumber, int runningNumber) {
    return orderNumber + QString::number(runningNumber).rightJustified(3, QLatin1Char('0'));
}

QString notCountedStatement() { return QStringLiteral("select * from dd.db where 已统计=false"); }

OrderEntryOutcome enterOrders(data::Query& query, const OrderEntryRequest& request) {
    const QString& number = request.orderNumber;
    if (number.isEmpty())
        return OrderEntryOutcome::RefusedEmptyNumber;
    if (number.startsWith(QLatin1Char('0')))
        return OrderEntryOutcome::RefusedLeadingZero;
    if (request.start < 0)
        throw std::invalid_argument("the start batch number must not be negative");

    for (int i = 0; i < request.count; ++i) {
        query.last();
        query.append();
        query.field(QStringLiteral("批号")).setText(batchNumber(number, request.start + i));
        query.field(QStringLiteral("单号")).setText(number);
        query.post();
    }

    query.setSql(notCountedStatement());
    query.open();
    return OrderEntryOutcome::Generated;
}

}  // namespace orders
