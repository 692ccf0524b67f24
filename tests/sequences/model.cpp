#include "model.h"

#include <algorithm>

namespace seq {

namespace {

const QString Unregistered = QStringLiteral("未登记");

QString windowOfPick(int pick) {
    switch (pick % 3) {
    case 0: return QStringLiteral("订单表");
    case 1: return QStringLiteral("鞋底型号表");
    default: return QStringLiteral("鞋底统计");
    }
}

template <class Row>
qint64 maxId(const std::vector<Row>& rows) {
    qint64 id = 0;
    for (const Row& r : rows)
        id = std::max(id, r.id);
    return id;
}

template <class Row>
void sortById(std::vector<Row>& rows) {
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
}

// The parts of a list entry split at ":", an empty last part dropped.
QStringList entryParts(const QString& entry) {
    QStringList parts = entry.split(QLatin1Char(':'));
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    return parts;
}

bool sameModelAndColour(const QString& a, const QString& b) {
    const QStringList pa = a.split(QLatin1Char(':')), pb = b.split(QLatin1Char(':'));
    return pa.value(0) == pb.value(0) && pa.value(1) == pb.value(1);
}

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

// Records a bulk command when made and seals it when it ends, however. The
// journal reads the rows through a write lock on their tables: with the
// order table locked by another connection, a command that records rows of
// it fails before it changes anything.
class JournalScope {
public:
    JournalScope(ModelJournal& journal, const Tables& db, const QString& command, const QString& window,
                 std::vector<JournalPart> parts, bool ordersLocked = false)
        : journal_(journal), db_(db), id_(record(journal, db, command, window, std::move(parts), ordersLocked)) {}
    ~JournalScope() {
        if (id_)
            journal_.seal(id_, db_);
    }

private:
    static qint64 record(ModelJournal& journal, const Tables& db, const QString& command, const QString& window,
                         std::vector<JournalPart> parts, bool ordersLocked) {
        const bool recorded = std::any_of(parts.begin(), parts.end(), [](const JournalPart& p) {
            return p.kind != JournalPart::Kind::ShownRows || !p.ids.empty();
        });
        if (recorded && ordersLocked &&
            std::any_of(parts.begin(), parts.end(), [](const JournalPart& p) { return p.table == OrdersTable; }))
            throw WriteFails();
        return journal.record(command, window, std::move(parts), db);
    }

    ModelJournal& journal_;
    const Tables& db_;
    qint64 id_;
};

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

void Model::addShoe(const Step& s, Outcome& out) {
    Shoe shoe = postShoe({0, s.model, s.colour, s.sole, s.supplier, {}, {}});
    write();
    if (shoeTaken(shoe.model, shoe.colour)) {
        ++out.duplicateMessages;
        out.failed = true;
        return;
    }
    shoe.id = newId(ShoesTable);
    db_.shoes.push_back(shoe);
    shoeResult_.push_back(shoe.id);
}

void Model::deleteShoes() {
    JournalScope scope(journal_, db_, QStringLiteral("删除"), QStringLiteral("鞋底型号表"),
                       {{JournalPart::Kind::ShownRows, ShoesTable, shoeResult_, 0}});
    while (!shoeResult_.empty()) {
        write();
        const qint64 id = shoeResult_.front();
        std::erase_if(db_.shoes, [id](const Shoe& s) { return s.id == id; });
        shoeResult_.erase(shoeResult_.begin());
    }
}

void Model::scan() {
    list_.clear();
    for (qint64 id : orderResult_) {
        const Order& o = *order(id);
        if (shoeTaken(o.model, o.colour))
            continue;
        const QString entry = o.model + QLatin1Char(':') + o.colour;
        if (std::none_of(list_.begin(), list_.end(), [&](const QString& e) { return sameModelAndColour(e, entry); }))
            list_ << entry;
    }
    openShoes({});
}

void Model::addListed(const Step& s, Outcome& out) {
    if (list_.isEmpty())
        return;
    const int index = s.pick % int(list_.size());
    const QStringList parts = entryParts(list_[index]);
    if (!parts.isEmpty()) {
        Step add;
        add.model = parts[0];
        add.colour = parts.value(1);
        addShoe(add, out);
        if (out.failed)
            return;  // the entry stays
    }
    list_.removeAt(index);
}

void Model::assignSoles() {
    for (qint64 id : orderResult_) {
        Order o = *order(id);
        const auto found = std::find_if(db_.shoes.begin(), db_.shoes.end(),
                                        [&](const Shoe& s) { return s.model == o.model && s.colour == o.colour; });
        if (found == db_.shoes.end()) {
            list_ << QStringList{o.model, o.colour, QString::number(o.pairs), o.batch}.join(QLatin1Char(':'));
            o.supplier = o.sole = Unregistered;
        } else {
            o.supplier = found->supplier;
            o.sole = found->sole;
        }
        if (o == *order(id))
            continue;
        write(refusedByTrigger(o));
        updateOrder(o);
    }
    openShoes({});
}

void Model::aggregate() {
    JournalScope scope(journal_, db_, QStringLiteral("鞋底统计"), QStringLiteral("鞋底统计"),
                       {{JournalPart::Kind::ShownRows, OrdersTable, orderResult_, 0},
                        {JournalPart::Kind::WholeTable, StatsTable, {}, 0}});
    assignSoles();
    while (!db_.stats.empty()) {
        write();
        db_.stats.erase(db_.stats.begin());
    }
    for (qint64 id : orderResult_) {
        const Order& o = *order(id);
        auto row = std::find_if(db_.stats.begin(), db_.stats.end(),
                                [&](const Stat& s) { return s.sole == o.sole && s.supplier == o.supplier; });
        if (row != db_.stats.end()) {
            Stat added = *row;
            for (int i = 0; i < 16; ++i)
                added.sizes[i] += o.sizes[i];
            added = postStat(added);
            if (added == *row)
                continue;
            write();
            *row = added;
        } else {
            Stat fresh;
            fresh.supplier = o.supplier;
            fresh.sole = o.sole;
            fresh.sizes = o.sizes;
            fresh = postStat(fresh);
            write();
            fresh.id = newId(StatsTable);
            db_.stats.push_back(fresh);
        }
    }
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
