#pragma once

// The SQLite undo journal's class, shared by undo_file.cpp (recording,
// sealing, listing, housekeeping) and undo_restore.cpp (checking and undoing).

#include "data/sqlite/sqlite_connection.h"
#include "data/core/undo_journal.h"

#include <QVariant>
#include <map>
#include <memory>

struct sqlite3;

namespace data::undo_file {

QString q(const QString& name);  // a quoted identifier

// A table file attached to the journal's connection.
struct Attached {
    QString schema;  // "t0"
    QString table;   // schema-qualified table name
    QStringList fields;  // quoted
    std::vector<QStringList> uniqueKeys;  // quoted

    QString columns(const QString& prefix = QString()) const {
        QStringList parts;
        for (const QString& f : fields)
            parts << prefix + f;
        return parts.join(QLatin1Char(','));
    }
    QString fingerprint(const QString& prefix) const { return QStringLiteral("tavrel_row_fingerprint(%1)").arg(columns(prefix)); }
};

class UndoFile : public UndoJournal {
public:
    // The journal of the tables in the folder, kept in its "undo.db".
    explicit UndoFile(const QString& folder);
    ~UndoFile() override;

    qint64 record(const QString& command, const QString& window, const std::vector<UndoPart>& parts) override;
    void seal(qint64 id) override;
    std::vector<UndoEntry> entries(const QString& window) override;
    int changedSince(qint64 id) override;
    int undo(qint64 id) override;
    qint64 storageBytes() override;

private:
    struct PartRow {
        UndoPart::Kind kind;
        QString table;  // the path of its file
        qint64 mark;
    };

    void exec(const QString& sql);
    Statement& prepare(const QString& sql);
    qint64 scalar(const QString& sql, const QVariantList& values = {});
    void run(const QString& sql, const QVariantList& values = {});

    // Attaches the files of the parts (each once) and detaches them when the
    // group ends; the image tables are made to hold the tables' fields.
    class Attachments;
    Attached attach(const QString& path, int number);
    QString imageTable(const QString& path);
    void ensureImageTable(const QString& path, const Attached& source);

    std::vector<PartRow> partsOf(qint64 id);
    void sealWith(qint64 id, std::map<QString, Attached>& attached);
    void keepLastCommands(const std::vector<UndoPart>& parts);
    void drop(qint64 id);
    void sealOpenRecords();

    sqlite3* db_ = nullptr;
    QString folder_;
    QString path_;
    std::map<QString, std::unique_ptr<Statement>> statements_;
};

// Attaches the files of the parts, each once, for the life of the object.
class UndoFile::Attachments {
public:
    Attachments(UndoFile& file, const std::vector<QString>& paths);
    ~Attachments();
    std::map<QString, Attached> byPath;

private:
    UndoFile& file_;
};

}  // namespace data::undo_file
