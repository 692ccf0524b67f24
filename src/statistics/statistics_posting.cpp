#include "statistics/statistics_posting.h"

#include "data/engine/query.h"
#include "data/core/schema.h"

namespace statistics {

namespace {

// The size's text as a whole number; an empty size counts as 0, as it does
// in the order window. A stored number is its own text's value.
qint64 wholeNumber(const data::Field& size) {
    const QVariant value = size.value();
    if (!value.isValid())
        return 0;
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
        return value.toLongLong();
    const QString text = size.asText();
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok)
        throw data::EngineError::notWholeNumber(size.name(), text);
    return n;
}

}  // namespace

void applyStatisticsPostingRule(data::Query& query) {
    const QString supplier = query.field(QStringLiteral("供应商")).asText();
    query.field(QStringLiteral("顺序")).setText(supplier + query.field(QStringLiteral("鞋底型号")).asText());

    qint64 pairs = 0;
    for (const QString& size : data::sizeFieldNames())
        pairs += wholeNumber(query.field(size));
    query.field(QStringLiteral("双数")).setInteger(pairs);
}

}  // namespace statistics
