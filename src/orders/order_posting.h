#pragma once

#include "data/engine/query.h"

#include <QString>
#include <functional>

namespace data {
class Query;
}

namespace orders {

// The rule every order record passes before it is stored, on the pending
// record: "件数", "双数" and the sixteen sizes that hold no whole number become
// 0; the colour shorthand is expanded; "双数" becomes the sum of the sizes.
void applyOrderPostingRule(data::Query& query);

// Installs the posting rule and the duplicate batch number handling on the
// order query. On a key violation showDuplicate is called (the window shows
// duplicateBatchMessage()), then the pending record is dropped and the post
// ends in data::SilentAbort. Any other failure is left to the caller.
void installOrderPostingRule(data::Query& query, std::function<void()> showDuplicate);

}  // namespace orders
