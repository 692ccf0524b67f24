#include "data/core/table_copy.h"

#include <QVarLengthArray>
#include <algorithm>

namespace data {

namespace {

// A value's text as a lookup compares it.
QString textOf(const QVariant& v) {
    return v.typeId() == QMetaType::QString ? *static_cast<const QString*>(v.constData()) : v.toString();
}

// The text a lookup compares, one part per field; nothing when a field holds
// no value, since such a record matches no lookup.
std::optional<QString> keyOf(const Row& row, const std::vector<int>& fields) {
    QString key;
    for (int f : fields) {
        const QVariant& v = row[std::size_t(f)];
        if (!v.isValid())
            return std::nullopt;
        key += textOf(v);
        key += QChar(0x1f);
    }
    return key;
}

// Whether two records hold the same values in the fields, and so the same
// key: the same kinds of value, equal.
bool sameKey(const Row& a, const Row& b, const std::vector<int>& fields) {
    for (int f : fields) {
        const QVariant& x = a[std::size_t(f)];
        const QVariant& y = b[std::size_t(f)];
        if (x.typeId() != y.typeId())
            return false;
        if (x.typeId() == QMetaType::QString) {
            if (*static_cast<const QString*>(x.constData()) != *static_cast<const QString*>(y.constData()))
                return false;
        } else if (x.isValid() && x != y) {
            return false;
        }
    }
    return true;
}

}  // namespace

TableCopy::Index& TableCopy::index(const std::vector<int>& fields) {
    if (lastIndex_ && lastFields_ == fields)
        return *lastIndex_;
    auto it = indexes_.find(fields);
    if (it == indexes_.end()) {
        Index& made = indexes_[fields];
        for (const auto& [id, row] : rows_)
            if (std::optional<QString> key = keyOf(row, fields))
                made[*key].push_back(id);
        it = indexes_.find(fields);
    }
    lastFields_ = fields;
    lastIndex_ = &it->second;
    return it->second;
}

void TableCopy::put(qint64 id, const Row* row) {
    const auto it = rows_.find(id);
    for (auto& [fields, index] : indexes_) {
        if (row && it != rows_.end() && sameKey(it->second, *row, fields))
            continue;  // the fields looked up kept their values
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
    QVarLengthArray<std::pair<int, const QVariant*>, 4> byField;
    for (const auto& wanted : lookup) {
        const int field = wanted.first;
        const auto same = std::find_if(byField.begin(), byField.end(), [field](const auto& f) { return f.first == field; });
        if (same == byField.end())
            byField.append({field, &wanted.second});
        else if (*same->second != wanted.second)
            return {};
    }
    std::sort(byField.begin(), byField.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    fields_.clear();
    QString key;
    for (const auto& [field, value] : byField) {
        fields_.push_back(field);
        key += textOf(*value);
        key += QChar(0x1f);
    }
    const Index& found = index(fields_);
    Connection::Found records;
    if (const auto ids = found.constFind(key); ids != found.constEnd()) {
        records.reserve(ids.value().size());
        for (qint64 id : ids.value())
            records.emplace_back(id, &rows_.at(id));
    }
    return records;
}

}  // namespace data
