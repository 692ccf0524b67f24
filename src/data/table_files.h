#pragma once

#include "data/schema.h"

#include <QString>

namespace data {

// Creates the file of one empty table in dir. Refuses (EngineError) when a
// file of that name is already there.
void createTableFile(const QString& dir, const TableDef& table);

// Creates the three empty tables in dir; refuses before writing anything
// when any of them already exists.
void createTableFiles(const QString& dir);

}  // namespace data
