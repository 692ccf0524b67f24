#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace data {

// Copies the SQLite file `from` into the new file `to` with SQLite's online
// backup, in one read transaction of a connection of its own: the copy is the
// table as it stood at one moment, while the program goes on writing it (the
// tables keep a write-ahead log, whose readers hold up no writer). The copy
// keeps no log of its own. Throws EngineError with SQLite's code (a full disk
// is SQLITE_FULL) after removing what it wrote of `to`.
void snapshotTableFile(const QString& from, const QString& to);

// The same for several files at once, each copied to the path at the same
// place in `to`: all are read in one transaction of one connection, so that
// the copies belong together (the undo journal with its tables). On failure
// no copy is left.
void snapshotTableFiles(const QStringList& from, const QStringList& to);

// Turns an SQLite file made with a write-ahead log into one without, so that
// it can be read where nothing may be written beside it.
void leaveWriteAheadLog(const QString& path);

// What a look at a copied file found: SQLite's integrity check, and the
// records of the one table it holds.
struct TableFileCheck {
    bool whole = false;
    QString problem;  // SQLite's words when not whole
    qint64 rows = -1;  // -1 for a file that holds more than one table (the undo journal)
};

// Reads the file without writing anything; never throws.
TableFileCheck checkTableFile(const QString& path);

}  // namespace data

namespace data {

// Tells whether anything was committed to the files since it was made, by
// any other connection of this program or another: SQLite's data version of
// each file, read by a connection of its own that only reads.
class WriteWatch {
public:
    explicit WriteWatch(const QStringList& files);
    ~WriteWatch();
    WriteWatch(const WriteWatch&) = delete;
    WriteWatch& operator=(const WriteWatch&) = delete;

    // A file that cannot be read counts as written.
    bool written() const;

private:
    struct Watched;
    std::vector<Watched> watched_;
};

}  // namespace data
