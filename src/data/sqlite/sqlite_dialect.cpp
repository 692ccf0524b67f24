#include "data/sqlite/sqlite_dialect.h"

namespace data {

namespace {

// SQLite keeps whatever a field is given, so a number field may hold text;
// its flags are numbers.
class SqliteDialect : public SqlDialect {
public:
    bool numberFieldsHoldOnlyNumbers() const override { return false; }
    QString sameValue(const QString& a, const QString& b) const override {
        return QStringLiteral("%1 IS %2").arg(a, b);
    }
    QString flagIs(const QString& column, bool set) const override {
        return (set ? QStringLiteral("(coalesce(%1, 0) <> 0)") : QStringLiteral("(coalesce(%1, 0) = 0)")).arg(column);
    }
    // SQLite's LIKE ignores the case of ASCII letters by itself.
    QString caseBlindLike() const override { return QStringLiteral("LIKE"); }
    QString holdsText(const QString& column) const override {
        return QStringLiteral("(%1 <> '' AND instr(upper(%1), ?) > 0)").arg(column);
    }
    QString holdsAnyText(const QString& column) const override {
        return QStringLiteral("(%1 <> '' AND EXISTS (SELECT 1 FROM json_each(?) WHERE instr(upper(%1), value) > 0))")
            .arg(column);
    }
    QString isAnyOf(const QString& column, bool) const override {
        return column + QStringLiteral(" IN (SELECT value FROM json_each(?))");
    }
};

}  // namespace

const SqlDialect& sqliteDialect() {
    static const SqliteDialect dialect;
    return dialect;
}

}  // namespace data
