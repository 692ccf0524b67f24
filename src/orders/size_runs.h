#pragma once

namespace data {
class Query;
}

namespace kit {
class StatusSink;
}

namespace orders {

// Multiply and divide walk every row of the order query's result, rewrite the
// sixteen sizes and post each row, so the posting rule recomputes "双数". A row
// whose "件数" is 0 is left as it is (not posted) and counted as skipped; the
// progress text still counts it. The query is busy for the whole walk and the
// last row stays current. Both return the number of rows skipped; when it is
// not 0 the window shows zeroCasesMessage().

// each size := size × cases
int multiplyByCases(data::Query& query, kit::StatusSink& status);
// each size := size ÷ cases, rounded to the nearest whole number, halves to even
int divideByCases(data::Query& query, kit::StatusSink& status);

// Rotate the current row's size run one size: up moves every value to the
// next larger size and 48 to 33; down is the mirror image. The row is posted.
// Without a current row nothing happens.
void shiftSizeRunUp(data::Query& query);
void shiftSizeRunDown(data::Query& query);

}  // namespace orders
