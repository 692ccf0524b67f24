#include "statistics/statistics_posting.h"

#include "data/engine/field_positions.h"
#include "data/engine/query.h"
#include "data/core/schema.h"

namespace statistics {

namespace {

// The size's text as a whole number; an empty size counts as 0, as it does
// in the order window. A stored number is its own text's value.
qint64 wholeNumber(const data::Field& size) {
    if (size.holdsInteger())
        return size.asInteger();
    if (size.isNull())
        return 0;
    const QString text = size.asText();
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok)
        throw data::EngineError::notWholeNumber(size.name(), text);
    return n;
}

// "供应商", "鞋底型号", "顺序", "双数", then the sixteen sizes.
QStringList ruleFieldNames() {
    QStringList names{QStringLiteral("供应商"), QStringLiteral("鞋底型号"), QStringLiteral("顺序"), QStringLiteral("双数")};
    names += data::sizeFieldNames();
    return names;
}

constexpr int SupplierAt = 0;
constexpr int SoleAt = 1;
constexpr int SequenceAt = 2;
constexpr int PairsAt = 3;
constexpr int FirstSizeAt = 4;

}  // namespace

void applyStatisticsPostingRule(data::Query& query) {
    thread_local data::FieldPositions positions(ruleFieldNames());
    const std::vector<int>& at = positions.of(query);
    // A field that holds its value already is left alone: adding up sets
    // nothing there on most records.
    const QString sequence = query.field(at[SupplierAt]).asText() + query.field(at[SoleAt]).asText();
    if (data::Field field = query.field(at[SequenceAt]); field.asText() != sequence)
        field.setText(sequence);

    qint64 pairs = 0;
    for (std::size_t i = FirstSizeAt; i < at.size(); ++i)
        pairs += wholeNumber(query.field(at[i]));
    query.field(at[PairsAt]).setIntegerIfChanged(pairs);
}

}  // namespace statistics
