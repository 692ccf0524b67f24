#pragma once

#include "data/core/schema.h"
#include "data/core/store.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace data {

// Whether a place of tables is a database server's address
// ("postgresql://…", "postgres://…") rather than a folder.
bool isServerLocation(const QString& location);

// The store of the tables at a place: the folder's table files, or the
// server's tables.
std::unique_ptr<Store> openStore(const QString& location);

// The tables of the program that the place lacks, by file name.
QStringList missingTables(const QString& location);

// Makes the given tables, empty, at the place (the folder is made when
// missing); refuses before making anything when any of them is there
// already. On a server they are made in one transaction.
void createTables(const QString& location, const std::vector<const TableDef*>& tables = allTables());

}  // namespace data
