#pragma once

#include "data/core/sql_dialect.h"

namespace data {

// The SQL of a PostgreSQL server.
const SqlDialect& postgresDialect();

}  // namespace data
