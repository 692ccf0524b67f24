#include "data/core/conflict.h"

#include "data/core/connection.h"
#include "data/core/errors.h"

#include <algorithm>

namespace data {

namespace {

bool empty(const QVariant& v) {
    return !v.isValid() || v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

QVariant valueAt(const Row& row, int field) {
    return field >= 0 && std::size_t(field) < row.size() ? row[std::size_t(field)] : QVariant();
}

}  // namespace

bool sameValue(const QVariant& a, const QVariant& b) {
    if (empty(a) || empty(b))
        return empty(a) && empty(b);
    return a == b;
}

std::vector<int> differingFields(const Row& a, const Row& b, std::size_t count) {
    std::vector<int> fields;
    for (std::size_t i = 0; i < count; ++i)
        if (!sameValue(valueAt(a, int(i)), valueAt(b, int(i))))
            fields.push_back(int(i));
    return fields;
}

std::vector<int> contestedFields(const Row& asRead, const Row& mine, const Row& theirs, const std::vector<int>& written) {
    std::vector<int> contested;
    for (int f : written) {
        const QVariant their = valueAt(theirs, f);
        if (sameValue(their, valueAt(mine, f)))
            continue;
        if (!asRead.empty() && sameValue(their, valueAt(asRead, f)))
            continue;  // only this desk changed it
        contested.push_back(f);
    }
    return contested;
}

Row mergedRow(const Row& theirs, const Row& mine, const std::vector<int>& written) {
    Row merged = theirs;
    for (int f : written)
        if (std::size_t(f) < merged.size() && std::size_t(f) < mine.size())
            merged[std::size_t(f)] = mine[std::size_t(f)];
    return merged;
}

std::vector<int> withoutFields(const std::vector<int>& written, const std::vector<int>& taken) {
    std::vector<int> left;
    for (int f : written)
        if (std::find(taken.begin(), taken.end(), f) == taken.end())
            left.push_back(f);
    return left;
}

// ---- asking the clerk --------------------------------------------------------

ConflictChoice Connection::askInConflict(Conflict& conflict) {
    conflict.bulk = bulk_;
    if (bulk_ && bulkAnswer_)
        return *bulkAnswer_;
    if (!resolver_ || !*resolver_)
        throw EngineError(ErrorKind::ChangedElsewhere, conflict.table, conflict.theirDesk,
                          QStringLiteral("The record was changed or deleted by another desk since it was read."));
    const ConflictChoice choice = (*resolver_)(conflict);
    if (bulk_)
        bulkAnswer_ = choice;
    if (choice == ConflictChoice::Stop)
        throw EngineError(ErrorKind::StoppedInConflict, conflict.table, conflict.theirDesk,
                          QStringLiteral("The command was stopped at a record another desk had changed."));
    return choice;
}

void Connection::beginBulkQuestions() {
    bulk_ = true;
    bulkAnswer_.reset();
}

void Connection::endBulkQuestions() {
    bulk_ = false;
    bulkAnswer_.reset();
}

}  // namespace data
