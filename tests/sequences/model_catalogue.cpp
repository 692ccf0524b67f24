// The catalogue and statistics commands of the model: adding and deleting
// catalogue records, the unregistered list, the sole assignment and the
// aggregation.

#include "model_scope.h"

namespace seq {

namespace {

const QString Unregistered = QStringLiteral("未登记");

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


}  // namespace

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


}  // namespace seq
