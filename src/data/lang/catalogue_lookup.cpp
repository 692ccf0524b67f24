#include "data/lang/catalogue_lookup.h"

#include "data/lang/statement.h"

namespace data {

QString catalogueLookupStatement(const QString& model, const QString& colour) {
    return QStringLiteral("select * from shoes.db WHERE 鞋的型号=") + quotedLiteral(model) + QStringLiteral(" AND 颜色=") +
           quotedLiteral(colour) + QLatin1Char(' ');
}

}  // namespace data
