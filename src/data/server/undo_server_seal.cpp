// Sealing a record of the server's undo journal: the versions and contents
// of its rows as the command left them, taken in the same transaction that
// marks it sealed.

#include "data/server/undo_server_impl.h"

#include "data/core/open_table.h"

#include <QScopeGuard>
#include <QStringList>
#include <algorithm>

namespace data::undo_server {

void ServerUndoJournal::seal(qint64 id) {
    // Sealed or not, the ids are of no more use: a record left open is
    // sealed later by its images.
    const auto forget = qScopeGuard([&] { shownAtRecord_.erase(id); });
    connection_->flush();  // the command's last writes
    inTransaction([&] { sealLocked(id); });
    changed();
}

bool ServerUndoJournal::sealLocked(qint64 id) {
    const pg::Result command =
        run(QStringLiteral("SELECT sealed::integer, desk, desk_token FROM %1 WHERE id=?::bigint FOR UPDATE").arg(commandsTable()),
            {QVariant(id)});
    if (command.rows.empty())
        return false;
    if (command.rows.front()[0].toInt() != 0)
        return true;
    // The desk that ran the command: its run by the token, or by the name
    // where the record has no token.
    const QVariant token = command.rows.front()[2];
    const QString byDesk = token.isNull() ? QStringLiteral("t.tavrel_desk=?::text") : QStringLiteral("t.tavrel_desk_token=?::text");
    const QVariant desk = token.isNull() ? command.rows.front()[1] : token;
    qint64 added = 0;
    QStringList sealed;
    for (const PartRow& part : partsOf(id)) {
        const OpenTable& table = tableOf(part.table);
        // A row is kept once: a second part of a table adds the rows the
        // first left out.
        const QString once = sealed.contains(part.table)
                                 ? QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM %1 a WHERE a.command=?::bigint AND "
                                                  "a.table_name=?::text AND a.rid=t.rowid)")
                                       .arg(afterOf())
                                 : QString();
        sealed << part.table;
        const auto keep = [&](const QString& from, const QString& where, std::vector<QVariant> params) {
            if (!once.isEmpty())
                params.insert(params.end(), {QVariant(id), part.table});
            return rowsInBatches(run(QStringLiteral("INSERT INTO %1 (command, table_name, rids, versions, contents) "
                                                    "SELECT ?::bigint, ?::text, array_agg(t.rowid), array_agg(t.tavrel_version), "
                                                    "array_agg(%3) FROM %2 t %4 WHERE %5%6 GROUP BY t.rowid / %7 "
                                                    "RETURNING cardinality(rids)")
                                         .arg(afterBatchesTable(), table.quotedName, rowContent(table), from, where, once)
                                         .arg(RowsPerBatch),
                                     params));
        };
        switch (part.kind) {
        case UndoPart::Kind::ShownRows: {
            if (const auto it = shownAtRecord_.find(id); it != shownAtRecord_.end()) {
                auto& recorded = it->second;
                const auto of = std::find_if(recorded.begin(), recorded.end(),
                                             [&](const ShownPart& p) { return p.table == part.table; });
                if (of != recorded.end()) {
                    keepShownRowsByIds(id, table, part.table, of->batches, once);
                    recorded.erase(of);
                    break;
                }
            }
            // The rows of each batch of images are kept as one batch: no
            // sort of all the rows, and no image taken apart but its id.
            std::vector<QVariant> params{QVariant(id), part.table};
            if (!once.isEmpty())
                params.insert(params.end(), {QVariant(id), part.table});
            params.insert(params.end(), {QVariant(id), part.table});
            run(QStringLiteral("INSERT INTO %1 (command, table_name, rids, versions, contents) "
                               "SELECT ?::bigint, ?::text, x.rids, x.versions, x.contents FROM %2 i CROSS JOIN LATERAL "
                               "(SELECT array_agg(t.rowid) AS rids, array_agg(t.tavrel_version) AS versions, array_agg(%3) AS contents "
                               "FROM unnest(i.rows) u JOIN %4 t ON t.rowid=u.rowid WHERE true%5) x "
                               "WHERE i.command=?::bigint AND i.table_name=?::text AND x.rids IS NOT NULL")
                    .arg(afterBatchesTable(), batchesTable(part.table), rowContent(table), table.quotedName, once),
                params);
            // Images of a record made before they were kept in batches.
            keep(QStringLiteral("JOIN %1 b ON b.rid=t.rowid").arg(imagesTable(part.table)),
                 QStringLiteral("b.command=?::bigint AND b.table_name=?::text"), {QVariant(id), part.table, QVariant(id), part.table});
            break;
        }
        case UndoPart::Kind::WholeTable:
            keep(QString(), QStringLiteral("true"), {QVariant(id), part.table});
            break;
        case UndoPart::Kind::AddedRows:
            // Rows other desks stored meanwhile are theirs to keep.
            added += keep(QString(), QStringLiteral("t.rowid > ?::bigint AND ") + byDesk,
                          {QVariant(id), part.table, QVariant(part.mark), desk});
            break;
        }
    }
    run(QStringLiteral("UPDATE %1 SET sealed=true, row_count=row_count+?::bigint WHERE id=?::bigint").arg(commandsTable()),
        {QVariant(added), QVariant(id)});
    return true;
}

// Gapless batches go in one statement, each read by its range in one sweep
// of the index; a batch with gaps goes by its ids. Either finds the rows the
// images hold that are still there, and no other: ids are never handed out
// twice, so no row came into a range since its images were taken.
void ServerUndoJournal::keepShownRowsByIds(qint64 id, const OpenTable& table, const QString& sqlName,
                                           const std::vector<std::vector<qint64>>& batches, const QString& once) {
    const QString keep = QStringLiteral("INSERT INTO %1 (command, table_name, rids, versions, contents) "
                                        "SELECT ?::bigint, ?::text, x.rids, x.versions, x.contents FROM %2 CROSS JOIN LATERAL "
                                        "(SELECT array_agg(t.rowid) AS rids, array_agg(t.tavrel_version) AS versions, "
                                        "array_agg(%3) AS contents FROM %4 t WHERE %5%6) x WHERE x.rids IS NOT NULL");
    const auto keepFrom = [&](const QString& from, const QString& where, std::vector<QVariant> params) {
        if (!once.isEmpty())
            params.insert(params.end(), {QVariant(id), sqlName});
        run(keep.arg(afterBatchesTable(), from, rowContent(table), table.quotedName, where, once), params);
    };
    std::vector<qint64> firsts, lasts;
    for (const std::vector<qint64>& batch : batches) {
        if (gapless(batch)) {
            firsts.push_back(batch.front());
            lasts.push_back(batch.back());
        } else {
            keepFrom(QStringLiteral("(SELECT ?::bigint[] AS ids) AS b"), QStringLiteral("t.rowid = ANY(b.ids)"),
                     {QVariant(id), sqlName, idList(batch)});
        }
    }
    if (!firsts.empty())
        keepFrom(QStringLiteral("unnest(?::bigint[], ?::bigint[]) AS r(first_id, last_id)"),
                 QStringLiteral("t.rowid BETWEEN r.first_id AND r.last_id"),
                 {QVariant(id), sqlName, idList(firsts), idList(lasts)});
}

// A record whose desk ended during its command (its session is gone, or is
// this one: the journal that made it was closed) is sealed with the rows as
// they are now, by a desk whose role may change its tables.
void ServerUndoJournal::sealOpenRecords() {
    const pg::Result open = run(QStringLiteral("SELECT c.id FROM %1 c WHERE NOT c.sealed AND (c.owner_pid=pg_backend_pid() OR "
                                               "NOT EXISTS (SELECT 1 FROM pg_stat_activity a WHERE a.pid=c.owner_pid AND "
                                               "(a.backend_start IS NULL OR a.backend_start=c.owner_start))) AND %2 ORDER BY c.id")
                                    .arg(commandsTable(), mayChangeAllTablesOf(QStringLiteral("c.id"))));
    for (const pg::ResultRow& row : open.rows)
        inTransaction([&] { sealLocked(row.front().toLongLong()); });
}

}  // namespace data::undo_server
