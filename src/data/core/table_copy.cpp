#include "data/core/table_copy.h"

#include <algorithm>

namespace data {

namespace {

// The text a lookup compares, one part per field; nothing when a field holds
// no value, since such a record matches no lookup.
std::optional<QString> keyOf(const Row& row, const std::vector<int>& fields) {
    QString key;
    for (int f : fields) {
        const QVariant& v = row[std::size_t(f)];
        if (!v.isValid())
            return std::nullopt;
        key += v.toString();
        key += QChar(0x1f);
    }
    return key;
}

}  // namespace

TableCopy::Index& TableCopy::index(const std::vector<int>& fields) {
    auto it = indexes_.find(fields);
    if (it != indexes_.end())
        return it->second;
    Index& made = indexes_[fields];
    for (const auto& [id, row] : rows_)
        if (std::optional<QString> key = keyOf(row, fields))
            made[*key].push_back(id);
    return made;
}

void TableCopy::put(qint64 id, const Row* row) {
    const auto it = rows_.find(id);
    for (auto& [fields, index] : indexes_) {
        const std::optional<QString> was = it != rows_.end() ? keyOf(it->second, fields) : std::nullopt;
        const std::optional<QString> now = row ? keyOf(*row, fields) : std::nullopt;
        if (was && now && *was == *now)
            continue;  // the fields looked up kept their values
        if (was)
            if (const auto ids = index.find(*was); ids != index.end())
                std::erase(ids.value(), id);
        if (now)
            index[*now].push_back(id);
    }
    if (row)
        rows_[id] = *row;
    else if (it != rows_.end())
        rows_.erase(it);
}

Connection::Found TableCopy::find(const Lookup& lookup) {
    // By field, each field once: one field looked up with two values finds nothing.
    std::vector<std::pair<int, const QVariant*>> byField;
    byField.reserve(lookup.size());
    for (const auto& wanted : lookup) {
        const int field = wanted.first;
        const auto same = std::find_if(byField.begin(), byField.end(), [field](const auto& f) { return f.first == field; });
        if (same == byField.end())
            byField.emplace_back(field, &wanted.second);
        else if (*same->second != wanted.second)
            return {};
    }
    std::sort(byField.begin(), byField.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<int> fields;
    QString key;
    for (const auto& [field, value] : byField) {
        fields.push_back(field);
        key += value->toString();
        key += QChar(0x1f);
    }
    const Index& found = index(fields);
    Connection::Found records;
    if (const auto ids = found.constFind(key); ids != found.constEnd())
        for (qint64 id : ids.value())
            records.emplace_back(id, rows_.at(id));
    return records;
}

}  // namespace data
