#include "paradox/record_rules.h"

#include "data/colour.h"
#include "data/errors.h"
#include "data/query.h"
#include "data/schema.h"

namespace paradox {

void applyCatalogueRecordRule(data::Query& query) {
    data::Field colour = query.field(QStringLiteral("颜色"));
    const QString typed = colour.asText();
    const QString expanded = data::expandColourCode(typed);
    if (expanded != typed)
        colour.setText(expanded);
    query.field(QStringLiteral("顺序")).setText(query.field(QStringLiteral("鞋的型号")).asText() + expanded);
}

void applyStatisticsRecordRule(data::Query& query) {
    query.field(QStringLiteral("顺序"))
        .setText(query.field(QStringLiteral("供应商")).asText() + query.field(QStringLiteral("鞋底型号")).asText());
    qint64 pairs = 0;
    for (const QString& size : data::sizeFieldNames()) {
        const QString text = query.field(size).asText();
        bool ok = false;
        const qint64 n = text.trimmed().toLongLong(&ok);
        if (!ok)
            throw data::EngineError(QStringLiteral("'%1' is not a valid integer value").arg(text));
        pairs += n;
    }
    query.field(QStringLiteral("双数")).setInteger(pairs);
}

}  // namespace paradox
