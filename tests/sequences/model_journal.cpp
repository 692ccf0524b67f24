#include "model_journal.h"

#include <algorithm>
#include <set>

namespace seq {

std::map<qint64, QString> rowsById(const Tables& tables, Table table) {
    std::map<qint64, QString> rows;
    switch (table) {
    case OrdersTable:
        for (const Order& o : tables.orders)
            rows[o.id] = render(o);
        break;
    case ShoesTable:
        for (const Shoe& s : tables.shoes)
            rows[s.id] = render(s);
        break;
    case StatsTable:
        for (const Stat& s : tables.stats)
            rows[s.id] = render(s);
        break;
    }
    return rows;
}

QString keyOf(const Tables& tables, Table table, qint64 id) {
    if (table == OrdersTable)
        for (const Order& o : tables.orders)
            if (o.id == id)
                return o.batch;
    if (table == ShoesTable)
        for (const Shoe& s : tables.shoes)
            if (s.id == id)
                return s.model + QChar(0x1f) + s.colour;
    return {};
}

qint64 ModelJournal::record(const QString& command, const QString& window, std::vector<JournalPart> parts,
                            const Tables& now) {
    const bool nothing = std::all_of(parts.begin(), parts.end(), [](const JournalPart& p) {
        return p.kind == JournalPart::Kind::ShownRows && p.ids.empty();
    });
    if (nothing)
        return 0;
    JournalEntry entry;
    entry.id = ++lastId_;
    entry.command = command;
    entry.window = window;
    entry.parts = std::move(parts);
    entry.before = now;
    entry.after = now;
    entries_.push_back(entry);
    // Only the newest commands of each table are kept.
    std::set<qint64> old;
    for (const JournalPart& part : entries_.back().parts) {
        int seen = 0;
        for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
            const bool onTable = std::any_of(it->parts.begin(), it->parts.end(),
                                             [&](const JournalPart& p) { return p.table == part.table; });
            if (onTable && ++seen > KeptPerTable)
                old.insert(it->id);
        }
    }
    for (qint64 id : old)
        drop(id);
    return entry.id;
}

void ModelJournal::seal(qint64 id, const Tables& now) {
    for (JournalEntry& e : entries_)
        if (e.id == id)
            e.after = now;
}

const JournalEntry* ModelJournal::newest(const QString& window) const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->window == window)
            return &*it;
    return nullptr;
}

int ModelJournal::changedSince(const JournalEntry& entry, const Tables& now) const {
    int count = 0;
    for (const JournalPart& part : entry.parts) {
        const auto before = rowsById(entry.before, part.table);
        const auto after = rowsById(entry.after, part.table);
        const auto current = rowsById(now, part.table);
        auto differs = [&](qint64 id) {
            const auto it = current.find(id);
            return it == current.end() || it->second != after.at(id);
        };
        switch (part.kind) {
        case JournalPart::Kind::ShownRows:
            for (qint64 id : part.ids) {
                if (after.count(id)) {
                    count += differs(id);
                } else if (before.count(id)) {
                    // Removed by the command: does another row hold its key now?
                    const QString key = keyOf(entry.before, part.table, id);
                    for (const auto& [other, row] : current)
                        if (!key.isNull() && keyOf(now, part.table, other) == key) {
                            ++count;
                            break;
                        }
                }
            }
            break;
        case JournalPart::Kind::WholeTable:
            for (const auto& [id, row] : after)
                count += differs(id);
            for (const auto& [id, row] : current)
                count += after.count(id) == 0;
            break;
        case JournalPart::Kind::AddedRows:
            for (const auto& [id, row] : after)
                if (id > part.lastIdBefore && current.count(id) && current.at(id) != row)
                    ++count;
            break;
        }
    }
    return count;
}

void ModelJournal::drop(qint64 id) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [id](const JournalEntry& e) { return e.id == id; }),
                   entries_.end());
}

}  // namespace seq
