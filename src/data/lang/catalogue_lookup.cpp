#include "data/lang/catalogue_lookup.h"

#include "data/lang/statement.h"

namespace data {

QString catalogueLookupStatement(const QString& model, const QString& colour) {
    const QStringView head = u"select * from shoes.db WHERE 鞋的型号=";
    const QStringView middle = u" AND 颜色=";
    QString statement;
    statement.reserve(head.size() + middle.size() + model.size() + colour.size() + 8);
    statement += head;
    appendQuotedLiteral(statement, model);
    statement += middle;
    appendQuotedLiteral(statement, colour);
    statement += QLatin1Char(' ');
    return statement;
}

}  // namespace data
