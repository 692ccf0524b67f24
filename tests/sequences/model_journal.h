#pragma once

// The model of the undo journal: for each bulk command the rows it may
// change as they were before it and as it left them; the newest command of a
// window is taken back, and only while none of its rows changed since.

#include "model_rows.h"

#include <QString>
#include <map>
#include <vector>

namespace seq {

enum Table { OrdersTable, ShoesTable, StatsTable };

struct Tables {
    std::vector<Order> orders;
    std::vector<Shoe> shoes;
    std::vector<Stat> stats;
};

// Rendered rows of one table by id.
std::map<qint64, QString> rowsById(const Tables& tables, Table table);
// The key of a row with this id, for the tables that have one; empty otherwise.
QString keyOf(const Tables& tables, Table table, qint64 id);

struct JournalPart {
    enum class Kind { ShownRows, WholeTable, AddedRows } kind = Kind::ShownRows;
    Table table = OrdersTable;
    std::vector<qint64> ids;  // ShownRows
    qint64 lastIdBefore = 0;  // AddedRows
};

struct JournalEntry {
    qint64 id = 0;
    QString command, window;
    std::vector<JournalPart> parts;
    Tables before, after;
};

class ModelJournal {
public:
    static constexpr int KeptPerTable = 20;

    // Records a command before it changes anything; nothing when every part
    // is an empty walk. Returns the entry's id or 0.
    qint64 record(const QString& command, const QString& window, std::vector<JournalPart> parts, const Tables& now);
    void seal(qint64 id, const Tables& now);

    // The newest entry of a window, or null.
    const JournalEntry* newest(const QString& window) const;
    // Rows the undo would overwrite although they changed since.
    int changedSince(const JournalEntry& entry, const Tables& now) const;
    void drop(qint64 id);

private:
    std::vector<JournalEntry> entries_;  // oldest first
    qint64 lastId_ = 0;
};

}  // namespace seq
