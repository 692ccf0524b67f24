#pragma once

#include "data/core/sql_dialect.h"

namespace data {

// The SQL of SQLite table files.
const SqlDialect& sqliteDialect();

}  // namespace data
