#pragma once

#include <functional>

namespace data {
class Query;
}

namespace catalogue {

// The rule every catalogue record passes before it is stored, on the pending
// record: the colour shorthand of "颜色" is expanded, then "顺序" becomes
// "鞋的型号" immediately followed by the (expanded) "颜色". Nothing else is
// checked or changed.
void applyCataloguePostingRule(data::Query& query);

// Installs the posting rule and the duplicate handling on the catalogue
// query. On a key violation showDuplicate is called (the window shows
// duplicateModelColourMessage()), then the pending insert or edit is dropped
// and the post ends in data::SilentAbort. Any other failure is left to the
// caller, with the record still in edit.
void installCataloguePostingRule(data::Query& query, std::function<void()> showDuplicate);

}  // namespace catalogue
