#pragma once

namespace data {
class Query;
}

namespace statistics {

// The rule every statistics row passes before it is stored, on the pending
// row: "顺序" becomes the supplier's text followed by the sole model's text;
// then the text of each size "33".."48" is converted to a whole number and
// "双数" becomes their sum. An empty size counts as 0; a size whose text is no
// whole number refuses the post (the row stays in edit).
void applyStatisticsPostingRule(data::Query& query);

}  // namespace statistics
