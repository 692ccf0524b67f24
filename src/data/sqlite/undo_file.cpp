// The undo journal in an SQLite file beside the tables. For every table file
// it has an image table with the table's fields and three columns of its
// own: the command, the row id, and whether the row is a before-image (0) or
// a row the command added (1); beside it a narrow table of the fingerprints
// of the rows as the command left them. Table files are attached for the
// time of a statement group, so that rows move between the tables and the
// journal in single SQL statements.

#include "data/sqlite/undo_file_impl.h"
#include "data/sqlite/undo_file.h"

#include "data/core/errors.h"
#include "data/sqlite/table_files.h"
#include "data/core/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <cstring>
#include <functional>
#include <sqlite3.h>
#include <string_view>

namespace data {

namespace undo_file {

namespace {

// A fingerprint of a row: every argument's type and value mixed into 64
// bits (texts through the standard library's string hash).
void rowFingerprint(sqlite3_context* context, int argc, sqlite3_value** argv) {
    quint64 hash = 14695981039346656037ull;
    auto mix = [&hash](quint64 v) {
        hash ^= v + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
        hash *= 1099511628211ull;
    };
    for (int i = 0; i < argc; ++i) {
        const int type = sqlite3_value_type(argv[i]);
        mix(quint64(type));
        switch (type) {
        case SQLITE_INTEGER:
            mix(quint64(sqlite3_value_int64(argv[i])));
            break;
        case SQLITE_FLOAT: {
            const double v = sqlite3_value_double(argv[i]);
            quint64 bits = 0;
            std::memcpy(&bits, &v, sizeof bits);
            mix(bits);
            break;
        }
        case SQLITE_NULL:
            break;
        default: {
            const auto* bytes = static_cast<const char*>(sqlite3_value_blob(argv[i]));
            const int size = sqlite3_value_bytes(argv[i]);
            mix(quint64(std::hash<std::string_view>{}(std::string_view(bytes ? bytes : "", std::size_t(size)))));
            mix(quint64(size));
        }
        }
    }
    sqlite3_result_int64(context, sqlite3_int64(hash));
}

}  // namespace

QString q(const QString& name) { return quotedIdentifier(name); }

UndoFile::Attachments::Attachments(UndoFile& file, const std::vector<QString>& paths) : file_(file) {
    if (file_.beforeTouchingTables)
        file_.beforeTouchingTables();
    for (const QString& path : paths) {
        if (byPath.count(path))
            continue;
        byPath.emplace(path, file_.attach(path, int(byPath.size())));
    }
}

UndoFile::Attachments::~Attachments() {
    file_.statements_.clear();  // statements on attached files end with them
    for (const auto& [path, attached] : byPath)
        sqlite3_exec(file_.db_, QStringLiteral("DETACH %1").arg(attached.schema).toUtf8().constData(), nullptr, nullptr,
                     nullptr);
}

UndoFile::UndoFile(const QString& folder) : folder_(folder), path_(QDir(folder).filePath(undoFileName())) {
    const QString& path = path_;
    const bool fresh = !QFileInfo::exists(path);
    prepareSqlite();
    // Used by the window thread alone, like the tables' connections.
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_close(db_);
        db_ = nullptr;
        throw EngineError(QStringLiteral("无法打开撤销记录文件“%1”：%2").arg(QDir::toNativeSeparators(path), message));
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 2000);
    sqlite3_create_function_v2(db_, "tavrel_row_fingerprint", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               &rowFingerprint, nullptr, nullptr, nullptr);
    if (fresh)
        exec(QStringLiteral("PRAGMA auto_vacuum=INCREMENTAL"));
    exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    // A record must be on disk before the command changes the tables.
    exec(QStringLiteral("PRAGMA synchronous=FULL"));
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS commands(id INTEGER PRIMARY KEY, command TEXT, window TEXT, "
                        "time TEXT, rows INTEGER, sealed INTEGER NOT NULL DEFAULT 0)"));
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS parts(command INTEGER, kind INTEGER, table_path TEXT, mark INTEGER)"));
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS images(table_path TEXT PRIMARY KEY, image TEXT)"));
    sealOpenRecords();
}

UndoFile::~UndoFile() {
    statements_.clear();
    sqlite3_close(db_);
}

void UndoFile::exec(const QString& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        throwSqliteError(db_, rc, QStringLiteral("撤销记录"));
}

Statement& UndoFile::prepare(const QString& sql) {
    auto& kept = statements_[sql];
    if (!kept) {
        sqlite3_stmt* stmt = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(db_, utf8.constData(), int(utf8.size()), &stmt, nullptr);
        if (rc != SQLITE_OK)
            throwSqliteError(db_, rc, QStringLiteral("撤销记录"));
        kept = std::make_unique<SqliteStatement>(db_, stmt);
    }
    kept->reset();
    return *kept;
}

qint64 UndoFile::scalar(const QString& sql, const QVariantList& values) {
    Statement& st = prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        st.bind(i + 1, values[i]);
    const qint64 v = st.step() ? st.columnInt(0) : 0;
    st.reset();
    return v;
}

void UndoFile::run(const QString& sql, const QVariantList& values) {
    Statement& st = prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        st.bind(i + 1, values[i]);
    while (st.step()) {
    }
    st.reset();
}

Attached UndoFile::attach(const QString& path, int number) {
    Attached a;
    a.schema = QStringLiteral("t%1").arg(number);
    {
        Statement& st = prepare(QStringLiteral("ATTACH ? AS %1").arg(a.schema));
        st.bind(1, path);
        st.step();
        st.reset();
    }
    Statement& names = prepare(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type='table' AND name NOT LIKE "
                                              "'sqlite_%' ORDER BY rowid LIMIT 1")
                                   .arg(a.schema));
    if (!names.step())
        throw EngineError(QStringLiteral("表“%1”中没有数据表。").arg(QDir::toNativeSeparators(path)));
    const QString table = names.column(0).toString();
    names.reset();
    a.table = a.schema + QLatin1Char('.') + q(table);
    Statement& info = prepare(QStringLiteral("SELECT name FROM pragma_table_info(?, ?) ORDER BY cid"));
    info.bind(1, table);
    info.bind(2, a.schema);
    while (info.step())
        a.fields << q(info.column(0).toString());
    info.reset();
    // The keys are the program's own: on files of this release they stand
    // over ifnull(field, ''), which the index list does not name.
    for (const TableDef* def : allTables()) {
        if (def->sqlName != table || def->uniqueKey.isEmpty())
            continue;
        QStringList key;
        for (const QString& field : def->uniqueKey)
            key << q(field);
        a.uniqueKeys.push_back(key);
    }
    return a;
}

QString UndoFile::imageTable(const QString& path) {
    Statement& st = prepare(QStringLiteral("SELECT image FROM images WHERE table_path=?"));
    st.bind(1, path);
    QString name = st.step() ? st.column(0).toString() : QString();
    st.reset();
    if (name.isEmpty()) {
        name = QStringLiteral("image_") + QString::number(scalar(QStringLiteral("SELECT count(*) FROM images")) + 1);
        run(QStringLiteral("INSERT INTO images VALUES (?, ?)"), {path, name});
    }
    return name;
}

void UndoFile::ensureImageTable(const QString& path, const Attached& source) {
    const QString image = imageTable(path);
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1(command INTEGER, rid INTEGER, phase INTEGER)")
             .arg(image));
    exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1_rows ON %1(command, phase, rid)").arg(image));
    // The state the command left: one narrow row per row, by command and row id.
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1_after(command INTEGER, rid INTEGER, fingerprint INTEGER, "
                        "PRIMARY KEY(command, rid)) WITHOUT ROWID")
             .arg(image));
    QStringList have;
    Statement& info = prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    info.bind(1, image);
    while (info.step())
        have << q(info.column(0).toString());
    info.reset();
    for (const QString& field : source.fields)
        if (!have.contains(field))
            exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(image, field));
}

std::vector<UndoFile::PartRow> UndoFile::partsOf(qint64 id) {
    std::vector<PartRow> rows;
    Statement& st = prepare(QStringLiteral("SELECT kind, table_path, mark FROM parts WHERE command=? ORDER BY rowid"));
    st.bindInt(1, id);
    while (st.step())
        rows.push_back({UndoPart::Kind(st.columnInt(0)), st.column(1).toString(), st.columnInt(2)});
    st.reset();
    return rows;
}

qint64 UndoFile::record(const QString& command, const QString& window, const std::vector<UndoPart>& named) {
    // The journal keeps the tables by the paths of their files.
    std::vector<UndoPart> parts = named;
    for (UndoPart& part : parts) {
        const QString path = tableFilePath(folder_, part.table);
        if (path.isEmpty())
            throw EngineError(QStringLiteral("找不到表“%1”。").arg(part.table));
        part.table = path;
    }
    std::vector<QString> paths;
    for (const UndoPart& part : parts)
        paths.push_back(part.table);
    qint64 id = 0;
    {
        Attachments files(*this, paths);
        exec(QStringLiteral("BEGIN IMMEDIATE"));
        try {
            for (const auto& [path, attached] : files.byPath)
                ensureImageTable(path, attached);
            run(QStringLiteral("INSERT INTO commands(command, window, time, rows) VALUES (?, ?, ?, 0)"),
                {command, window, QDateTime::currentDateTime().toString(Qt::ISODate)});
            id = qint64(sqlite3_last_insert_rowid(db_));
            qint64 rows = 0;
            for (const UndoPart& part : parts) {
                const Attached& source = files.byPath.at(part.table);
                const QString image = imageTable(part.table);
                qint64 mark = 0;
                const QString copy = QStringLiteral("INSERT INTO %1(command, rid, phase, %2) SELECT ?, rowid, 0, %2 FROM %3 ")
                                         .arg(image, source.columns(), source.table);
                const bool everyRow = part.kind == UndoPart::Kind::ShownRows &&
                                      qint64(part.rowIds.size()) ==
                                          scalar(QStringLiteral("SELECT count(*) FROM %1").arg(source.table));
                if (everyRow) {
                    // The result shows the whole table (the usual case): no
                    // list of row ids to match.
                    run(copy, {id});
                    rows += sqlite3_changes(db_);
                } else if (part.kind == UndoPart::Kind::ShownRows) {
                    exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS walked(rid INTEGER PRIMARY KEY)"));
                    exec(QStringLiteral("DELETE FROM temp.walked"));
                    Statement& add = prepare(QStringLiteral("INSERT OR IGNORE INTO temp.walked VALUES (?)"));
                    for (qint64 rid : part.rowIds) {
                        add.bindInt(1, rid);
                        add.step();
                        add.reset();
                    }
                    run(copy + QStringLiteral("WHERE rowid IN temp.walked"), {id});
                    rows += sqlite3_changes(db_);
                } else if (part.kind == UndoPart::Kind::WholeTable) {
                    run(copy, {id});
                    rows += sqlite3_changes(db_);
                } else {
                    mark = scalar(QStringLiteral("SELECT coalesce(max(rowid), 0) FROM %1").arg(source.table));
                }
                run(QStringLiteral("INSERT INTO parts VALUES (?, ?, ?, ?)"), {id, int(part.kind), part.table, mark});
            }
            run(QStringLiteral("UPDATE commands SET rows=? WHERE id=?"), {rows, id});
            exec(QStringLiteral("COMMIT"));
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    keepLastCommands(parts);
    changed();
    return id;
}

void UndoFile::seal(qint64 id) {
    std::vector<QString> paths;
    for (const PartRow& part : partsOf(id))
        paths.push_back(part.table);
    Attachments files(*this, paths);
    sealWith(id, files.byPath);
    changed();
}

// The state each part's rows are in now becomes the state the command left.
void UndoFile::sealWith(qint64 id, std::map<QString, Attached>& attached) {
    if (scalar(QStringLiteral("SELECT sealed FROM commands WHERE id=?"), {id}) != 0)
        return;
    // A seal lost with the power is taken again when the journal is next
    // opened, from the rows as they then are: no need to wait for the disk.
    exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    const auto durable = qScopeGuard([this] { sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr); });
    exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        qint64 added = 0;
        for (const PartRow& part : partsOf(id)) {
            const Attached& source = attached.at(part.table);
            const QString image = imageTable(part.table);
            run(QStringLiteral("DELETE FROM %1_after WHERE command=?").arg(image), {id});
            run(QStringLiteral("DELETE FROM %1 WHERE command=? AND phase=1").arg(image), {id});
            switch (part.kind) {
            case UndoPart::Kind::ShownRows:
                // Walked along the image's index, each row found by its id:
                // no list of the ids is built first. A row the record
                // holds twice (two parts on one table) is fingerprinted once.
                run(QStringLiteral("INSERT OR IGNORE INTO %1_after SELECT ?, t.rowid, %2 FROM %1 i JOIN %3 t ON t.rowid=i.rid "
                                   "WHERE i.command=? AND i.phase=0")
                        .arg(image, source.fingerprint(QStringLiteral("t.")), source.table),
                    {id, id});
                break;
            case UndoPart::Kind::WholeTable:
                run(QStringLiteral("INSERT INTO %1_after SELECT ?, t.rowid, %2 FROM %3 t")
                        .arg(image, source.fingerprint(QStringLiteral("t.")), source.table),
                    {id});
                break;
            case UndoPart::Kind::AddedRows:
                // The rows added, kept as they were added (batch numbers
                // and all), and their fingerprints.
                run(QStringLiteral("INSERT INTO %1(command, rid, phase, %2) SELECT ?, rowid, 1, %2 FROM %3 WHERE rowid > ?")
                        .arg(image, source.columns(), source.table),
                    {id, part.mark});
                added += sqlite3_changes(db_);
                run(QStringLiteral("INSERT INTO %1_after SELECT ?, t.rowid, %2 FROM %3 t WHERE t.rowid > ?")
                        .arg(image, source.fingerprint(QStringLiteral("t.")), source.table),
                    {id, part.mark});
                break;
            }
        }
        run(QStringLiteral("UPDATE commands SET sealed=1, rows=rows+? WHERE id=?"), {added, id});
        exec(QStringLiteral("COMMIT"));
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

// A record left open by a program that ended during its command is sealed
// with the rows as that command left them: nothing can have changed them
// since, because the journal is opened before any window can.
void UndoFile::sealOpenRecords() {
    std::vector<qint64> open;
    Statement& st = prepare(QStringLiteral("SELECT id FROM commands WHERE sealed=0"));
    while (st.step())
        open.push_back(st.columnInt(0));
    st.reset();
    for (qint64 id : open)
        seal(id);
}

std::vector<UndoEntry> UndoFile::entries(const QString& window) {
    std::vector<UndoEntry> list;
    Statement& st = prepare(QStringLiteral("SELECT id, command, window, time, rows, (SELECT group_concat(table_path, '\n') "
                                           "FROM parts WHERE parts.command=commands.id) FROM commands "
                                           "WHERE ?='' OR window=? ORDER BY id DESC"));
    st.bind(1, window.isNull() ? QStringLiteral("") : window);
    st.bind(2, window.isNull() ? QStringLiteral("") : window);
    while (st.step()) {
        UndoEntry e;
        e.id = st.columnInt(0);
        e.command = st.column(1).toString();
        e.window = st.column(2).toString();
        e.time = QDateTime::fromString(st.column(3).toString(), Qt::ISODate);
        e.rows = int(st.columnInt(4));
        for (const QString& path : st.column(5).toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            e.tables << QFileInfo(path).fileName();
        list.push_back(e);
    }
    st.reset();
    return list;
}

void UndoFile::drop(qint64 id) {
    exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        QStringList images;
        Statement& st = prepare(QStringLiteral("SELECT image FROM images"));
        while (st.step())
            images << st.column(0).toString();
        st.reset();
        for (const QString& image : images)
            if (scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name=?"), {image}) > 0) {
                run(QStringLiteral("DELETE FROM %1 WHERE command=?").arg(image), {id});
                run(QStringLiteral("DELETE FROM %1_after WHERE command=?").arg(image), {id});
            }
        run(QStringLiteral("DELETE FROM parts WHERE command=?"), {id});
        run(QStringLiteral("DELETE FROM commands WHERE id=?"), {id});
        exec(QStringLiteral("COMMIT"));
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void UndoFile::keepLastCommands(const std::vector<UndoPart>& parts) {
    std::vector<qint64> old;
    for (const UndoPart& part : parts) {
        Statement& st = prepare(QStringLiteral("SELECT DISTINCT command FROM parts WHERE table_path=? ORDER BY command DESC "
                                               "LIMIT -1 OFFSET %1")
                                    .arg(MaxCommandsPerTable));
        st.bind(1, part.table);
        while (st.step())
            old.push_back(st.columnInt(0));
        st.reset();
    }
    if (old.empty())
        return;
    for (qint64 id : old)
        drop(id);
    exec(QStringLiteral("PRAGMA incremental_vacuum"));
}

qint64 UndoFile::storageBytes() {
    return scalar(QStringLiteral("PRAGMA page_count")) * scalar(QStringLiteral("PRAGMA page_size"));
}

}  // namespace undo_file

QString undoFileName() { return QStringLiteral("undo.db"); }

std::unique_ptr<UndoJournal> openUndoFile(const QString& directory) {
    return std::make_unique<undo_file::UndoFile>(directory);
}

}  // namespace data
