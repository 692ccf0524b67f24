#include "data/server/pg_dialect.h"

namespace data {

namespace {

// The server's columns are typed: a number field refuses text, a flag is a
// boolean.
class PostgresDialect : public SqlDialect {
public:
    bool numberFieldsHoldOnlyNumbers() const override { return true; }
    QString sameValue(const QString& a, const QString& b) const override {
        return QStringLiteral("%1 IS NOT DISTINCT FROM %2").arg(a, b);
    }
    QString flagIs(const QString& column, bool set) const override {
        return (set ? QStringLiteral("coalesce(%1, FALSE)") : QStringLiteral("NOT coalesce(%1, FALSE)")).arg(column);
    }
    QString caseBlindLike() const override { return QStringLiteral("ILIKE"); }
    QString holdsText(const QString& column) const override {
        return QStringLiteral("(%1 <> '' AND strpos(upper(%1), ?) > 0)").arg(column);
    }
    QString holdsAnyText(const QString& column) const override {
        return QStringLiteral("(%1 <> '' AND EXISTS (SELECT 1 FROM json_array_elements_text(?::json) AS j(value) "
                              "WHERE strpos(upper(%1), j.value) > 0))")
            .arg(column);
    }
    QString isAnyOf(const QString& column, bool numbers) const override {
        return column + QStringLiteral(" IN (SELECT j.value%1 FROM json_array_elements_text(?::json) AS j(value))")
                            .arg(numbers ? QStringLiteral("::bigint") : QString());
    }
};

}  // namespace

const SqlDialect& postgresDialect() {
    static const PostgresDialect dialect;
    return dialect;
}

}  // namespace data
