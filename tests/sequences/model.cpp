#include "model_scope.h"

namespace seq {

namespace {

QString windowOfPick(int pick) {
    switch (pick % 3) {
    case 0: return QStringLiteral("订单表");
    case 1: return QStringLiteral("鞋底型号表");
    default: return QStringLiteral("鞋底统计");
    }
}


}  // namespace

Outcome Model::play(const Step& s, int budget) {
    budget_ = budget;
    ordersLocked_ = s.fault == Fault::TableLocked;
    Outcome out;
    try {
        switch (s.kind) {
        case Kind::Entry: entry(s, out); break;
        case Kind::Import: import(s, out); break;
        case Kind::EditOrder: editOrder(s, out); break;
        case Kind::Multiply: convertSizes(true); break;
        case Kind::Divide: convertSizes(false); break;
        case Kind::ShiftUp:
        case Kind::ShiftDown: shift(s); break;
        case Kind::MarkCounted: markCounted(); break;
        case Kind::DeleteOrders: deleteOrders(); break;
        case Kind::SearchOrders: openOrders(s.orderFilter); break;
        case Kind::AddShoe: addShoe(s, out); break;
        case Kind::SearchShoes: {
            // The terms are the lines of the search box: an empty last line
            // after the final line break does not count.
            ShoeFilter f = s.shoeFilter;
            const QString box = f.terms.join(QLatin1Char('\n'));
            f.terms = box.split(QLatin1Char('\n'));
            if (f.terms.last().isEmpty())
                f.terms.removeLast();
            if (f.all || !f.terms.isEmpty())
                openShoes(f);
            break;
        }
        case Kind::DeleteShoes: deleteShoes(); break;
        case Kind::Scan: scan(); break;
        case Kind::AddListed: addListed(s, out); break;
        case Kind::AssignSoles: {
            JournalScope scope(journal_, db_, QStringLiteral("调用鞋底"), QStringLiteral("鞋底统计"),
                               {{JournalPart::Kind::ShownRows, OrdersTable, orderResult_, 0}});
            assignSoles();
            break;
        }
        case Kind::Aggregate: aggregate(); break;
        case Kind::Undo: undo(s, out); break;
        }
    } catch (const WriteFails&) {
        out.failed = true;
    }
    return out;
}

void Model::write(bool refused) {
    if (refused || budget_ == 0)
        throw WriteFails();
    if (budget_ > 0)
        --budget_;
}

qint64 Model::newId(int table) {
    qint64 top = 0;
    switch (table) {
    case OrdersTable: top = maxId(db_.orders); break;
    case ShoesTable: top = maxId(db_.shoes); break;
    default: top = maxId(db_.stats); break;
    }
    if (reusesIds_)
        return top + 1;
    lastIds_[table] = std::max(lastIds_[table], top) + 1;
    return lastIds_[table];
}

Order* Model::order(qint64 id) {
    for (Order& o : db_.orders)
        if (o.id == id)
            return &o;
    return nullptr;
}

Shoe* Model::shoe(qint64 id) {
    for (Shoe& s : db_.shoes)
        if (s.id == id)
            return &s;
    return nullptr;
}

bool Model::batchTaken(const QString& batch, qint64 except) const {
    return std::any_of(db_.orders.begin(), db_.orders.end(),
                       [&](const Order& o) { return o.id != except && o.batch == batch; });
}

bool Model::shoeTaken(const QString& model, const QString& colour, qint64 except) const {
    return std::any_of(db_.shoes.begin(), db_.shoes.end(),
                       [&](const Shoe& s) { return s.id != except && s.model == model && s.colour == colour; });
}

void Model::insertOrder(Order o, int position) {
    o.id = newId(OrdersTable);
    db_.orders.push_back(o);
    orderResult_.insert(orderResult_.begin() + position, o.id);
}

void Model::updateOrder(const Order& changed) { *order(changed.id) = changed; }

bool Model::matches(const OrderFilter& f, const Order& o) const {
    switch (f.kind) {
    case OrderFilter::Kind::All: return true;
    case OrderFilter::Kind::NotCounted: return !o.counted;
    case OrderFilter::Kind::Combined:
        // The whole statement is upper-cased, the values with it.
        if (!f.batch.isEmpty() && o.batch != asciiUpper(f.batch)) return false;
        if (!f.orderNo.isEmpty() && o.orderNo != asciiUpper(f.orderNo)) return false;
        if (!f.colour.isEmpty() && !containsValue(o.colour, f.colour.trimmed())) return false;
        if (!f.model.isEmpty()) {
            if (f.modelFuzzy ? !containsValue(o.model, f.model.trimmed()) : o.model != asciiUpper(f.model))
                return false;
        }
        if (f.counted && !o.counted) return false;
        if (f.notCounted && o.counted) return false;
        return true;
    case OrderFilter::Kind::List: {
        const QString& field = f.listField == 0 ? o.batch : f.listField == 1 ? o.orderNo : o.model;
        return std::any_of(f.lines.begin(), f.lines.end(), [&](const QString& line) { return equalsValue(field, line); });
    }
    }
    return false;
}

bool Model::matches(const ShoeFilter& f, const Shoe& s) const {
    if (f.all)
        return true;
    const QString& field = f.bySole ? s.sole : s.model;
    return std::any_of(f.terms.begin(), f.terms.end(), [&](const QString& t) { return containsValue(field, t.trimmed()); });
}

void Model::openOrders(const OrderFilter& filter) {
    orderFilter_ = filter;
    orderResult_.clear();
    for (const Order& o : db_.orders)
        if (matches(filter, o))
            orderResult_.push_back(o.id);
}

void Model::openShoes(const ShoeFilter& filter) {
    shoeFilter_ = filter;
    shoeResult_.clear();
    for (const Shoe& s : db_.shoes)
        if (matches(filter, s))
            shoeResult_.push_back(s.id);
}

void Model::showEverything() {
    openOrders({});
    openShoes({});
}

void Model::undo(const Step& s, Outcome& out) {
    const JournalEntry* entry = journal_.newest(windowOfPick(s.pick));
    if (!entry)
        return;
    out.undoCommand = entry->command;
    if (journal_.changedSince(*entry, db_) > 0) {
        out.undoDeclined = true;
        return;
    }
    for (const JournalPart& part : entry->parts)
        undoPart(*entry, part);
    journal_.drop(entry->id);
    openOrders(orderFilter_);
    openShoes(shoeFilter_);
}

void Model::undoPart(const JournalEntry& entry, const JournalPart& part) {
    auto restoreShown = [&](auto& now, const auto& before, const auto& after) {
        using Row = typename std::decay_t<decltype(now)>::value_type;
        auto find = [](auto& rows, qint64 id) -> Row* {
            for (auto& r : rows)
                if (r.id == id)
                    return const_cast<Row*>(&r);
            return nullptr;
        };
        std::vector<Row> back;
        for (qint64 id : part.ids) {
            Row* old = find(before, id);
            if (!old)
                continue;
            Row* current = find(now, id);
            if (!find(after, id) || !current)
                back.push_back(*old);
            else
                *current = *old;
        }
        std::vector<Row> later;
        for (const Row& r : back) {
            if (find(now, r.id))
                later.push_back(r);
            else
                now.push_back(r);
        }
        for (Row r : later) {
            r.id = newId(part.table);
            now.push_back(r);
        }
        sortById(now);
    };
    switch (part.kind) {
    case JournalPart::Kind::ShownRows:
        if (part.table == OrdersTable)
            restoreShown(db_.orders, entry.before.orders, entry.after.orders);
        else
            restoreShown(db_.shoes, entry.before.shoes, entry.after.shoes);
        break;
    case JournalPart::Kind::WholeTable:
        db_.stats = entry.before.stats;
        break;
    case JournalPart::Kind::AddedRows:
        std::erase_if(db_.orders, [&](const Order& o) {
            return o.id > part.lastIdBefore &&
                   std::any_of(entry.after.orders.begin(), entry.after.orders.end(), [&](const Order& a) { return a.id == o.id; });
        });
        break;
    }
}

int Model::writesOf(const Step& s) const {
    return int(db_.orders.size() + db_.shoes.size() + 2 * db_.stats.size() + s.rows.size()) + s.count + 2 * int(orderResult_.size()) + 4;
}

namespace {
template <class Row>
QStringList renderAll(std::vector<Row> rows) {
    sortById(rows);
    QStringList out;
    for (const Row& r : rows)
        out << render(r);
    return out;
}
}  // namespace

QStringList Model::orderResultBatches() const {
    QStringList batches;
    for (qint64 id : orderResult_)
        for (const Order& o : db_.orders)
            if (o.id == id)
                batches << o.batch;
    return batches;
}

QStringList Model::renderedOrders() const { return renderAll(db_.orders); }
QStringList Model::renderedShoes() const { return renderAll(db_.shoes); }
QStringList Model::renderedStats() const { return renderAll(db_.stats); }

QString render(const Order& o) {
    QStringList f{o.batch, o.orderNo, o.model, o.colour, QString::number(o.cases), QString::number(o.pairs)};
    for (qint64 s : o.sizes)
        f << QString::number(s);
    f << o.remark << (o.counted ? QStringLiteral("1") : QStringLiteral("0")) << o.supplier << o.sole;
    return f.join(QLatin1Char('|'));
}

QString render(const Shoe& s) {
    return QStringList{s.model, s.colour, s.sole, s.supplier, s.remark, s.sequence}.join(QLatin1Char('|'));
}

QString render(const Stat& s) {
    QStringList f{s.supplier, s.sole, QString::number(s.pairs)};
    for (qint64 v : s.sizes)
        f << QString::number(v);
    f << s.sequence;
    return f.join(QLatin1Char('|'));
}

}  // namespace seq
