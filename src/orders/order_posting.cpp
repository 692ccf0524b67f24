#include "orders/order_posting.h"

#include "data/core/colour.h"
#include "data/engine/field_positions.h"
#include "data/engine/query.h"
#include "data/core/schema.h"

namespace orders {

namespace {

bool isWholeNumber(const QString& text) {
    bool ok = false;
    text.trimmed().toLongLong(&ok);
    return ok;
}

// A stored or typed whole number; a number already held as one needs no text.
bool holdsWholeNumber(const data::Field& field) { return field.holdsInteger() || isWholeNumber(field.asText()); }

// "件数", "双数", the sixteen sizes, then "颜色".
QStringList ruleFieldNames() {
    QStringList names{QStringLiteral("件数"), QStringLiteral("双数")};
    names += data::sizeFieldNames();
    names << QStringLiteral("颜色");
    return names;
}

constexpr int CasesAt = 0;
constexpr int PairsAt = 1;
constexpr int FirstSizeAt = 2;
constexpr int ColourAt = FirstSizeAt + 16;

}  // namespace

void applyOrderPostingRule(data::Query& query) {
    thread_local data::FieldPositions positions(ruleFieldNames());
    const std::vector<int>& at = positions.of(query);
    qint64 pairs = 0;
    for (int i = CasesAt; i < ColourAt; ++i) {
        data::Field field = query.field(at[std::size_t(i)]);
        if (!holdsWholeNumber(field))
            field.setInteger(0);
        if (i >= FirstSizeAt)
            pairs += field.asInteger();
    }

    data::Field colour = query.field(at[ColourAt]);
    const QString typed = colour.asText();
    const QString expanded = data::expandColourCode(typed);
    if (expanded != typed)
        colour.setText(expanded);

    query.field(at[PairsAt]).setIntegerIfChanged(pairs);
}

void installOrderPostingRule(data::Query& query, std::function<void()> showDuplicate) {
    query.setBeforePost(applyOrderPostingRule);
    query.setPostErrorHook(data::duplicateKeyHook(std::move(showDuplicate)));
}

}  // namespace orders
