#pragma once

#include "paradox/paradox_table.h"

#include <QString>
#include <variant>
#include <vector>

// Writes Paradox tables through pxlib, for the tests and benchmarks of the
// Paradox import: they make their own tables instead of shipping files.
namespace paradox_fixture {

struct Field {
    QString name;
    paradox::ParadoxType type;
    int length;
};

// Blank, text (stored in the table's character set), whole number, logical, real.
using Value = std::variant<std::monostate, QString, qint64, bool, double>;
using Record = std::vector<Value>;

struct Table {
    Table(std::vector<Field> fields, std::vector<Record> records = {})
        : fields(std::move(fields)), records(std::move(records)) {}

    std::vector<Field> fields;
    std::vector<Record> records;
    int codePage = 936;           // written into the header; 0 names none
    QString encoding = QStringLiteral("GBK");  // how text is stored
    QString password;             // non-empty: the table is encrypted
};

// Writes table into path, and its memo file (path with ".mb") when it has
// memo fields. Throws std::runtime_error when pxlib refuses.
void writeTable(const QString& path, const Table& table);

// The fields of the factory's three tables, named as the program names them.
std::vector<Field> catalogueFields();
std::vector<Field> orderFields();
std::vector<Field> statisticsFields();

}  // namespace paradox_fixture
