#pragma once

#include "data/core/schema.h"
#include "data/core/store.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace data {

class Connection;

// Brings the key of a table file made by an earlier release (a unique index
// that let records without a value repeat) to the key of createStatements(),
// in one transaction. A file that already holds records the new key would
// refuse is left exactly as it is, and those records are returned; nothing
// is ever deleted. A file whose key is up to date is not written.
std::vector<KeyClash> bringKeyUpToDate(Connection& connection, const TableDef& table, const QString& fileName);

}  // namespace data
