#include "data/core/schema.h"

namespace data {

namespace {

std::vector<FieldDef> sizeFields() {
    std::vector<FieldDef> fields;
    for (const QString& name : sizeFieldNames())
        fields.push_back({name, FieldKind::Integer});
    return fields;
}

QString declaredType(FieldKind kind) {
    switch (kind) {
    case FieldKind::Text: return QStringLiteral("TEXT");
    case FieldKind::Integer: return QStringLiteral("INTEGER");
    case FieldKind::Boolean: return QStringLiteral("BOOLEAN DEFAULT 0");
    }
    return {};
}

QString joinedIdentifiers(const QStringList& names) {
    QStringList quoted;
    for (const QString& n : names)
        quoted << quotedIdentifier(n);
    return quoted.join(QStringLiteral(", "));
}

TableDef makeShoes() {
    TableDef t;
    t.fileName = QStringLiteral("shoes.db");
    t.sqlName = QStringLiteral("shoes");
    t.fields = {{QStringLiteral("鞋的型号"), FieldKind::Text}, {QStringLiteral("颜色"), FieldKind::Text},
                {QStringLiteral("鞋底型号"), FieldKind::Text}, {QStringLiteral("供应商"), FieldKind::Text},
                {QStringLiteral("备注"), FieldKind::Text},     {QStringLiteral("顺序"), FieldKind::Text}};
    t.uniqueKey = {QStringLiteral("鞋的型号"), QStringLiteral("颜色")};
    return t;
}

TableDef makeOrders() {
    TableDef t;
    t.fileName = QStringLiteral("dd.db");
    t.sqlName = QStringLiteral("dd");
    t.fields = {{QStringLiteral("批号"), FieldKind::Text},     {QStringLiteral("单号"), FieldKind::Text},
                {QStringLiteral("鞋的型号"), FieldKind::Text}, {QStringLiteral("颜色"), FieldKind::Text},
                {QStringLiteral("件数"), FieldKind::Integer},  {QStringLiteral("双数"), FieldKind::Integer}};
    for (const FieldDef& f : sizeFields())
        t.fields.push_back(f);
    t.fields.push_back({QStringLiteral("备注"), FieldKind::Text});
    t.fields.push_back({QStringLiteral("已统计"), FieldKind::Boolean});
    t.fields.push_back({QStringLiteral("供应商"), FieldKind::Text});
    t.fields.push_back({QStringLiteral("鞋底型号"), FieldKind::Text});
    t.uniqueKey = {QStringLiteral("批号")};
    return t;
}

TableDef makeStatistics() {
    TableDef t;
    t.fileName = QStringLiteral("xdtj.db");
    t.sqlName = QStringLiteral("xdtj");
    t.fields = {{QStringLiteral("供应商"), FieldKind::Text},
                {QStringLiteral("鞋底型号"), FieldKind::Text},
                {QStringLiteral("双数"), FieldKind::Integer}};
    for (const FieldDef& f : sizeFields())
        t.fields.push_back(f);
    t.fields.push_back({QStringLiteral("顺序"), FieldKind::Text});
    t.indexes = {{QStringLiteral("鞋底型号"), QStringLiteral("供应商")}};
    return t;
}

}  // namespace

QString quotedIdentifier(const QString& name) {
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString TableDef::keyIndexName() const { return sqlName + QStringLiteral("_key"); }

QString TableDef::keyExpressions() const {
    QStringList parts;
    for (const QString& name : uniqueKey)
        parts << QStringLiteral("ifnull(%1, '')").arg(quotedIdentifier(name));
    return parts.join(QStringLiteral(", "));
}

QStringList TableDef::keyStatements() const {
    if (uniqueKey.isEmpty())
        return {};
    // Empty text is stored as no value, and SQLite lets rows without a value
    // repeat under a unique index; the key therefore stands over the texts
    // with no value read as empty. Lookups by the plain fields keep their
    // own index.
    return {QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                .arg(quotedIdentifier(keyIndexName()), quotedIdentifier(sqlName), keyExpressions()),
            QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                .arg(quotedIdentifier(sqlName + QStringLiteral("_lookup")), quotedIdentifier(sqlName),
                     joinedIdentifiers(uniqueKey))};
}

QStringList TableDef::createStatements() const {
    QStringList columns;
    for (const FieldDef& f : fields)
        columns << quotedIdentifier(f.name) + QLatin1Char(' ') + declaredType(f.kind);
    QStringList statements;
    statements << QStringLiteral("CREATE TABLE %1 (%2)").arg(quotedIdentifier(sqlName), columns.join(QStringLiteral(", ")));
    statements << keyStatements();
    int n = 0;
    for (const QStringList& index : indexes)
        statements << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                          .arg(quotedIdentifier(sqlName + QStringLiteral("_idx") + QString::number(++n)),
                               quotedIdentifier(sqlName), joinedIdentifiers(index));
    return statements;
}

const QStringList& sizeFieldNames() {
    static const QStringList names = [] {
        QStringList l;
        for (int s = 33; s <= 48; ++s)
            l << QString::number(s);
        return l;
    }();
    return names;
}

const TableDef& shoesTable() {
    static const TableDef t = makeShoes();
    return t;
}

const TableDef& ordersTable() {
    static const TableDef t = makeOrders();
    return t;
}

const TableDef& statisticsTable() {
    static const TableDef t = makeStatistics();
    return t;
}

const std::vector<const TableDef*>& allTables() {
    static const std::vector<const TableDef*> all = {&shoesTable(), &ordersTable(), &statisticsTable()};
    return all;
}

}  // namespace data

namespace data {

const TableDef* tableDefOfFile(const QString& fileName) {
    for (const TableDef* def : allTables())
        if (def->fileName.compare(fileName, Qt::CaseInsensitive) == 0)
            return def;
    return nullptr;
}

}  // namespace data
