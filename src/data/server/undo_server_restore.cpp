// Checking and undoing a recorded command on the server: a row changed
// since the command has another version than the one the command left, and
// the recorded rows go back from their images in single statements per
// table, with new versions, so that every desk that holds them reads them
// again.

#include "data/server/undo_server_impl.h"

#include "data/core/open_table.h"
#include "data/core/schema.h"

namespace data::undo_server {

namespace {

// "coalesce(k.f::text,'')=coalesce(b.f::text,'') AND ...": a row k
// holding the key of the image b, compared as the tables compare keys (no
// value is the empty text).
QString sameKey(const TableDef& def) {
    QStringList same;
    for (const QString& field : def.uniqueKey)
        same << QStringLiteral("coalesce(k.%1::text,'')=coalesce(b.%1::text,'')").arg(quotedIdentifier(field));
    return same.join(QStringLiteral(" AND "));
}

// The images of one part: "b.command=? AND b.table_name=?".
QString imagesOfPart() { return QStringLiteral("b.command=?::bigint AND b.table_name=?::text"); }

}  // namespace

int ServerUndoJournal::changedSince(qint64 id) {
    sealDue();  // records whose seal failed, before this undo changes their rows
    checkNotRunningElsewhere(id);
    connection_->flush();
    inTransaction([&] { sealLocked(id); });
    qint64 count = 0;
    for (const PartRow& part : partsOf(id)) {
        const OpenTable& table = tableOf(part.table);
        const QVariant command(id);
        // Rows the command left that were changed or removed since.
        const QString leftRows = QStringLiteral("SELECT count(*) FROM %1 a LEFT JOIN %2 t ON t.rowid=a.rid "
                                                "WHERE a.command=?::bigint AND a.table_name=?::text "
                                                "AND (t.rowid IS NULL OR %3) ")
                                     .arg(afterTable(), table.quotedName, changedSinceSeal(table));
        switch (part.kind) {
        case UndoPart::Kind::ShownRows: {
            count += scalar(leftRows + QStringLiteral("AND EXISTS (SELECT 1 FROM %1 b WHERE b.command=a.command "
                                                      "AND b.table_name=a.table_name AND b.rid=a.rid)")
                                           .arg(imagesTable(part.table)),
                            {command, part.table});
            // Rows the command removed whose key another row has taken since.
            const TableDef& def = tableDefOfSqlName(part.table);
            if (!def.uniqueKey.isEmpty())
                count += scalar(QStringLiteral("SELECT count(*) FROM %1 b WHERE %2 AND NOT EXISTS (SELECT 1 FROM %3 a "
                                               "WHERE a.command=b.command AND a.table_name=b.table_name AND a.rid=b.rid) "
                                               "AND EXISTS (SELECT 1 FROM %4 k WHERE k.rowid<>b.rid AND %5)")
                                    .arg(imagesTable(part.table), imagesOfPart(), afterTable(), table.quotedName, sameKey(def)),
                                {command, part.table});
            break;
        }
        case UndoPart::Kind::WholeTable:
            count += scalar(leftRows, {command, part.table});
            count += scalar(QStringLiteral("SELECT count(*) FROM %1 t WHERE NOT EXISTS (SELECT 1 FROM %2 a "
                                           "WHERE a.command=?::bigint AND a.table_name=?::text AND a.rid=t.rowid)")
                                .arg(table.quotedName, afterTable()),
                            {command, part.table});
            break;
        case UndoPart::Kind::AddedRows:
            // Added rows removed since are no loss to the undo.
            count += scalar(QStringLiteral("SELECT count(*) FROM %1 a JOIN %2 t ON t.rowid=a.rid WHERE a.command=?::bigint "
                                           "AND a.table_name=?::text AND a.rid>?::bigint AND %3")
                                .arg(afterTable(), table.quotedName, changedSinceSeal(table)),
                            {command, part.table, QVariant(part.mark)});
            break;
        }
    }
    return int(count);
}

int ServerUndoJournal::undo(qint64 id) {
    sealDue();  // records whose seal failed, before this undo changes their rows
    checkNotRunningElsewhere(id);
    connection_->flush();
    qint64 restored = 0;
    QStringList tables;
    inTransaction([&] {
        // Locks the record: a second desk undoing it waits, then finds it gone.
        if (!sealLocked(id))
            return;
        for (const PartRow& part : partsOf(id)) {
            restored += part.kind == UndoPart::Kind::AddedRows ? removeAddedRows(id, part) : restoreRows(id, part);
            tables << part.table;
        }
        run(QStringLiteral("DELETE FROM %1 WHERE id=?::bigint").arg(commandsTable()), {QVariant(id)});
    });
    for (const QString& table : tables)
        connection_->forgetCopies(table);
    connection_->bumpGeneration();  // open results read their rows again
    changed();
    return int(restored);
}

qint64 ServerUndoJournal::removeAddedRows(qint64 id, const PartRow& part) {
    const OpenTable& table = tableOf(part.table);
    return qint64(run(QStringLiteral("DELETE FROM %1 t USING %2 a WHERE a.command=?::bigint AND a.table_name=?::text "
                                     "AND a.rid>?::bigint AND t.rowid=a.rid")
                          .arg(table.quotedName, afterTable()),
                      {QVariant(id), part.table, QVariant(part.mark)})
                      .affected);
}

// The rows of the images go back under their ids: those that are there are
// written over where they differ, those that are gone are stored again.
// A row gets a version above any it had, so that a desk holding it as the
// command or a later hand left it finds it changed.
qint64 ServerUndoJournal::restoreRows(qint64 id, const PartRow& part) {
    const OpenTable& table = tableOf(part.table);
    const TableDef& def = tableDefOfSqlName(part.table);
    const QVariant command(id);
    qint64 restored = 0;
    if (part.kind == UndoPart::Kind::WholeTable) {
        restored += qint64(run(QStringLiteral("DELETE FROM %1 t WHERE NOT EXISTS (SELECT 1 FROM %2 b WHERE %3 AND b.rid=t.rowid)")
                                   .arg(table.quotedName, imagesTable(part.table), imagesOfPart()),
                               {command, part.table})
                               .affected);
    } else if (!def.uniqueKey.isEmpty()) {
        // A row coming back takes its key from a row stored since.
        run(QStringLiteral("DELETE FROM %1 k USING %2 b WHERE %3 AND k.rowid<>b.rid AND %4 "
                           "AND NOT EXISTS (SELECT 1 FROM %1 x WHERE x.rowid=b.rid)")
                .arg(table.quotedName, imagesTable(part.table), imagesOfPart(), sameKey(def)),
            {command, part.table});
    }
    QStringList columns, values, sets, now, then;
    for (const QString& field : table.quotedFields) {
        columns << field;
        values << QStringLiteral("b.") + field;
        sets << QStringLiteral("%1=EXCLUDED.%1").arg(field);
        now << QStringLiteral("t.") + field;
        then << QStringLiteral("EXCLUDED.") + field;
    }
    restored += qint64(
        run(QStringLiteral("INSERT INTO %1 AS t (rowid, %2, tavrel_version, tavrel_desk, tavrel_desk_token) "
                           "SELECT b.rid, %3, greatest(coalesce(b.tavrel_version, 0), "
                           "coalesce(a.version, 0)) + 1, ?::text, ?::text "
                           "FROM %4 b "
                           "LEFT JOIN %5 a ON a.command=b.command AND a.table_name=b.table_name AND a.rid=b.rid "
                           "WHERE %6 ORDER BY b.rid "
                           "ON CONFLICT (rowid) DO UPDATE SET %7, tavrel_version=t.tavrel_version+1, tavrel_desk=EXCLUDED.tavrel_desk, "
                           "tavrel_desk_token=EXCLUDED.tavrel_desk_token "
                           "WHERE (%8) IS DISTINCT FROM (%9)")
                .arg(table.quotedName, columns.join(QLatin1Char(',')), values.join(QLatin1Char(',')), imagesTable(part.table), afterTable(),
                     imagesOfPart(), sets.join(QLatin1Char(',')), now.join(QLatin1Char(',')), then.join(QLatin1Char(','))),
            {connection_->desk(), connection_->deskToken(), command, part.table})
            .affected);
    return restored;
}

}  // namespace data::undo_server
