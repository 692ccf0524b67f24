#pragma once

// What the model's commands share: the journal scope of a bulk command and
// helpers over rows kept by id.

#include "model.h"

#include <algorithm>

namespace seq {

template <class Row>
inline qint64 maxId(const std::vector<Row>& rows) {
    qint64 id = 0;
    for (const Row& r : rows)
        id = std::max(id, r.id);
    return id;
}

template <class Row>
inline void sortById(std::vector<Row>& rows) {
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
}

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

}  // namespace seq
