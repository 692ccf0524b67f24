#pragma once

namespace data {
class Query;
}

namespace statistics {

// The rule every statistics row passes before it is stored, on the pending
// row: "顺序" becomes the supplier's text followed by the sole model's text;
// then the text of each size "33".."48" is converted to a whole number and
// "双数" becomes their sum. A size whose text is no whole number, an empty one
// included, refuses the post with "'<text>' is not a valid integer value"
// (the row stays in edit).
void applyStatisticsPostingRule(data::Query& query);

}  // namespace statistics
