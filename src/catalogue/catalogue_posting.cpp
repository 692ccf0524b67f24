#include "catalogue/catalogue_posting.h"

#include "data/core/colour.h"
#include "data/engine/query.h"

namespace catalogue {

void applyCataloguePostingRule(data::Query& query) {
    data::Field colour = query.field(QStringLiteral("颜色"));
    const QString typed = colour.asText();
    const QString expanded = data::expandColourCode(typed);
    if (expanded != typed)
        colour.setText(expanded);
    query.field(QStringLiteral("顺序")).setText(query.field(QStringLiteral("鞋的型号")).asText() + colour.asText());
}

void installCataloguePostingRule(data::Query& query, std::function<void()> showDuplicate) {
    query.setBeforePost(applyCataloguePostingRule);
    query.setPostErrorHook(data::duplicateKeyHook(std::move(showDuplicate)));
}

}  // namespace catalogue
