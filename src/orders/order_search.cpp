#include "orders/order_search.h"

#include "data/engine/query.h"
#include "data/core/search_terms.h"
#include "data/lang/statement.h"
#include "platform/files.h"

namespace orders {

namespace {

QString asciiUpper(const QString& text) {
    QString upper = text;
    for (QChar& c : upper)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - ('a' - 'A'));
    return upper;
}

QString equalsClause(const QString& field, const QString& value) {
    return field + QLatin1Char('=') + data::quotedLiteral(data::searchableText(value));
}

QString containsClause(const QString& field, const QString& value) {
    return field + QStringLiteral(" LIKE ") + data::containsPattern(data::trimBlanks(data::searchableText(value)));
}

QString listFieldName(ListSearchField field) {
    switch (field) {
    case ListSearchField::BatchNumber:
        return QStringLiteral("批号");
    case ListSearchField::OrderNumber:
        return QStringLiteral("单号");
    case ListSearchField::ShoeModel:
        break;
    }
    return QStringLiteral("鞋的型号");
}

}  // namespace

QString allOrdersStatement() { return QStringLiteral("select * from dd.db"); }

QString combinedSearchStatement(const SearchCriteria& c) {
    QStringList clauses;
    if (c.batchTicked && !c.batch.isEmpty())
        clauses << equalsClause(QStringLiteral("批号"), c.batch);
    if (c.orderTicked && !c.order.isEmpty())
        clauses << equalsClause(QStringLiteral("单号"), c.order);
    if (c.colourTicked && !c.colour.isEmpty())
        clauses << containsClause(QStringLiteral("颜色"), c.colour);
    if (c.modelTicked && !c.model.isEmpty())
        clauses << (c.modelFuzzy ? containsClause(QStringLiteral("鞋的型号"), c.model)
                                 : equalsClause(QStringLiteral("鞋的型号"), c.model));
    if (c.counted)
        clauses << QStringLiteral("已统计=true");
    if (c.notCounted)
        clauses << QStringLiteral("已统计=false");

    QString statement = allOrdersStatement();
    if (!clauses.isEmpty())
        statement += QStringLiteral(" where ") + clauses.join(QStringLiteral(" AND "));
    return asciiUpper(statement);
}

QString listSearchStatement(ListSearchField field, const QStringList& lines) {
    if (lines.isEmpty())
        return {};
    const QString name = listFieldName(field);
    // The comparisons are written out piece by piece; the blanks are part of them.
    QString statement = QStringLiteral(" select * from dd.db where 1=1  ");
    statement.reserve(statement.size() + lines.size() * (name.size() + 16));
    statement += QStringLiteral(" and ( ") + name + QLatin1Char('=') + data::quotedLiteral(data::searchableText(lines.first()));
    for (qsizetype i = 1; i < lines.size(); ++i)
        statement += QStringLiteral(" or ") + name + QStringLiteral(" = ") + data::quotedLiteral(data::searchableText(lines[i]));
    statement += QLatin1Char(')');
    return statement;
}

bool listSearchFoundWrongCount(ListSearchField field, int lineCount, int recordCount) {
    return field == ListSearchField::BatchNumber && lineCount != recordCount;
}

QString countText(int records) { return QStringLiteral("共有记录:") + QString::number(records) + QStringLiteral("条"); }

int showOrders(data::Query& query, const QString& statement) {
    query.close();
    query.clearSql();
    query.setSql(statement);
    query.open();
    return query.recordCount();
}

QString pickListPath() { return platform::programFolder() + QStringLiteral("CTMLIST.TXT"); }

std::optional<QStringList> readPickList() {
    const QString path = pickListPath();
    if (!platform::fileExists(path))
        return std::nullopt;
    return platform::readTextLines(path);
}

void ensurePickListFile() {
    const QString path = pickListPath();
    if (!platform::fileExists(path))
        platform::createEmptyFile(path);
}

}  // namespace orders
