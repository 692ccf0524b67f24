#pragma once

#include "data/core/schema.h"

#include <QString>

namespace data {

// The path of the file in dir that holds the table a statement names
// ("dd.db", any case), or empty when there is none.
QString tableFilePath(const QString& dir, const QString& name);

// Creates the file of one empty table in dir. Refuses (EngineError) when a
// file of that name is already there.
void createTableFile(const QString& dir, const TableDef& table);

// Creates the three empty tables in dir; refuses before writing anything
// when any of them already exists.
void createTableFiles(const QString& dir);

}  // namespace data
