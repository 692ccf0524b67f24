#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace data {
class Query;
}

namespace orders {

// The ticked criteria of the combined search, with the texts of their edits
// as typed.
struct SearchCriteria {
    bool batchTicked = false;
    QString batch;        // "批号" equals
    bool orderTicked = false;
    QString order;        // "单号" equals
    bool modelTicked = false;
    QString model;        // "鞋的型号" equals, or contains when modelFuzzy
    bool modelFuzzy = false;
    bool colourTicked = false;
    QString colour;       // "颜色" contains
    bool counted = false;     // "已统计" is true
    bool notCounted = false;  // "已统计" is false
};

// Every order.
QString allOrdersStatement();  // "select * from dd.db"

// The combined search statement: the clauses of the ticked criteria whose
// edit is not empty (batch, order, colour, model, counted, not counted)
// joined by " AND " after "select * from dd.db where ", or every order
// without a clause; then every ASCII letter upper-cased, values included.
// Contains-clauses match the text literally (data::containsPattern); NUL
// characters are left out of every value.
QString combinedSearchStatement(const SearchCriteria& criteria);

// The fields a list of values can be searched on.
enum class ListSearchField { BatchNumber, OrderNumber, ShoeModel };

// The list search statement over the lines, used exactly as they stand
// but for NUL characters; empty when there are no lines (nothing is
// searched then). Any number of lines makes a statement the engine takes.
QString listSearchStatement(ListSearchField field, const QStringList& lines);

// True when the search should show wrongBatchListMessage(): only a
// batch-number list is checked, and its count must equal its lines.
bool listSearchFoundWrongCount(ListSearchField field, int lineCount, int recordCount);

// "共有记录:" N "条".
QString countText(int records);

// Closes the order query, replaces its statement and opens it. Returns the
// record count. Engine errors propagate; the query is then left closed.
int showOrders(data::Query& query, const QString& statement);

// The file of shoe-model choices beside the program file.
QString pickListPath();
// Its lines, or nothing when the file is not there.
std::optional<QStringList> readPickList();
// Creates it empty when missing; throws platform::FileError when it cannot.
void ensurePickListFile();

}  // namespace orders
