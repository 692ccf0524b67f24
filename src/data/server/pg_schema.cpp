#include "data/server/pg_schema.h"

#include "data/core/errors.h"
#include "data/server/pg_session.h"

namespace data::pg {

namespace {

constexpr int LoopTableFillFactor = 40;

// Payloads longer than this say "*" instead of the rowids: a notification
// holds less than 8000 bytes. Reading 4000 rowids is enough to know: with
// their commas they are longer than that already.
const QString NotifyFunction = QStringLiteral(R"(CREATE OR REPLACE FUNCTION tavrel_notify_change() RETURNS trigger
LANGUAGE plpgsql AS $body$
DECLARE
    ids text;
    payload text;
BEGIN
    SELECT string_agg(rowid::text, ',') INTO ids FROM (SELECT rowid FROM changed_rows LIMIT 4000) AS first_rows;
    IF ids IS NOT NULL THEN
        payload := TG_TABLE_NAME || ' ' || ids;
        IF octet_length(payload) > 7900 THEN
            payload := TG_TABLE_NAME || ' *';
        END IF;
        PERFORM pg_notify('%1', payload);
    END IF;
    RETURN NULL;
END
$body$)");

// Columns of every table that are no field of it.
const QStringList BookkeepingColumns = {QStringLiteral("rowid"), QStringLiteral("tavrel_version"),
                                        QStringLiteral("tavrel_desk"), QLatin1String(DeskTokenColumn)};

QString columnType(FieldKind kind) {
    switch (kind) {
    case FieldKind::Text: return QStringLiteral("text");
    case FieldKind::Integer: return QStringLiteral("bigint");
    case FieldKind::Boolean: return QStringLiteral("boolean DEFAULT false");
    }
    return {};
}

FieldKind fieldKind(const QString& dataType) {
    if (dataType == QLatin1String("bigint") || dataType == QLatin1String("integer") ||
        dataType == QLatin1String("smallint"))
        return FieldKind::Integer;
    if (dataType == QLatin1String("boolean"))
        return FieldKind::Boolean;
    return FieldKind::Text;
}

QString identifiers(const QStringList& names) {
    QStringList quoted;
    for (const QString& name : names)
        quoted << quotedIdentifier(name);
    return quoted.join(QStringLiteral(", "));
}

QStringList keyStatements(const TableDef& table) {
    if (table.uniqueKey.isEmpty())
        return {};
    QStringList expressions;
    for (const QString& name : table.uniqueKey)
        expressions << QStringLiteral("(coalesce(%1, ''))").arg(quotedIdentifier(name));
    const QString tableName = quotedIdentifier(table.sqlName);
    return {QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                .arg(quotedIdentifier(table.keyIndexName()), tableName, expressions.join(QStringLiteral(", "))),
            QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                .arg(quotedIdentifier(table.sqlName + QStringLiteral("_lookup")), tableName,
                     identifiers(table.uniqueKey))};
}

QString trigger(const TableDef& table, const char* event, const char* transitionTable) {
    return QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON %3 REFERENCING %4 TABLE AS changed_rows "
                          "FOR EACH STATEMENT EXECUTE FUNCTION tavrel_notify_change()")
        .arg(quotedIdentifier(table.sqlName + QLatin1Char('_') + QString::fromLatin1(event).toLower()),
             QLatin1String(event), quotedIdentifier(table.sqlName), QLatin1String(transitionTable));
}

void rollBack(Session& session) {
    if (session.isBroken())
        return;
    try {
        session.exec(QStringLiteral("ROLLBACK"));
    } catch (const EngineError&) {
        // The connection went meanwhile; the server has rolled back.
    }
}

// The orders and the statistics are rewritten whole by the loops (件数相乘,
// 标为统计, 鞋底统计). Pages left more than half empty keep a row's new version
// beside the old one: its indexes need no new entries (none of the fields the
// loops write is indexed), and the old versions are pruned as the pages fill.
// More than half, since a new version is the longer: the first write adds the
// desk and its token, and the sole assignment fills two texts. With half, a
// loop over rows written once already found no room for about a fifth of them
// and gave each of those new entries in every index.
QString storageOptions(const TableDef& table) {
    if (&table == &ordersTable() || &table == &statisticsTable())
        return QStringLiteral(" WITH (fillfactor=%1)").arg(LoopTableFillFactor);
    return {};
}

}  // namespace

QStringList createTableStatements(const TableDef& table) {
    QStringList columns{QStringLiteral("rowid bigserial PRIMARY KEY")};
    for (const FieldDef& field : table.fields)
        columns << quotedIdentifier(field.name) + QLatin1Char(' ') + columnType(field.kind);
    columns << QStringLiteral("tavrel_version bigint NOT NULL DEFAULT 1") << QStringLiteral("tavrel_desk text")
            << QLatin1String(DeskTokenColumn) + QStringLiteral(" text");
    const QString tableName = quotedIdentifier(table.sqlName);

    QStringList statements{NotifyFunction.arg(QLatin1String(ChangeChannel))};
    statements << QStringLiteral("CREATE TABLE %1 (%2)%3").arg(tableName, columns.join(QStringLiteral(", ")), storageOptions(table));
    statements << keyStatements(table);
    int n = 0;
    for (const QStringList& index : table.indexes)
        statements << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                          .arg(quotedIdentifier(table.sqlName + QStringLiteral("_idx") + QString::number(++n)),
                               tableName, identifiers(index));
    statements << trigger(table, "INSERT", "NEW") << trigger(table, "UPDATE", "NEW") << trigger(table, "DELETE", "OLD");
    return statements;
}

void createTables(Session& session) {
    for (const TableDef* table : allTables())
        if (tableExists(session, table->sqlName))
            throw EngineError(QStringLiteral("Table \"%1\" already exists on the server %2; it is left as it is.")
                                  .arg(table->sqlName, session.server()));
    session.exec(QStringLiteral("BEGIN"));
    try {
        for (const TableDef* table : allTables())
            for (const QString& statement : createTableStatements(*table))
                session.exec(statement);
        session.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        rollBack(session);
        throw;
    }
}

// From the catalogue, which every role reads: the information schema lists
// only the tables a role has rights on, and a desk without them would be
// offered to create tables that are there.
bool tableExists(Session& session, const QString& sqlName) {
    return !session
                .run(QStringLiteral("SELECT 1 FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                                    "WHERE n.nspname = current_schema() AND c.relname = ? AND c.relkind IN ('r', 'p')"),
                     {sqlName})
                .rows.empty();
}

bool columnExists(Session& session, const QString& sqlName, const QString& column) {
    return !session
                .run(QStringLiteral("SELECT 1 FROM information_schema.columns "
                                    "WHERE table_schema = current_schema() AND table_name = ? AND column_name = ?"),
                     {sqlName, column})
                .rows.empty();
}

void addDeskTokenColumns(Session& session) {
    for (const TableDef* table : allTables())
        if (tableExists(session, table->sqlName) && !columnExists(session, table->sqlName, QLatin1String(DeskTokenColumn)))
            // Appended after the others, where a table made with it has it
            // too; IF NOT EXISTS for a desk adding it at the same moment.
            session.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN IF NOT EXISTS %2 text")
                             .arg(quotedIdentifier(table->sqlName), QLatin1String(DeskTokenColumn)));
}

void leaveRoomInLoopTables(Session& session) {
    for (const TableDef* table : {&ordersTable(), &statisticsTable()})
        if (tableExists(session, table->sqlName) &&
            session
                .run(QStringLiteral("SELECT 1 FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                                    "WHERE n.nspname = current_schema() AND c.relname = ? AND ? = ANY(c.reloptions)"),
                     {table->sqlName, QStringLiteral("fillfactor=%1").arg(LoopTableFillFactor)})
                .rows.empty())
            session.exec(QStringLiteral("ALTER TABLE %1 SET (fillfactor=%2)").arg(quotedIdentifier(table->sqlName)).arg(LoopTableFillFactor));
}

std::vector<FieldInfo> fieldsOf(Session& session, const QString& sqlName) {
    const Result columns = session.run(QStringLiteral("SELECT column_name, data_type FROM information_schema.columns "
                                                      "WHERE table_schema = current_schema() AND table_name = ? "
                                                      "ORDER BY ordinal_position"),
                                       {sqlName});
    std::vector<FieldInfo> fields;
    for (const ResultRow& column : columns.rows) {
        const QString name = column[0].toString();
        if (!BookkeepingColumns.contains(name))
            fields.push_back({name, fieldKind(column[1].toString())});
    }
    return fields;
}

}  // namespace data::pg
