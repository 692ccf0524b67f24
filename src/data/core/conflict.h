#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

namespace data {

// The values of one record: its fields in table order and, after them, the
// version of the record as it was read (0 where the store keeps none).
using Row = std::vector<QVariant>;

// A record another desk changed or deleted after this desk read it, where
// both desks changed the same field, or one deleted what the other changed.
// Fields that only one desk changed are merged without asking.
struct Conflict {
    QString table;        // the table's name, "dd.db"
    QStringList fields;   // its field names
    qint64 id = 0;
    Row asRead;           // the record as this desk read it; empty when not known
    Row mine;             // what this desk wanted to store (or delete)
    Row theirs;           // what is stored now; empty when the record is gone
    QString theirDesk;    // the desk that stored it, when known
    bool deleting = false;
    // Both desks changed these fields to different values; of a deletion,
    // the fields the other desk changed.
    std::vector<int> contested;
    // Asked in a command that writes many records: the answer holds for
    // every record of the command, and the clerk may stop the command.
    bool bulk = false;
    bool gone() const { return theirs.empty(); }
};

// KeepMine and TakeTheirs decide the contested fields; Stop ends a bulk
// command where it is.
enum class ConflictChoice { KeepMine, TakeTheirs, Stop };
using ConflictResolver = std::function<ConflictChoice(const Conflict&)>;

// Whether two values of a field are one value as the tables keep it: no
// value, NULL and empty text are the same.
bool sameValue(const QVariant& a, const QVariant& b);

// The fields (of the first `count`) whose values differ between two rows.
std::vector<int> differingFields(const Row& a, const Row& b, std::size_t count);

// Of the fields this desk writes, those the other desk changed too, to
// another value, since this desk read the record. Without the row as read
// every written field the other desk holds otherwise counts.
std::vector<int> contestedFields(const Row& asRead, const Row& mine, const Row& theirs, const std::vector<int>& written);

// What is stored when the conflict is settled: the other desk's record with
// this desk's values in `written`, at the other desk's version.
Row mergedRow(const Row& theirs, const Row& mine, const std::vector<int>& written);

// `written` without the fields in `taken`.
std::vector<int> withoutFields(const std::vector<int>& written, const std::vector<int>& taken);

}  // namespace data
