#include "table_copy.h"

#include "data/core/connection.h"
#include "data/engine/engine.h"
#include "data/core/errors.h"
#include "data/core/schema.h"
#include "table_places.h"

#include <algorithm>
#include <memory>

namespace {

// The fields of the statement's row as the table stores them, before any of
// the conversions an edit goes through: an empty text stays empty, a boolean
// without a value stays without one.
data::Row storedFields(const data::OpenTable& table, data::Statement& st) {
    data::Row row(table.fields.size());
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        const QVariant v = st.column(int(i) + 1);
        if (!v.isValid())
            continue;
        switch (table.fields[i].kind) {
        case data::FieldKind::Boolean:
            row[i] = QVariant(v.toLongLong() != 0);
            break;
        case data::FieldKind::Integer:
            row[i] = v.typeId() == QMetaType::QString ? v : QVariant(v.toLongLong());
            break;
        case data::FieldKind::Text:
            row[i] = v.typeId() == QMetaType::QString ? v : QVariant(v.toString());
            break;
        }
    }
    return row;
}

bool holdsRecords(const data::OpenTable& table) {
    data::Statement& st = table.connection->prepare(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(table.quotedName));
    const bool any = st.step();
    st.reset();
    return any;
}

// For each field of `from`, the index of the field of that name in `to`.
std::vector<int> matchingFields(const data::OpenTable& from, const data::OpenTable& to) {
    std::vector<int> indexes;
    for (const data::FieldInfo& field : from.fields) {
        const int index = to.fieldIndex(field.name);
        if (index < 0)
            throw data::EngineError::wrongLayout(to.fileName, field.name);
        indexes.push_back(index);
    }
    return indexes;
}

qint64 copyRows(const data::OpenTable& from, const data::OpenTable& to) {
    const std::vector<int> targetOf = matchingFields(from, to);
    std::vector<int> written = targetOf;
    std::sort(written.begin(), written.end());
    data::Connection& out = *to.connection;
    data::Statement& st = from.connection->prepare(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(from.rowColumns(), from.quotedName));
    qint64 rows = 0;
    // On a server the records of a table go in one transaction, instead of
    // one each for the records that cannot be sent together.
    const bool oneTransaction = out.sharedWithOtherDesks();
    if (oneTransaction)
        out.exec(QStringLiteral("BEGIN"));
    out.beginWriteGroup();
    try {
        while (st.step()) {
            const data::Row values = storedFields(from, st);
            data::Row row(to.fields.size() + 1);
            for (std::size_t i = 0; i < values.size(); ++i)
                row[std::size_t(targetOf[i])] = values[i];
            row[to.fields.size()] = QVariant(qint64(0));
            out.insertRow(to, written, row);
            out.wrote();
            ++rows;
        }
        st.reset();
        out.bumpGeneration();
        out.endWriteGroup();
        if (oneTransaction)
            out.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        st.reset();
        out.bumpGeneration();
        try {
            out.endWriteGroup();
        } catch (const data::EngineError&) {
            // The copy is being undone anyway.
        }
        if (oneTransaction) {
            try {
                out.exec(QStringLiteral("ROLLBACK"));
            } catch (const data::EngineError&) {
                // A session that is gone took its transaction with it.
            }
        }
        throw;
    }
    return rows;
}

// Takes out whatever the copy wrote into the target tables, which held no
// records before it.
void emptyTables(data::Engine& target) {
    for (const data::TableDef* def : data::allTables()) {
        try {
            const std::shared_ptr<data::OpenTable> table = target.table(def->fileName);
            table->connection->exec(QStringLiteral("DELETE FROM %1").arg(table->quotedName));
            table->connection->bumpGeneration();
        } catch (const data::EngineError&) {
            // A table that cannot be reached now was not written either.
        }
    }
}

}  // namespace

std::vector<CopiedTable> copyTables(const QString& source, const QString& target) {
    data::Engine from(source);
    std::vector<std::shared_ptr<data::OpenTable>> sources;
    for (const data::TableDef* def : data::allTables())
        sources.push_back(from.table(def->fileName));

    // Everything is looked at before anything is written.
    const QStringList missing = missingTables(target);
    {
        data::Engine to(target);
        for (const data::TableDef* def : data::allTables())
            if (!missing.contains(def->fileName) && holdsRecords(*to.table(def->fileName)))
                throw data::EngineError(QStringLiteral("目标%1中的数据表“%2”已有记录，不能覆盖；没有复制任何数据。")
                                            .arg(shownPlace(target), def->fileName));
    }
    createTables(target, missing);

    data::Engine to(target);
    std::vector<CopiedTable> copied;
    // A server's tables are read in one snapshot, so that the copy is the
    // tables of one moment while the desks go on working.
    data::Connection& reading = *sources.front()->connection;
    const bool oneSnapshot = reading.sharedWithOtherDesks();
    if (oneSnapshot)
        reading.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
    try {
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const QString& name = data::allTables()[i]->fileName;
            copied.push_back({name, copyRows(*sources[i], *to.table(name))});
        }
        if (oneSnapshot)
            reading.exec(QStringLiteral("COMMIT"));
    } catch (const data::EngineError&) {
        if (oneSnapshot) {
            try {
                reading.exec(QStringLiteral("ROLLBACK"));
            } catch (const data::EngineError&) {
                // A session that is gone took its snapshot with it.
            }
        }
        emptyTables(to);
        throw;
    }
    return copied;
}

QStringList copySummary(const std::vector<CopiedTable>& copied) {
    QStringList lines;
    for (const CopiedTable& table : copied)
        lines << QStringLiteral("%1：已复制 %2 条记录").arg(table.fileName).arg(table.rows);
    return lines;
}
