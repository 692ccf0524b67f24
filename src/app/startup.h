#pragma once

#include "backup/backup_folders.h"
#include "data/core/errors.h"
#include "platform/error_display.h"
#include "platform/folder_lock.h"
#include "window_kit/window_registry.h"

#include <QList>
#include <QWidget>
#include <memory>

namespace app {

// Creates every window of the program once, in the fixed order, all hidden;
// deletes them in reverse order. A table that cannot be opened while its
// window is created stops the creation with its EngineError.
class ProgramWindows {
public:
    explicit ProgramWindows(data::Engine& engine);
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    kit::WindowRegistry& registry() { return registry_; }
    const QList<QWidget*>& inCreationOrder() const { return windows_; }

private:
    void destroy();

    kit::WindowRegistry registry_;
    QList<QWidget*> windows_;
};

// The free space the tables need to start and to be worked on for a while:
// their work files (logs and their indexes, the undo journal's first
// records) and a day's orders.
inline constexpr qint64 RoomNeededToStartBytes = 10 * 1024 * 1024;

// What the clerk is told when start-up fails on a table. SQLite tells a disk
// too full for its work files as a failing disk; with bytesFree (the free
// space of the tables' disk, negative when not known) below what the tables
// need, the clerk is told that the disk is full and how much room to make.
platform::ErrorReport startupErrorReport(const data::EngineError& error, qint64 bytesFree = -1);

// Tells the clerk which records keep a table from its key (see table_keys.h).
void reportKeyClashes(const data::Engine& engine);

// Where the program finds its tables: the folder or server URI given as its
// argument ("tavrel postgresql://…"), else its working directory.
QString tablesLocation(const QStringList& arguments);

// Marks a folder of tables as in use while the program runs, so that the
// table tool does not undo behind its back; nothing on a server, whose desks
// work on the tables together.
std::unique_ptr<platform::FolderLock> holdTables(const data::Engine& engine);
// The same for the folder the tables are in (empty: on a server).
std::unique_ptr<platform::FolderLock> holdTables(const QString& folder);

// The tables as they are now kept as "恢复前", then the backup chosen in
// "恢复备份" put in their place; call with the tables closed. Whatever fails
// is told in a box; returns whether the backup is in place.
bool restoreInPlace(const QString& folder, const backup::BackupEntry& chosen);

// Start-up: the application object, the windows, the main window shown, the
// event loop until the main window closes. Returns the exit status.
int runProgram(int argc, char** argv);

}  // namespace app
