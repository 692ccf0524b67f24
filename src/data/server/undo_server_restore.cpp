// Checking and undoing a recorded command on the server: a row changed
// since the command has another version than the one the command left, and
// the recorded rows go back from their images in single statements per
// table, with new versions, so that every desk that holds them reads them
// again. The undo checks the rows once more in its own transaction, with
// them locked, against what the clerk was asked about.

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
    checkMayChangeTables(id);
    checkNotRunningElsewhere(id);
    connection_->flush();
    inTransaction([&] { sealLocked(id); });
    const ChangedRows changed = changedRows(id, partsOf(id));
    asked_ = {id, changed};
    return int(changed.count);
}

// Each statement gives a count and a digest of the rows it counted, by row
// id and version.
void ServerUndoJournal::addChanged(ChangedRows& changed, const QString& sql, const std::vector<QVariant>& params) {
    const pg::Result r = run(sql, params);
    const qint64 count = r.rows.at(0).at(0).toLongLong();
    changed.count += count;
    changed.state += QByteArray::number(count) + ':' + r.rows.at(0).at(1).toString().toLatin1() + ';';
}

ServerUndoJournal::ChangedRows ServerUndoJournal::changedRows(qint64 id, const std::vector<PartRow>& parts) {
    // "SELECT count(*), digest of row id:version FROM ..."
    const auto select = [](const char* rid, const char* version) {
        return QStringLiteral("SELECT count(*), "
                              "md5(string_agg(%1::text || ':' || coalesce(%2::text, '-'), ',' ORDER BY %1)) ")
            .arg(QLatin1String(rid), QLatin1String(version));
    };
    ChangedRows changed;
    for (const PartRow& part : parts) {
        const OpenTable& table = tableOf(part.table);
        const QVariant command(id);
        // Rows the command left that were changed or removed since.
        const QString leftRows = select("a.rid", "t.tavrel_version") +
                                 QStringLiteral("FROM %1 a LEFT JOIN %2 t ON t.rowid=a.rid "
                                                "WHERE a.command=?::bigint AND a.table_name=?::text "
                                                "AND (t.rowid IS NULL OR %3) ")
                                     .arg(afterOf(), table.quotedName, changedSinceSeal(table));
        switch (part.kind) {
        case UndoPart::Kind::ShownRows: {
            addChanged(changed,
                       leftRows + QStringLiteral("AND EXISTS (SELECT 1 FROM %1 b WHERE b.command=a.command "
                                                 "AND b.table_name=a.table_name AND b.rid=a.rid)")
                                      .arg(imagesOf(table, part.table)),
                       {command, part.table});
            // Rows the command removed whose key another row has taken since.
            const TableDef& def = tableDefOfSqlName(part.table);
            if (!def.uniqueKey.isEmpty())
                addChanged(changed,
                           QStringLiteral("SELECT count(DISTINCT b.rid), md5(string_agg(k.rowid::text || ':' || "
                                          "k.tavrel_version::text, ',' ORDER BY k.rowid)) "
                                          "FROM %1 b JOIN %4 k ON k.rowid<>b.rid AND %5 WHERE %2 AND NOT EXISTS "
                                          "(SELECT 1 FROM %3 a WHERE a.command=b.command AND a.table_name=b.table_name "
                                          "AND a.rid=b.rid)")
                               .arg(imagesOf(table, part.table), imagesOfPart(), afterOf(), table.quotedName,
                                    sameKey(def)),
                           {command, part.table});
            break;
        }
        case UndoPart::Kind::WholeTable:
            addChanged(changed, leftRows, {command, part.table});
            addChanged(changed,
                       select("t.rowid", "t.tavrel_version") +
                           QStringLiteral("FROM %1 t WHERE NOT EXISTS (SELECT 1 FROM %2 a "
                                          "WHERE a.command=?::bigint AND a.table_name=?::text AND a.rid=t.rowid)")
                               .arg(table.quotedName, afterOf()),
                       {command, part.table});
            break;
        case UndoPart::Kind::AddedRows:
            // Added rows removed since are no loss to the undo.
            addChanged(changed,
                       select("a.rid", "t.tavrel_version") +
                           QStringLiteral("FROM %1 a JOIN %2 t ON t.rowid=a.rid WHERE a.command=?::bigint "
                                          "AND a.table_name=?::text AND a.rid>?::bigint AND %3")
                               .arg(afterOf(), table.quotedName, changedSinceSeal(table)),
                       {command, part.table, QVariant(part.mark)});
            break;
        }
    }
    return changed;
}

// Row locks where the rows are known; a table the undo empties of every row
// not in its images is locked whole against writes, so that no row another
// desk adds meanwhile is removed unseen. The locks are taken in the order of
// the row ids, as every undo takes them.
ServerUndoJournal::KeyHolders ServerUndoJournal::lockRows(qint64 id, const std::vector<PartRow>& parts) {
    KeyHolders holders;
    for (const PartRow& part : parts) {
        const OpenTable& table = tableOf(part.table);
        const QVariant command(id);
        std::vector<qint64>& keys = holders.emplace_back();
        switch (part.kind) {
        case UndoPart::Kind::ShownRows: {
            run(QStringLiteral("SELECT t.rowid FROM %1 t WHERE t.rowid IN (SELECT b.rid FROM %2 b WHERE %3 UNION "
                               "SELECT a.rid FROM %4 a WHERE a.command=?::bigint AND a.table_name=?::text) "
                               "ORDER BY t.rowid FOR UPDATE OF t")
                    .arg(table.quotedName, imagesOf(table, part.table), imagesOfPart(), afterOf()),
                {command, part.table, command, part.table});
            const TableDef& def = tableDefOfSqlName(part.table);
            if (def.uniqueKey.isEmpty())
                break;
            const pg::Result r = run(QStringLiteral("SELECT t.rowid FROM %1 t WHERE t.rowid IN "
                                                    "(SELECT k.rowid FROM %1 k JOIN %2 b ON k.rowid<>b.rid AND %3 WHERE %4) "
                                                    "ORDER BY t.rowid FOR UPDATE OF t")
                                         .arg(table.quotedName, imagesOf(table, part.table), sameKey(def), imagesOfPart()),
                                     {command, part.table});
            for (const pg::ResultRow& row : r.rows)
                keys.push_back(row.front().toLongLong());
            break;
        }
        case UndoPart::Kind::WholeTable:
            run(QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(table.quotedName));
            break;
        case UndoPart::Kind::AddedRows:
            run(QStringLiteral("SELECT t.rowid FROM %1 t JOIN %2 a ON a.rid=t.rowid WHERE a.command=?::bigint "
                               "AND a.table_name=?::text AND a.rid>?::bigint ORDER BY t.rowid FOR UPDATE OF t")
                    .arg(table.quotedName, afterOf()),
                {command, part.table, QVariant(part.mark)});
            break;
        }
    }
    return holders;
}

// The rows are checked again in the transaction that writes them back, with
// them locked: changes made after the clerk was asked (by another desk) are
// written over only once the clerk has been asked about them.
int ServerUndoJournal::undo(qint64 id) {
    sealDue();  // records whose seal failed, before this undo changes their rows
    checkMayChangeTables(id);
    checkNotRunningElsewhere(id);
    connection_->flush();
    const ChangedRows asked = asked_ && asked_->first == id ? asked_->second : ChangedRows{};
    std::optional<ChangedRows> changedMeanwhile;
    qint64 restored = 0;
    QStringList tables;
    inTransaction([&] {
        // Locks the record: a second desk undoing it waits, then finds it gone.
        if (!sealLocked(id))
            return;
        const std::vector<PartRow> parts = partsOf(id);
        const KeyHolders keyHolders = lockRows(id, parts);
        const ChangedRows now = changedRows(id, parts);
        if (betweenCheckAndWriteBack)
            betweenCheckAndWriteBack();
        if (now.count > 0 && !(now == asked)) {
            changedMeanwhile = now;
            return;
        }
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const PartRow& part = parts[i];
            restored += part.kind == UndoPart::Kind::AddedRows ? removeAddedRows(id, part)
                                                                : restoreRows(id, part, keyHolders[i]);
            tables << part.table;
        }
        // A record the server keeps from this desk stays, and so do the rows.
        if (run(QStringLiteral("DELETE FROM %1 WHERE id=?::bigint").arg(commandsTable()), {QVariant(id)}).affected != 1)
            throw EngineError::serverError(QStringLiteral("42501"), QStringLiteral("The server kept the undone record."));
    });
    if (changedMeanwhile) {
        // Asked about as they are now, the clerk may undo again.
        asked_ = {id, *changedMeanwhile};
        throw EngineError::changedSinceAsked(int(changedMeanwhile->count));
    }
    asked_.reset();
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
                          .arg(table.quotedName, afterOf()),
                      {QVariant(id), part.table, QVariant(part.mark)})
                      .affected);
}

// The rows of the images go back under their ids: those that are there are
// written over where they differ, those that are gone are stored again.
// A row gets a version above any it had, so that a desk holding it as the
// command or a later hand left it finds it changed.
qint64 ServerUndoJournal::restoreRows(qint64 id, const PartRow& part, const std::vector<qint64>& keyHolders) {
    const OpenTable& table = tableOf(part.table);
    const TableDef& def = tableDefOfSqlName(part.table);
    const QVariant command(id);
    qint64 restored = 0;
    if (part.kind == UndoPart::Kind::WholeTable) {
        restored += qint64(run(QStringLiteral("DELETE FROM %1 t WHERE NOT EXISTS (SELECT 1 FROM %2 b WHERE %3 AND b.rid=t.rowid)")
                                   .arg(table.quotedName, imagesOf(table, part.table), imagesOfPart()),
                               {command, part.table})
                               .affected);
    } else if (!def.uniqueKey.isEmpty()) {
        // A row coming back takes its key from a row stored since (one of
        // those locked: a row stored after the check makes the undo fail on
        // the key rather than go unasked).
        run(QStringLiteral("DELETE FROM %1 k USING %2 b WHERE %3 AND k.rowid<>b.rid AND %4 "
                           "AND k.rowid=ANY(?::bigint[]) AND NOT EXISTS (SELECT 1 FROM %1 x WHERE x.rowid=b.rid)")
                .arg(table.quotedName, imagesOf(table, part.table), imagesOfPart(), sameKey(def)),
            {command, part.table, idList(keyHolders)});
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
                .arg(table.quotedName, columns.join(QLatin1Char(',')), values.join(QLatin1Char(',')), imagesOf(table, part.table), afterOf(),
                     imagesOfPart(), sets.join(QLatin1Char(',')), now.join(QLatin1Char(',')), then.join(QLatin1Char(','))),
            {connection_->desk(), connection_->deskToken(), command, part.table})
            .affected);
    return restored;
}

}  // namespace data::undo_server
