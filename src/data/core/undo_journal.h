#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace data {

// What a bulk command may change in one table.
struct UndoPart {
    enum class Kind {
        ShownRows,   // the rows of the result the command walks (rowIds)
        WholeTable,  // every row of the table
        AddedRows,   // the rows the command adds; nothing to keep beforehand
    };
    Kind kind = Kind::ShownRows;
    QString table;                // as the program names it, "dd.db"
    std::vector<qint64> rowIds;   // ShownRows only
};

// A recorded command, as listed.
struct UndoEntry {
    qint64 id = 0;
    QString command;  // "删除订单"
    QString window;   // the caption of the window it was run from
    QString desk;     // the desk that ran it, where several desks share the tables; empty otherwise
    QDateTime time;
    int rows = 0;     // rows kept and rows added
    QStringList tables;
};

// The journal of the bulk commands: before a command changes its first
// record, the rows it may change are recorded in one transaction, so a crash
// leaves either no record or a complete one. When the command ends, however
// it ends, the record is sealed with a fingerprint of every row as the
// command left it; undo compares the rows with those fingerprints to find
// the ones changed since. The last MaxCommandsPerTable commands of each table
// are kept.
class UndoJournal {
public:
    static constexpr int MaxCommandsPerTable = 20;

    virtual ~UndoJournal() = default;

    // Records and commits the before-images; returns the record's id.
    virtual qint64 record(const QString& command, const QString& window, const std::vector<UndoPart>& parts) = 0;
    // Takes the fingerprints of the rows as they are now.
    virtual void seal(qint64 id) = 0;
    // Newest first; only those of one window when window is not empty.
    virtual std::vector<UndoEntry> entries(const QString& window = QString()) = 0;
    // Rows the undo would overwrite or remove although they were changed
    // after the command (by hand or by a later command).
    virtual int changedSince(qint64 id) = 0;
    // Puts the recorded rows back in one transaction per table, removes the
    // rows the command added, and drops the record. Returns the rows restored.
    // Where other desks share the tables, it writes over the changes the last
    // changedSince(id) counted (none, when it was not asked) and no others:
    // finding other rows changed meanwhile, it undoes nothing and throws
    // EngineError::changedSinceAsked with the rows counted now, which stand
    // as asked for the next undo(id).
    virtual int undo(qint64 id) = 0;
    // The space the records take.
    virtual qint64 storageBytes() = 0;

    // Called after every record, seal and undo.
    void onChange(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

    // Commands nested in a recorded one (the sole assignment inside the
    // aggregation) join the outer record.
    int openScopes = 0;
    // Called before the journal reads or writes the tables themselves.
    std::function<void()> beforeTouchingTables;

    // Records whose seal failed when their command ended (the server was
    // lost, say): sealed before the next write changes anything, so that
    // what it changes counts as changed since.
    std::vector<qint64> sealsDue;
    // Seals them; those that fail again stay due.
    void sealDue() {
        std::vector<qint64> due = std::move(sealsDue);
        sealsDue.clear();
        for (qint64 id : due) {
            try {
                seal(id);
            } catch (const std::exception&) {
                sealsDue.push_back(id);
            }
        }
    }

protected:
    void changed() {
        for (const auto& listener : listeners_)
            listener();
    }

private:
    std::vector<std::function<void()>> listeners_;
};

// A journal that keeps nothing, for tables filled by a tool.
class NoUndoJournal : public UndoJournal {
public:
    qint64 record(const QString&, const QString&, const std::vector<UndoPart>&) override { return 0; }
    void seal(qint64) override {}
    std::vector<UndoEntry> entries(const QString&) override { return {}; }
    int changedSince(qint64) override { return 0; }
    int undo(qint64) override { return 0; }
    qint64 storageBytes() override { return 0; }
};

}  // namespace data
