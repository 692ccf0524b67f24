#pragma once

#include "data/core/open_table.h"
#include "data/core/undo_journal.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace data {

// Held while a command that must not run at two desks at once runs.
class CommandLock {
public:
    virtual ~CommandLock() = default;
};

// Records of one table that share a key: the key's values (empty text for
// no value) and where the records stand in the table, from 1.
struct KeyClash {
    QString fileName;  // as found on disk
    QStringList keyFields;
    QStringList keyValues;
    std::vector<qint64> recordNos;
};

// The tables the engine has open, by the names statements give them: the
// undo journal reads and writes them through these.
using OpenTables = std::function<OpenTable&(const QString& name)>;

// Where the tables are kept: SQLite table files in a folder, or the tables
// of a database server shared by several desks. The engine and everything
// above it know a store only through this.
class Store : public QObject {
    Q_OBJECT

public:
    ~Store() override = default;

    // The folder of the tables, or the server's address.
    virtual QString location() const = 0;
    // The folder whose files hold the tables, for its lock and its free
    // space; empty when the tables are no files of this computer.
    virtual QString folder() const { return {}; }

    // Whether the store holds the table a statement names ("dd.db").
    virtual bool hasTable(const QString& name) const = 0;
    // Opens the table; throws EngineError when it is missing or unusable.
    virtual std::shared_ptr<OpenTable> openTable(const QString& name) = 0;
    // Whether this desk may add, change and delete records of the table
    // ("dd.db"): a server may let the desk's role only read it. Throws
    // EngineError when the store cannot be reached.
    virtual bool mayWrite(const QString& /*name*/) { return true; }
    // The journal of the bulk commands.
    virtual std::unique_ptr<UndoJournal> openUndoJournal(OpenTables tables) = 0;
    // Whether a journal has been kept here yet (opening one makes it).
    virtual bool hasUndoJournal() const { return true; }
    // Takes the lock of a command that must not run at two desks at once;
    // throws EngineError of kind ServerBusy naming the desk that holds it.
    virtual std::unique_ptr<CommandLock> lockCommand(const QString& command) = 0;
    // Asked when another desk changed or deleted a record this desk stores.
    virtual void setConflictResolver(std::shared_ptr<ConflictResolver>) {}

    // Whether the file is one the store keeps open for the tables: a table
    // file, its log, the undo journal. Nothing else in the program may open
    // such a file: closing it would give up the locks held on it.
    virtual bool holdsFile(const QString& /*path*/) const { return false; }
    // Records found sharing a key while tables made by an earlier release
    // were opened (their key is then left as it was).
    const std::vector<KeyClash>& keyClashes() const { return keyClashes_; }

    // What the status bar says of the store; empty while all is well.
    virtual QString statusText() const { return {}; }
    // Reads the news of other desks' writes that arrived (done by itself
    // when they arrive, while events are processed).
    virtual void takeNews() {}

signals:
    void statusChanged(const QString& text);
    // Another desk wrote records of the table: these, or every one.
    void othersWrote(const QString& table, const QList<qint64>& ids, bool everyRecord);
    // The store was reached again after it had been lost: what was read
    // before may be stale.
    void reconnected();

protected:
    std::vector<KeyClash> keyClashes_;
};

}  // namespace data
