#include "data/server/pg_rows.h"

#include <cstdlib>
#include <libpq-fe.h>

namespace data::pg {

namespace {

// Type oids of the columns read as something other than text.
enum : Oid { BoolOid = 16, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23 };

}  // namespace

Rows::Rows(pg_result* result) : result_(result, PQclear) {}

int Rows::count() const { return result_ ? PQntuples(result_.get()) : 0; }

int Rows::columns() const { return result_ ? PQnfields(result_.get()) : 0; }

qint64 Rows::affected() const { return result_ ? std::strtoll(PQcmdTuples(result_.get()), nullptr, 10) : 0; }

Rows::Kind Rows::kind(int column) const {
    switch (PQftype(result_.get(), column)) {
    case BoolOid:
        return Kind::Boolean;
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
        return Kind::Integer;
    default:
        return Kind::Text;
    }
}

bool Rows::isNull(int row, int column) const { return PQgetisnull(result_.get(), row, column) != 0; }

const char* Rows::bytes(int row, int column) const { return PQgetvalue(result_.get(), row, column); }

int Rows::length(int row, int column) const { return PQgetlength(result_.get(), row, column); }

qint64 Rows::integer(int row, int column) const { return std::strtoll(bytes(row, column), nullptr, 10); }

bool Rows::boolean(int row, int column) const { return bytes(row, column)[0] == 't'; }

QVariant Rows::value(int row, int column) const {
    if (isNull(row, column))
        return {};
    switch (kind(column)) {
    case Kind::Boolean:
        return boolean(row, column);
    case Kind::Integer:
        return integer(row, column);
    case Kind::Text:
        break;
    }
    return QString::fromUtf8(bytes(row, column), length(row, column));
}

}  // namespace data::pg
