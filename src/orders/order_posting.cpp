#include "orders/order_posting.h"

#include "data/core/colour.h"
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
bool holdsWholeNumber(const data::Field& field) {
    const QVariant value = field.value();
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
        return true;
    return isWholeNumber(field.asText());
}

QStringList countFieldNames() {
    QStringList names{QStringLiteral("件数"), QStringLiteral("双数")};
    names += data::sizeFieldNames();
    return names;
}

}  // namespace

void applyOrderPostingRule(data::Query& query) {
    static const QStringList counts = countFieldNames();
    for (const QString& name : counts) {
        data::Field field = query.field(name);
        if (!holdsWholeNumber(field))
            field.setInteger(0);
    }

    data::Field colour = query.field(QStringLiteral("颜色"));
    const QString typed = colour.asText();
    const QString expanded = data::expandColourCode(typed);
    if (expanded != typed)
        colour.setText(expanded);

    qint64 pairs = 0;
    for (const QString& size : data::sizeFieldNames())
        pairs += query.field(size).asInteger();
    query.field(QStringLiteral("双数")).setInteger(pairs);
}

void installOrderPostingRule(data::Query& query, std::function<void()> showDuplicate) {
    query.setBeforePost(applyOrderPostingRule);
    query.setPostErrorHook(data::duplicateKeyHook(std::move(showDuplicate)));
}

}  // namespace orders
