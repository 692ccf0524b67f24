#pragma once

#include "data/core/undo_journal.h"

namespace data {

class Engine;
class Query;

// Parts of a command's record.
UndoPart shownRows(const Query& query);  // the rows of the query's result
UndoPart wholeTable(const Engine& engine, const QString& tableName);
UndoPart addedRows(const Query& query);  // rows added to the query's table

// Records a bulk command when it is made and seals the record when it ends,
// however it ends. Make it before the loop's BusyScope, so that the rows are
// read before the first change and sealed after the last write is committed.
// Inside another scope of the same engine it records nothing.
class UndoScope {
public:
    using Parts = std::vector<UndoPart>;

    UndoScope(Engine& engine, const QString& command, const QString& window, const std::vector<UndoPart>& parts);
    ~UndoScope();
    UndoScope(const UndoScope&) = delete;
    UndoScope& operator=(const UndoScope&) = delete;

private:
    UndoJournal& journal_;
    qint64 id_ = 0;
};

// The windows a command is undone from, by their captions.
inline QString ordersWindowName() { return QStringLiteral("订单表"); }
inline QString catalogueWindowName() { return QStringLiteral("鞋底型号表"); }
inline QString statisticsWindowName() { return QStringLiteral("鞋底统计"); }

}  // namespace data
