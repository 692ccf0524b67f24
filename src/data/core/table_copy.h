#pragma once

#include "data/core/connection.h"

#include <QHash>
#include <QString>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

namespace data {

// A copy of a small table's records, taken at the first lookup of a bulk
// loop (Connection::answerFromMemory) and kept up to date with the writes
// the connection makes meanwhile. A lookup finds the records whose fields
// hold the very texts looked up; a field without a value matches none.
class TableCopy {
public:
    // A table with more records than this is not copied.
    static constexpr int MaxRows = 50000;

    // False: the table was too large to copy.
    bool usable = true;

    // A record as stored: added, written (null: deleted).
    void put(qint64 id, const Row* row);
    // The records a lookup finds, ids and rows.
    Connection::Found find(const Lookup& lookup);

private:
    using Index = QHash<QString, std::vector<qint64>>;
    Index& index(const std::vector<int>& fields);

    std::unordered_map<qint64, Row> rows_;
    std::map<std::vector<int>, Index> indexes_;  // by the fields looked up, in ascending order
    // The index last looked up and its fields; buffers of find().
    std::vector<int> lastFields_;
    Index* lastIndex_ = nullptr;
    std::vector<int> fields_;
};

}  // namespace data
