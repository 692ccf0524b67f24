#pragma once

#include <QString>

namespace data {

// What differs between the SQL of the stores, for the conditions of the
// statement language. Each store supplies its own; columns are given quoted.
class SqlDialect {
public:
    virtual ~SqlDialect() = default;

    // Whether a number field refuses text that is no whole number: then no
    // record can hold such text, a comparison with it finds nothing, and an
    // empty number field can only be NULL.
    virtual bool numberFieldsHoldOnlyNumbers() const = 0;
    // Two columns hold the same value, NULL equal to NULL.
    virtual QString sameValue(const QString& a, const QString& b) const = 0;
    // A flag column is set (or not set); a flag never set counts as not set.
    virtual QString flagIs(const QString& column, bool set) const = 0;
    // The LIKE that ignores the case of ASCII letters.
    virtual QString caseBlindLike() const = 0;
    // The upper-cased column holds the one upper-cased text bound to `?`.
    virtual QString holdsText(const QString& column) const = 0;
    // The upper-cased column holds one of the texts of the JSON array bound
    // to `?`.
    virtual QString holdsAnyText(const QString& column) const = 0;
    // The column equals one of the values of the JSON array bound to `?`.
    virtual QString isAnyOf(const QString& column, bool numbers) const = 0;
};

}  // namespace data
