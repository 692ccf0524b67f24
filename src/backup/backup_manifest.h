#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace backup {

// Why a backup was made.
enum class Kind {
    Daily,          // "每日": the first start of a day
    OnClose,        // "关闭时": the program closed after the tables were written
    BeforeRestore,  // "恢复前": the tables as they were before a restore
    ByHand,         // "手动": the table tool
};

QString kindText(Kind kind);
std::optional<Kind> kindOfText(const QString& text);

struct TableCount {
    QString fileName;  // "dd.db"
    qint64 rows = 0;
};

// What is known of a backup, kept in a small file beside its tables. It is
// written last: a folder without it is no backup.
struct Manifest {
    QDateTime time;
    Kind kind = Kind::Daily;
    QString source;                 // the data folder or server the tables came from
    std::vector<TableCount> tables;  // the three tables, with their records
    QStringList files;              // every file of the backup, the undo journal included
    QString check = QStringLiteral("ok");  // SQLite's integrity check of every file

    qint64 rowsOf(const QString& fileName) const;
};

QString manifestFileName();  // "备份说明.json"

// Writes the manifest into the folder and waits until it is on the disk;
// throws platform::FileError.
void writeManifest(const QString& folder, const Manifest& manifest);
// The folder's manifest; nothing when it has none or it cannot be read.
std::optional<Manifest> readManifest(const QString& folder);

}  // namespace backup
