#pragma once

#include <QString>

namespace data {

// The lookup of one shoe model and colour in the catalogue table, both as
// quoted literals, so that a quote inside them is part of the value:
// select * from shoes.db WHERE 鞋的型号='...' AND 颜色='...'
QString catalogueLookupStatement(const QString& model, const QString& colour);

}  // namespace data
