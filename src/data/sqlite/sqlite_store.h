#pragma once

#include "data/core/store.h"

#include <QString>
#include <vector>

namespace data {

// The tables as SQLite files in one folder, found by file name
// case-insensitively, each file holding one table. One desk works on the
// folder at a time (the program holds the folder's lock), so a command
// needs no lock of its own.
class SqliteStore : public Store {
    Q_OBJECT

public:
    explicit SqliteStore(QString folder);

    QString location() const override { return folder_; }
    QString folder() const override { return folder_; }
    bool hasTable(const QString& name) const override;
    std::shared_ptr<OpenTable> openTable(const QString& name) override;
    std::unique_ptr<UndoJournal> openUndoJournal(OpenTables tables) override;
    bool hasUndoJournal() const override;
    std::unique_ptr<CommandLock> lockCommand(const QString& command) override;
    bool holdsFile(const QString& path) const override;

private:
    void bringKeyUpToDate(OpenTable& table);

    QString folder_;
    std::vector<QString> opened_;  // the paths of the table files opened
};

}  // namespace data
