#include "statistics/statistics_posting.h"

#include "data/query.h"
#include "data/schema.h"

namespace statistics {

namespace {

qint64 wholeNumber(const QString& text) {
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok)
        throw data::EngineError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return n;
}

}  // namespace

void applyStatisticsPostingRule(data::Query& query) {
    const QString supplier = query.field(QStringLiteral("供应商")).asText();
    query.field(QStringLiteral("顺序")).setText(supplier + query.field(QStringLiteral("鞋底型号")).asText());

    qint64 pairs = 0;
    for (const QString& size : data::sizeFieldNames())
        pairs += wholeNumber(query.field(size).asText());
    query.field(QStringLiteral("双数")).setInteger(pairs);
}

}  // namespace statistics
