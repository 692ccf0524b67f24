#pragma once

#include <QString>

namespace data {

// The colour a record stores for the colour text typed: one of the eleven
// short codes (ASCII letters in any case, nothing around them) becomes its
// colour name; any other text comes back unchanged.
QString expandColourCode(const QString& colour);

}  // namespace data
