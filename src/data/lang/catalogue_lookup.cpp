#include "data/lang/catalogue_lookup.h"

#include "data/lang/statement.h"

namespace data {

QString catalogueLookupStatement(const QString& model, const QString& colour) {
    return twoValueLookup(u"select * from shoes.db WHERE 鞋的型号=", model, u" AND 颜色=", colour);
}

}  // namespace data
