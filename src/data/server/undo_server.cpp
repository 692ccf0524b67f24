// The undo journal on a PostgreSQL server, in tables of its own made on
// first use: the commands, their parts (a table each), the rows as they were
// before the command (whole records of the table's own row type, in batches)
// and the versions and contents of the rows as the command left them (in
// batches too; records of earlier releases keep a row each). Rows move between
// the tables and the journal in single statements on the server; none of
// them passes through the desk.
//
// A record is written by the session of the desk that runs the command; the
// desk's name and token are kept with it (the rows the command adds are
// those stored with its token; records kept before there were tokens go by
// the name), and the session's process id and start time, so that a record
// left open by a desk that ended during its command can be told from one
// whose command still runs. (A role that may not see other roles' sessions
// in full sees no start time: the process id alone then tells.)

#include "data/server/undo_server.h"
#include "data/server/undo_server_impl.h"

#include "data/server/pg_schema.h"

#include "data/core/open_table.h"
#include "data/core/errors.h"
#include "data/core/schema.h"

#include <QSet>
#include <algorithm>

namespace data {

namespace undo_server {

QVariant idList(const std::vector<qint64>& ids) {
    std::vector<QVariant> values;
    values.reserve(ids.size());
    for (qint64 id : ids)
        values.emplace_back(id);
    return QVariant::fromValue(pg::ArrayParam{std::move(values)});
}

QString imagesOf(const OpenTable& table, const QString& sqlName) {
    QStringList old, batched;
    for (const QString& field : table.quotedFields) {
        old << QStringLiteral("o.") + field;
        batched << QStringLiteral("u.") + field;
    }
    return QStringLiteral("(SELECT o.command, o.table_name, o.rid, %1, o.tavrel_version FROM %2 o UNION ALL "
                          "SELECT i.command, i.table_name, u.rowid, %3, u.tavrel_version FROM %4 i CROSS JOIN LATERAL unnest(i.rows) u)")
        .arg(old.join(QLatin1Char(',')), imagesTable(sqlName), batched.join(QLatin1Char(',')), batchesTable(sqlName));
}

// The ids sorted, each once, in batches of at most RowsPerBatch.
std::vector<std::vector<qint64>> idBatches(std::vector<qint64> ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<std::vector<qint64>> batches;
    for (std::size_t from = 0; from < ids.size(); from += RowsPerBatch)
        batches.emplace_back(ids.begin() + std::ptrdiff_t(from),
                             ids.begin() + std::ptrdiff_t(std::min(ids.size(), from + std::size_t(RowsPerBatch))));
    return batches;
}

// The rows an INSERT of batches took in, each batch returning its length.
qint64 rowsInBatches(const pg::Result& inserted) {
    qint64 rows = 0;
    for (const pg::ResultRow& row : inserted.rows)
        rows += row.front().toLongLong();
    return rows;
}

QString afterOf() {
    return QStringLiteral("(SELECT o.command, o.table_name, o.rid, o.version, o.content FROM %1 o UNION ALL "
                          "SELECT l.command, l.table_name, x.rid, x.version, x.content FROM %2 l "
                          "CROSS JOIN LATERAL unnest(l.rids, l.versions, l.contents) AS x(rid, version, content))")
        .arg(afterTable(), afterBatchesTable());
}

const TableDef& tableDefOfSqlName(const QString& sqlName) {
    for (const TableDef* def : allTables())
        if (def->sqlName == sqlName)
            return *def;
    throw EngineError(QStringLiteral("The undo journal names the table \"%1\", which is none of the program's.").arg(sqlName));
}

ServerUndoJournal::ServerUndoJournal(std::shared_ptr<PgConnection> connection, OpenTables tables)
    : connection_(std::move(connection)), tables_(std::move(tables)),
      hashesRows_(connection_->session().serverVersion() >= 140000) {
    createTables();
    sealOpenRecords();
}

pg::Result ServerUndoJournal::run(const QString& sql, const std::vector<QVariant>& params) {
    return connection_->run(sql, params);
}

qint64 ServerUndoJournal::scalar(const QString& sql, const std::vector<QVariant>& params) {
    const pg::Result r = run(sql, params);
    return r.rows.empty() || r.rows.front().empty() ? 0 : r.rows.front().front().toLongLong();
}

// Whether the journal's tables and their later columns are all there: a
// desk whose role may not create anything then starts without trying to.
bool ServerUndoJournal::tablesComplete() {
    QStringList tables{commandsTable(), partsTable(), afterTable(), afterBatchesTable()};
    qint64 imageTables = 0;
    for (const TableDef* def : allTables())
        if (pg::tableExists(connection_->session(), def->sqlName)) {
            tables << imagesTableName(def->sqlName) << batchesTableName(def->sqlName);
            ++imageTables;
        }
    const qint64 found = scalar(QStringLiteral("SELECT count(*) FROM information_schema.tables "
                                               "WHERE table_schema = current_schema() AND table_name = ANY(?::text[])"),
                                {QVariant::fromValue(pg::ArrayParam{std::vector<QVariant>(tables.begin(), tables.end())})});
    if (found != tables.size())
        return false;
    const qint64 columns = scalar(
        QStringLiteral("SELECT count(*) FROM information_schema.columns WHERE table_schema = current_schema() AND "
                       "((table_name = ? AND column_name = 'content') OR (table_name = ? AND column_name = 'desk_token') "
                       "OR (table_name LIKE 'tavrel\\_undo\\_images\\_%' AND column_name = ?))"),
        {afterTable(), commandsTable(), QString::fromLatin1(pg::DeskTokenColumn)});
    return columns == imageTables + 2;
}

void ServerUndoJournal::createTables() {
    connection_->flush();
    if (tablesComplete())
        return;
    inTransaction([this] {
        // Two desks starting at once would both create the tables.
        run(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('tavrel undo journal'))"));
        run(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (id bigserial PRIMARY KEY, command text NOT NULL, "
                           "window_name text NOT NULL, desk text NOT NULL, recorded_at timestamptz NOT NULL DEFAULT now(), "
                           "row_count bigint NOT NULL DEFAULT 0, sealed boolean NOT NULL DEFAULT false, "
                           "owner_pid integer, owner_start timestamptz, desk_role name NOT NULL DEFAULT current_user)")
                .arg(commandsTable()));
        run(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (command bigint NOT NULL REFERENCES %2(id) ON DELETE CASCADE, "
                           "position integer NOT NULL, kind integer NOT NULL, table_name text NOT NULL, "
                           "mark bigint NOT NULL DEFAULT 0, PRIMARY KEY (command, position))")
                .arg(partsTable(), commandsTable()));
        run(QStringLiteral("CREATE INDEX IF NOT EXISTS %1_by_table ON %1 (table_name, command)").arg(partsTable()));
        // Rows are kept as the table holds them: copying them is a plain
        // copy, with nothing converted.
        for (const TableDef* def : allTables()) {
            if (!pg::tableExists(connection_->session(), def->sqlName))
                continue;
            run(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (command bigint NOT NULL REFERENCES %2(id) ON DELETE CASCADE, "
                               "table_name text NOT NULL, rid bigint NOT NULL, LIKE %3, PRIMARY KEY (command, rid))")
                    .arg(imagesTable(def->sqlName), commandsTable(), quotedIdentifier(def->sqlName)));
            // Images made before the tables had the desk token take it at
            // their end, as the table has (pg::addDeskTokenColumns).
            if (!pg::columnExists(connection_->session(), imagesTableName(def->sqlName), QLatin1String(pg::DeskTokenColumn)))
                run(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 text").arg(imagesTable(def->sqlName), QLatin1String(pg::DeskTokenColumn)));
            // A column added to the table later reads as no value in the
            // batches stored before.
            run(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (command bigint NOT NULL REFERENCES %2(id) ON DELETE CASCADE, "
                               "table_name text NOT NULL, rows %3[] NOT NULL)")
                    .arg(batchesTable(def->sqlName), commandsTable(), quotedIdentifier(def->sqlName)));
            run(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (command)")
                    .arg(quotedIdentifier(batchesTableName(def->sqlName) + QStringLiteral("_by_command")), batchesTable(def->sqlName)));
        }
        run(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (command bigint NOT NULL REFERENCES %2(id) ON DELETE CASCADE, "
                           "table_name text NOT NULL, rid bigint NOT NULL, version bigint NOT NULL, "
                           "PRIMARY KEY (command, table_name, rid))")
                .arg(afterTable(), commandsTable()));
        // What each row held, so that a row changed and changed back (by an
        // undo of a later command) counts as unchanged, as on table files.
        // Records sealed before it was kept compare versions.
        run(QStringLiteral("ALTER TABLE %1 ADD COLUMN IF NOT EXISTS content text").arg(afterTable()));
        run(QStringLiteral("ALTER TABLE %1 ADD COLUMN IF NOT EXISTS desk_token text").arg(commandsTable()));
        run(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (command bigint NOT NULL REFERENCES %2(id) ON DELETE CASCADE, "
                           "table_name text NOT NULL, rids bigint[] NOT NULL, versions bigint[] NOT NULL, contents text[] NOT NULL)")
                .arg(afterBatchesTable(), commandsTable()));
        run(QStringLiteral("CREATE INDEX IF NOT EXISTS %1_by_command ON %1 (command)").arg(afterBatchesTable()));
    });
}

namespace {

QString fieldsOfRow(const OpenTable& table) {
    QStringList fields;
    for (const QString& field : table.quotedFields)
        fields << QStringLiteral("t.") + field;
    return QStringLiteral("row(%1)").arg(fields.join(QLatin1Char(',')));
}

// The md5 of the row's text, as records sealed by earlier releases (and on
// servers before release 14) keep it: 32 characters, where a 64-bit hash
// written out has at most 20.
QString md5Content(const OpenTable& table) { return QStringLiteral("md5(%1::text)").arg(fieldsOfRow(table)); }
QString hashContent(const OpenTable& table) { return QStringLiteral("hash_record_extended(%1, 0)::text").arg(fieldsOfRow(table)); }

}  // namespace

// The fields of a row t in one text (the version and the desk left out): a
// 64-bit hash of them, which the server makes without writing the row out as
// text, where it can.
QString ServerUndoJournal::rowContent(const OpenTable& table) const {
    return hashesRows_ ? hashContent(table) : md5Content(table);
}

// Whether the row t is no longer as the command left it (a), in the way
// the record keeps the contents.
QString ServerUndoJournal::changedSinceSeal(const OpenTable& table) const {
    if (!hashesRows_)
        return QStringLiteral("(CASE WHEN a.content IS NULL THEN t.tavrel_version<>a.version ELSE %1<>a.content END)")
            .arg(md5Content(table));
    return QStringLiteral("(CASE WHEN a.content IS NULL THEN t.tavrel_version<>a.version "
                          "WHEN length(a.content)=32 THEN %1<>a.content ELSE %2<>a.content END)")
        .arg(md5Content(table), hashContent(table));
}

const OpenTable& ServerUndoJournal::tableOf(const QString& sqlName) {
    return tables_(tableDefOfSqlName(sqlName).fileName);
}

std::vector<ServerUndoJournal::PartRow> ServerUndoJournal::partsOf(qint64 id) {
    const pg::Result r = run(QStringLiteral("SELECT kind, table_name, mark FROM %1 WHERE command=?::bigint ORDER BY position")
                                 .arg(partsTable()),
                             {QVariant(id)});
    std::vector<PartRow> parts;
    for (const pg::ResultRow& row : r.rows)
        parts.push_back({UndoPart::Kind(row[0].toInt() % BatchedKind), row[1].toString(), row[2].toLongLong()});
    std::stable_partition(parts.begin(), parts.end(),
                          [](const PartRow& part) { return part.kind == UndoPart::Kind::AddedRows; });
    return parts;
}

qint64 ServerUndoJournal::record(const QString& command, const QString& window, const std::vector<UndoPart>& named) {
    // The journal keeps the tables by their names on the server.
    std::vector<UndoPart> parts = named;
    for (UndoPart& part : parts) {
        const TableDef* def = tableDefOfFile(part.table);
        if (!def)
            throw EngineError(QStringLiteral("找不到表“%1”。").arg(part.table));
        part.table = def->sqlName;
    }
    connection_->flush();  // the rows as the desk has written them
    qint64 id = 0;
    std::vector<ShownPart> shown;
    inTransaction([&] {
        shown.clear();
        id = scalar(QStringLiteral("INSERT INTO %1 (command, window_name, desk, desk_token, owner_pid, owner_start) "
                                   "SELECT ?::text, ?::text, ?::text, ?::text, pg_backend_pid(), "
                                   "(SELECT backend_start FROM pg_stat_activity WHERE pid=pg_backend_pid()) RETURNING id")
                        .arg(commandsTable()),
                    {command, window.isNull() ? QStringLiteral("") : window, connection_->desk(), connection_->deskToken()});
        qint64 rows = 0;
        QStringList tables;
        for (std::size_t position = 0; position < parts.size(); ++position) {
            const UndoPart& part = parts[position];
            const OpenTable& table = tableOf(part.table);
            // A row has one image: a second part of a table adds the rows
            // the first left out.
            const QString once = tables.contains(part.table)
                                     ? QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM %1 b WHERE b.command=?::bigint AND "
                                                      "b.table_name=?::text AND b.rid=t.rowid)")
                                           .arg(imagesOf(table, part.table))
                                     : QString();
            const auto copy = [&](const QString& from, std::vector<QVariant> params) {
                if (!once.isEmpty())
                    params.insert(params.end(), {QVariant(id), part.table});
                return rowsInBatches(run(QStringLiteral("INSERT INTO %1 (command, table_name, rows) SELECT ?::bigint, ?::text, "
                                                        "array_agg(t) FROM %2 t %3 WHERE true%4 GROUP BY t.rowid / %5 "
                                                        "RETURNING cardinality(rows)")
                                             .arg(batchesTable(part.table), table.quotedName, from, once)
                                             .arg(RowsPerBatch),
                                         params));
            };
            qint64 mark = 0;
            switch (part.kind) {
            case UndoPart::Kind::ShownRows:
                // A batch of ids at a time, sorted and each once: the server
                // then neither sorts nor groups all the rows shown. Ids that
                // follow each other without a gap (a walk over the whole
                // table) go as the range they fill, which the server reads
                // in one sweep of its index rather than looking up each id.
                shown.push_back({part.table, idBatches(part.rowIds)});
                for (const std::vector<qint64>& batch : shown.back().batches) {
                    const bool range = gapless(batch);
                    std::vector<QVariant> params{QVariant(id), part.table};
                    if (range)
                        params.insert(params.end(), {QVariant(batch.front()), QVariant(batch.back())});
                    else
                        params.push_back(idList(batch));
                    if (!once.isEmpty())
                        params.insert(params.end(), {QVariant(id), part.table});
                    rows += rowsInBatches(run(QStringLiteral("INSERT INTO %1 (command, table_name, rows) SELECT ?::bigint, "
                                                             "?::text, array_agg(t) FROM %2 t WHERE %3%4 "
                                                             "HAVING count(*) > 0 RETURNING cardinality(rows)")
                                                  .arg(batchesTable(part.table), table.quotedName,
                                                       range ? QStringLiteral("t.rowid BETWEEN ?::bigint AND ?::bigint")
                                                             : QStringLiteral("t.rowid = ANY(?::bigint[])"),
                                                       once),
                                              params));
                }
                break;
            case UndoPart::Kind::WholeTable:
                rows += copy(QString(), {QVariant(id), part.table});
                break;
            case UndoPart::Kind::AddedRows:
                // Ids are handed out in rising order: the rows the command
                // stores get ids above the sequence's value now; rows given
                // ids reserved before, by any desk, are not the command's.
                mark = scalar(QStringLiteral("SELECT greatest(coalesce(pg_sequence_last_value(pg_get_serial_sequence(?::text, "
                                             "'rowid')::regclass), 0), coalesce((SELECT max(rowid) FROM %1), 0))")
                                  .arg(table.quotedName),
                              {table.quotedName});
                break;
            }
            run(QStringLiteral("INSERT INTO %1 (command, position, kind, table_name, mark) "
                               "VALUES (?::bigint, ?::integer, ?::integer, ?::text, ?::bigint)")
                    .arg(partsTable()),
                {QVariant(id), QVariant(int(position)), QVariant(BatchedKind + int(part.kind)), part.table, QVariant(mark)});
            if (!tables.contains(part.table))
                tables << part.table;
        }
        run(QStringLiteral("UPDATE %1 SET row_count=?::bigint WHERE id=?::bigint").arg(commandsTable()), {QVariant(rows), QVariant(id)});
        keepLastCommands(tables);
    });
    shownAtRecord_[id] = std::move(shown);
    changed();
    return id;
}

QString mayChangeAllTablesOf(const QString& command) {
    const auto may = [](const char* right) {
        return QStringLiteral("has_table_privilege(p.table_name, '%1')").arg(QLatin1String(right));
    };
    return QStringLiteral("has_any_column_privilege('%1', 'UPDATE') AND NOT EXISTS (SELECT 1 FROM %2 p WHERE p.command=%3 "
                          "AND NOT (%4 AND %5 AND %6))")
        .arg(commandsTable(), partsTable(), command, may("INSERT"), may("UPDATE"), may("DELETE"));
}

void ServerUndoJournal::checkMayChangeTables(qint64 id) {
    const pg::Result barred = run(QStringLiteral("SELECT 1 WHERE NOT (%1)").arg(mayChangeAllTablesOf(QStringLiteral("?::bigint"))),
                                  {QVariant(id)});
    if (!barred.rows.empty())
        throw EngineError::serverError(QStringLiteral("42501"),
                                       QStringLiteral("The desk's role may not change every table of the command it was to undo."));
}

void ServerUndoJournal::checkNotRunningElsewhere(qint64 id) {
    const pg::Result running = run(QStringLiteral("SELECT c.desk, c.command FROM %1 c JOIN pg_stat_activity a ON "
                                                  "a.pid=c.owner_pid AND (a.backend_start IS NULL OR a.backend_start=c.owner_start) "
                                                  "WHERE c.id=?::bigint AND NOT c.sealed AND c.owner_pid<>pg_backend_pid()")
                                       .arg(commandsTable()),
                                   {QVariant(id)});
    if (!running.rows.empty())
        throw EngineError::serverBusy(running.rows.front()[0].toString(), running.rows.front()[1].toString());
}

std::vector<UndoEntry> ServerUndoJournal::entries(const QString& window) {
    const QString only = window.isNull() ? QStringLiteral("") : window;
    const pg::Result r = run(QStringLiteral("SELECT c.id, c.command, c.window_name, (extract(epoch FROM c.recorded_at)*1000)::bigint, "
                                            "c.row_count, (SELECT string_agg(p.table_name, ',' ORDER BY p.position) FROM %2 p "
                                            "WHERE p.command=c.id), c.desk FROM %1 c WHERE ?::text='' OR c.window_name=?::text "
                                            "ORDER BY c.id DESC")
                                 .arg(commandsTable(), partsTable()),
                             {only, only});
    std::vector<UndoEntry> list;
    for (const pg::ResultRow& row : r.rows) {
        UndoEntry e;
        e.id = row[0].toLongLong();
        e.command = row[1].toString();
        e.window = row[2].toString();
        e.time = QDateTime::fromMSecsSinceEpoch(row[3].toLongLong());
        e.rows = int(row[4].toLongLong());
        e.desk = row[6].toString();
        // Listed by the names the program gives the tables, as on files.
        for (const QString& sqlName : row[5].toString().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            QString name = sqlName;
            for (const TableDef* def : allTables())
                if (def->sqlName == sqlName)
                    name = def->fileName;
            e.tables << name;
        }
        list.push_back(e);
    }
    return list;
}

// Inside the transaction of a record: the records beyond the last
// MaxCommandsPerTable of each of its tables go, their rows with them.
void ServerUndoJournal::keepLastCommands(const QStringList& tables) {
    for (const QString& table : tables)
        run(QStringLiteral("DELETE FROM %1 WHERE id IN (SELECT command FROM (SELECT DISTINCT command FROM %2 "
                           "WHERE table_name=?::text) p ORDER BY command DESC OFFSET %3)")
                .arg(commandsTable(), partsTable())
                .arg(MaxCommandsPerTable),
            {table});
}

qint64 ServerUndoJournal::storageBytes() {
    QStringList sizes;
    for (const QString& table : {commandsTable(), partsTable(), afterTable(), afterBatchesTable()})
        sizes << QStringLiteral("pg_total_relation_size('%1')").arg(table);
    for (const TableDef* def : allTables())
        for (const QString& images : {imagesTable(def->sqlName), batchesTable(def->sqlName)})
            sizes << QStringLiteral("coalesce(pg_total_relation_size(to_regclass('%1')), 0)").arg(images);
    return scalar(QStringLiteral("SELECT ") + sizes.join(QLatin1Char('+')));
}

}  // namespace undo_server

std::unique_ptr<UndoJournal> openServerUndoJournal(std::shared_ptr<PgConnection> connection, OpenTables tables) {
    return std::make_unique<undo_server::ServerUndoJournal>(std::move(connection), std::move(tables));
}

}  // namespace data
