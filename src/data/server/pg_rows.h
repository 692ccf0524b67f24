#pragma once

#include <QString>
#include <QVariant>
#include <memory>

struct pg_result;

namespace data::pg {

// The rows of an answer as the server sent them, each value converted only
// when it is read: a walk takes the values it keeps straight from the
// answer, without a QVariant made, copied and dropped for every column.
class Rows {
public:
    Rows() = default;
    explicit Rows(pg_result* result);  // takes it over

    int count() const;
    int columns() const;
    // The rows the statement inserted, updated, deleted or selected.
    qint64 affected() const;

    // The value converted as a ResultRow holds it: NULL an invalid QVariant,
    // boolean a bool, smallint/integer/bigint a qint64, anything else its
    // text.
    QVariant value(int row, int column) const;

    // How a column's values are converted.
    enum class Kind { Boolean, Integer, Text };
    Kind kind(int column) const;
    bool isNull(int row, int column) const;
    // The value as the server wrote it (UTF-8), and its length in bytes.
    const char* bytes(int row, int column) const;
    int length(int row, int column) const;
    // The value of a column of Kind::Integer; 0 for NULL.
    qint64 integer(int row, int column) const;
    // The value of a column of Kind::Boolean; false for NULL.
    bool boolean(int row, int column) const;

private:
    std::shared_ptr<pg_result> result_;
};

}  // namespace data::pg
