#pragma once

#include <QString>
#include <QStringList>

namespace data {
class Query;
}
namespace kit {
class StatusSink;
}

namespace catalogue {

// The fields the search box can be searched on.
enum class SearchField { ShoeModel, SoleModel };

// Every catalogue record.
QString allModelsStatement();  // "select * from shoes.db"

// The search terms of the box: one per line of its text (a line that wraps
// in the box is still one line); an empty last line after the final line
// break does not count, any other empty line does.
QStringList searchTerms(const QString& boxText);

// " select * from shoes.db where 1=1  " and ( field LIKE '%term%' or ...),
// each term without NUL characters and without leading and trailing blanks
// and control characters, matched literally (see data::containsPattern).
// Empty when there are no terms.
QString searchStatement(SearchField field, const QStringList& terms);

// "共有数据" N "条".
QString modelCountText(int records);

// The search of the toolbar buttons. With no terms nothing is touched and
// false comes back. Otherwise a record being edited is posted first, the
// statement replaces the query's, the count panel gets the number of terms,
// the query is opened and the progress panel gets modelCountText().
bool searchModels(data::Query& query, SearchField field, const QString& boxText, kit::StatusSink& status);

// Refresh: every record again, with modelCountText() in the progress panel.
// The count panel is not changed.
void showAllModels(data::Query& query, kit::StatusSink& status);

}  // namespace catalogue
