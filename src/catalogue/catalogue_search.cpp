#include "catalogue/catalogue_search.h"

#include "data/engine/query.h"
#include "data/core/search_terms.h"
#include "data/lang/statement.h"
#include "window_kit/progress.h"

namespace catalogue {

namespace {

QString fieldName(SearchField field) {
    return field == SearchField::SoleModel ? QStringLiteral("鞋底型号") : QStringLiteral("鞋的型号");
}

QString likeTerm(const QString& term) { return data::containsPattern(data::trimBlanks(data::searchableText(term))); }

// A pending edit is stored rather than lost when the statement is replaced.
void replaceStatement(data::Query& query, const QString& statement) {
    query.checkBrowseMode();
    query.close();
    query.clearSql();
    query.addSql(statement);
}

}  // namespace

QString allModelsStatement() { return QStringLiteral("select * from shoes.db"); }

QStringList searchTerms(const QString& boxText) {
    if (boxText.isEmpty())
        return {};
    return data::listLines(boxText);
}

QString searchStatement(SearchField field, const QStringList& terms) {
    if (terms.isEmpty())
        return {};
    const QString name = fieldName(field);
    QString statement = QStringLiteral(" select * from shoes.db where 1=1  ");
    statement += QStringLiteral(" and ( ") + name + QStringLiteral(" LIKE ") + likeTerm(terms.first());
    for (qsizetype i = 1; i < terms.size(); ++i)
        statement += QStringLiteral(" or ") + name + QStringLiteral(" LIKE ") + likeTerm(terms[i]);
    statement += QLatin1Char(')');
    return statement;
}

QString modelCountText(int records) { return QStringLiteral("共有数据") + QString::number(records) + QStringLiteral("条"); }

bool searchModels(data::Query& query, SearchField field, const QString& boxText, kit::StatusSink& status) {
    const QStringList terms = searchTerms(boxText);
    if (terms.isEmpty())
        return false;
    replaceStatement(query, searchStatement(field, terms));
    status.setPanelText(kit::CountPanel, QString::number(terms.size()));
    query.open();
    status.setPanelText(kit::ProgressPanel, modelCountText(query.recordCount()));
    return true;
}

void showAllModels(data::Query& query, kit::StatusSink& status) {
    replaceStatement(query, allModelsStatement());
    query.open();
    status.setPanelText(kit::ProgressPanel, modelCountText(query.recordCount()));
}

}  // namespace catalogue
