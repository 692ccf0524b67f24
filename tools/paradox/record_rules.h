#pragma once

namespace data {
class Query;
}

namespace paradox {

// What a post in the catalogue window does to the pending record: the
// colour shorthand of "颜色" is expanded, then "顺序" becomes "鞋的型号"
// followed by "颜色".
void applyCatalogueRecordRule(data::Query& query);

// What a post in the statistics window does to the pending record: "顺序"
// becomes "供应商" followed by "鞋底型号", and "双数" the sum of the sixteen
// sizes. A size that holds no whole number, an empty one included, refuses
// the post with "'<text>' is not a valid integer value" (data::EngineError).
void applyStatisticsRecordRule(data::Query& query);

}  // namespace paradox
