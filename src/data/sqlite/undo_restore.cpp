// Checking and undoing a recorded command: the rows changed since the
// command are counted against the fingerprints the command left, and the
// recorded rows go back in single SQL statements per table.

#include "data/sqlite/undo_file_impl.h"

#include <sqlite3.h>

namespace data::undo_file {

int UndoFile::changedSince(qint64 id) {
    sealDue();  // records whose seal failed, before this undo changes their rows
    std::vector<QString> paths;
    for (const PartRow& part : partsOf(id))
        paths.push_back(part.table);
    Attachments files(*this, paths);
    sealWith(id, files.byPath);
    qint64 count = 0;
    for (const PartRow& part : partsOf(id)) {
        const Attached& t = files.byPath.at(part.table);
        const QString image = imageTable(part.table);
        const QString now = t.fingerprint(QStringLiteral("t."));
        // Rows the command left that were changed or removed since.
        const QString leftRows = QStringLiteral("SELECT count(*) FROM %1_after a LEFT JOIN %2 t ON t.rowid=a.rid "
                                                "WHERE a.command=? AND (t.rowid IS NULL OR %3 IS NOT a.fingerprint)")
                                     .arg(image, t.table, now);
        switch (part.kind) {
        case UndoPart::Kind::ShownRows: {
            count += scalar(leftRows, {id});
            // Rows the command removed whose key another row has taken since.
            QStringList clashes;
            for (const QStringList& key : t.uniqueKeys) {
                QStringList same;
                for (const QString& f : key)
                    same << QStringLiteral("ifnull(k.%1,'')=ifnull(b.%1,'')").arg(f);
                clashes << QStringLiteral("EXISTS (SELECT 1 FROM %1 k WHERE %2)").arg(t.table, same.join(QStringLiteral(" AND ")));
            }
            if (!clashes.isEmpty())
                count += scalar(QStringLiteral("SELECT count(*) FROM %1 b WHERE b.command=? AND b.phase=0 AND NOT EXISTS "
                                               "(SELECT 1 FROM %1_after a WHERE a.command=b.command AND a.rid=b.rid) AND (%2)")
                                    .arg(image, clashes.join(QStringLiteral(" OR "))),
                                {id});
            break;
        }
        case UndoPart::Kind::WholeTable:
            count += scalar(leftRows, {id});
            count += scalar(QStringLiteral("SELECT count(*) FROM %1 t WHERE NOT EXISTS (SELECT 1 FROM %2_after a WHERE "
                                           "a.command=? AND a.rid=t.rowid)")
                                .arg(t.table, image),
                            {id});
            break;
        case UndoPart::Kind::AddedRows:
            count += scalar(QStringLiteral("SELECT count(*) FROM %1_after a JOIN %2 t ON t.rowid=a.rid "
                                           "WHERE a.command=? AND %3 IS NOT a.fingerprint")
                                .arg(image, t.table, now),
                            {id});
            break;
        }
    }
    return int(count);
}

int UndoFile::undo(qint64 id) {
    sealDue();  // records whose seal failed, before this undo changes their rows
    const std::vector<PartRow> parts = partsOf(id);
    std::vector<QString> paths;
    for (const PartRow& part : parts)
        paths.push_back(part.table);
    qint64 restored = 0;
    {
        Attachments files(*this, paths);
        sealWith(id, files.byPath);
        exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS back(rid INTEGER PRIMARY KEY, free INTEGER)"));
        exec(QStringLiteral("BEGIN IMMEDIATE"));
        try {
            for (const PartRow& part : parts) {
                const Attached& t = files.byPath.at(part.table);
                const QString image = imageTable(part.table);
                const QString before = QStringLiteral("b.command=%1 AND b.phase=0").arg(id);
                switch (part.kind) {
                case UndoPart::Kind::ShownRows: {
                    // Rows the command removed, or that are gone since, come
                    // back: under their old id when it is still free.
                    exec(QStringLiteral("DELETE FROM temp.back"));
                    exec(QStringLiteral("INSERT INTO temp.back SELECT b.rid, NOT EXISTS (SELECT 1 FROM %2 t WHERE t.rowid=b.rid) "
                                        "FROM %1 b WHERE %3 AND (NOT EXISTS (SELECT 1 FROM %1_after a WHERE a.command=b.command "
                                        "AND a.rid=b.rid) OR NOT EXISTS (SELECT 1 FROM %2 t WHERE t.rowid=b.rid))")
                             .arg(image, t.table, before));
                    QStringList set;
                    for (const QString& f : t.fields)
                        set << QStringLiteral("%1=b.%1").arg(f);
                    exec(QStringLiteral("UPDATE %1 AS t SET %2 FROM %3 b WHERE %4 AND b.rid=t.rowid AND b.rid NOT IN (SELECT rid FROM temp.back)")
                             .arg(t.table, set.join(QLatin1Char(',')), image, before));
                    restored += sqlite3_changes(db_);
                    for (const QStringList& key : t.uniqueKeys) {
                        QStringList same;
                        for (const QString& f : key)
                            same << QStringLiteral("ifnull(k.%1,'')=ifnull(b.%1,'')").arg(f);
                        exec(QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT k.rowid FROM %2 b JOIN temp.back r ON "
                                            "r.rid=b.rid JOIN %1 k ON %3 WHERE %4)")
                                 .arg(t.table, image, same.join(QStringLiteral(" AND ")), before));
                    }
                    exec(QStringLiteral("INSERT INTO %1(rowid, %2) SELECT b.rid, %3 FROM %4 b JOIN temp.back r ON r.rid=b.rid "
                                        "WHERE %5 AND r.free ORDER BY b.rid")
                             .arg(t.table, t.columns(), t.columns(QStringLiteral("b.")), image, before));
                    restored += sqlite3_changes(db_);
                    exec(QStringLiteral("INSERT INTO %1(%2) SELECT %3 FROM %4 b JOIN temp.back r ON r.rid=b.rid "
                                        "WHERE %5 AND NOT r.free ORDER BY b.rid")
                             .arg(t.table, t.columns(), t.columns(QStringLiteral("b.")), image, before));
                    restored += sqlite3_changes(db_);
                    break;
                }
                case UndoPart::Kind::WholeTable:
                    exec(QStringLiteral("DELETE FROM %1").arg(t.table));
                    exec(QStringLiteral("INSERT INTO %1(rowid, %2) SELECT b.rid, %3 FROM %4 b WHERE %5 ORDER BY b.rid")
                             .arg(t.table, t.columns(), t.columns(QStringLiteral("b.")), image, before));
                    restored += sqlite3_changes(db_);
                    break;
                case UndoPart::Kind::AddedRows:
                    exec(QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT rid FROM %2_after WHERE command=%3)")
                             .arg(t.table, image)
                             .arg(id));
                    restored += sqlite3_changes(db_);
                    break;
                }
            }
            exec(QStringLiteral("COMMIT"));
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    drop(id);
    changed();
    return int(restored);
}

}  // namespace data::undo_file
