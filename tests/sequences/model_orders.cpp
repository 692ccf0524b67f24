// The order commands of the model: entry, import, editing in the grid, the
// size runs, mark counted and delete.

#include "model_scope.h"

namespace seq {

namespace {

bool isNumberColumn(const QString& name) {
    return name == QStringLiteral("件数") || name == QStringLiteral("双数") || wholeNumber(name).has_value();
}

// Sets one field of a pending order from a text as a grid or the import
// does; a number field takes only a whole number (false otherwise).
bool setField(PendingOrder& p, const QString& name, const QString& text) {
    std::optional<qint64> number;
    if (isNumberColumn(name) && !text.trimmed().isEmpty()) {
        number = wholeNumber(text);
        if (!number)
            return false;
    }
    if (name == QStringLiteral("批号")) p.batch = text;
    else if (name == QStringLiteral("单号")) p.orderNo = text;
    else if (name == QStringLiteral("鞋的型号")) p.model = text;
    else if (name == QStringLiteral("颜色")) p.colour = text;
    else if (name == QStringLiteral("备注")) p.remark = text;
    else if (name == QStringLiteral("供应商")) p.supplier = text;
    else if (name == QStringLiteral("鞋底型号")) p.sole = text;
    else if (name == QStringLiteral("已统计")) p.counted = text == QStringLiteral("True");
    else if (name == QStringLiteral("件数")) p.cases = number;
    else if (name == QStringLiteral("双数")) p.pairs = number;
    else p.sizes[*wholeNumber(name) - 33] = number;
    return true;
}

PendingOrder pendingOf(const Order& o) {
    PendingOrder p;
    p.batch = o.batch;
    p.orderNo = o.orderNo;
    p.model = o.model;
    p.colour = o.colour;
    p.remark = o.remark;
    p.supplier = o.supplier;
    p.sole = o.sole;
    p.cases = o.cases;
    p.pairs = o.pairs;
    for (int i = 0; i < 16; ++i)
        p.sizes[i] = o.sizes[i];
    p.counted = o.counted;
    return p;
}


}  // namespace

void Model::entry(const Step& s, Outcome& out) {
    if (s.orderNo.isEmpty() || s.orderNo.startsWith(QLatin1Char('0')))
        return;
    for (int i = 0; i < s.count; ++i) {
        PendingOrder p;
        p.batch = s.orderNo + QString::number(s.start + i).rightJustified(3, QLatin1Char('0'));
        p.orderNo = s.orderNo;
        const Order o = postOrder(p);
        write();
        if (batchTaken(o.batch)) {
            ++out.duplicateMessages;
            out.failed = true;
            return;
        }
        insertOrder(o, int(orderResult_.size()));
    }
    OrderFilter notCounted;
    notCounted.kind = OrderFilter::Kind::NotCounted;
    openOrders(notCounted);
}

void Model::import(const Step& s, Outcome& out) {
    JournalScope scope(journal_, db_, QStringLiteral("订单导入"), QStringLiteral("订单表"),
                       {{JournalPart::Kind::AddedRows, OrdersTable, {}, maxId(db_.orders)}}, ordersLocked_);
    const QStringList& columns = sheetColumns();
    auto fail = [&] {
        ++out.importFailures;
        out.failed = true;
    };
    for (int r = 0;; ++r) {
        const int sheetRow = r + 2;
        if (s.failAtRow == sheetRow)
            return fail();
        if (r >= int(s.rows.size()) || s.rows[r].value(0).isEmpty())
            return;
        PendingOrder p;
        for (int c = 0; c < columns.size(); ++c)
            if (!setField(p, columns[c], s.rows[r].value(c)))
                return fail();  // the record stays open; the clerk cancels it
        const Order o = postOrder(p);
        try {
            write(refusedByTrigger(o));
        } catch (const WriteFails&) {
            return fail();
        }
        if (batchTaken(o.batch)) {
            ++out.duplicateMessages;
            return fail();
        }
        // Each new record goes in before the last one of the result.
        insertOrder(o, orderResult_.empty() ? 0 : int(orderResult_.size()) - 1);
    }
}

void Model::editOrder(const Step& s, Outcome& out) {
    if (orderResult_.empty())
        return;
    const Order* current = order(orderResult_[std::size_t(s.pick) % orderResult_.size()]);
    PendingOrder p = pendingOf(*current);
    for (const auto& [name, text] : s.edits)
        if (!setField(p, name, text)) {
            out.failed = true;  // the clerk cancels the record
            return;
        }
    Order changed = postOrder(p);
    changed.id = current->id;
    if (changed == *current)
        return;
    write(refusedByTrigger(changed));
    if (batchTaken(changed.batch, changed.id)) {
        ++out.duplicateMessages;
        out.failed = true;
        return;
    }
    updateOrder(changed);
}

void Model::convertSizes(bool multiply) {
    JournalScope scope(journal_, db_, multiply ? QStringLiteral("件数相乘") : QStringLiteral("除以件数"), QStringLiteral("订单表"),
                       {{JournalPart::Kind::ShownRows, OrdersTable, orderResult_, 0}}, ordersLocked_);
    for (qint64 id : orderResult_) {
        Order o = *order(id);
        if (o.cases == 0)
            continue;
        for (qint64& size : o.sizes)
            size = multiply ? size * o.cases : roundedQuotient(size, o.cases);
        o = repostOrder(o);
        if (o == *order(id))
            continue;
        write(refusedByTrigger(o));
        updateOrder(o);
    }
}

void Model::shift(const Step& s) {
    if (orderResult_.empty())
        return;
    Order o = *order(orderResult_[std::size_t(s.pick) % orderResult_.size()]);
    if (s.kind == Kind::ShiftUp)
        std::rotate(o.sizes.rbegin(), o.sizes.rbegin() + 1, o.sizes.rend());
    else
        std::rotate(o.sizes.begin(), o.sizes.begin() + 1, o.sizes.end());
    o = repostOrder(o);
    if (o == *order(o.id))
        return;
    write(refusedByTrigger(o));
    updateOrder(o);
}

void Model::markCounted() {
    JournalScope scope(journal_, db_, QStringLiteral("标为统计"), QStringLiteral("订单表"),
                       {{JournalPart::Kind::ShownRows, OrdersTable, orderResult_, 0}}, ordersLocked_);
    for (qint64 id : orderResult_) {
        Order o = *order(id);
        if (o.counted)
            continue;
        o.counted = true;
        write(refusedByTrigger(o));
        updateOrder(o);
    }
}

void Model::deleteOrders() {
    JournalScope scope(journal_, db_, QStringLiteral("删除订单"), QStringLiteral("订单表"),
                       {{JournalPart::Kind::ShownRows, OrdersTable, orderResult_, 0}}, ordersLocked_);
    while (!orderResult_.empty()) {
        write();
        const qint64 id = orderResult_.front();
        std::erase_if(db_.orders, [id](const Order& o) { return o.id == id; });
        orderResult_.erase(orderResult_.begin());
    }
}


}  // namespace seq
