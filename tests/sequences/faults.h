#pragma once

// The ways the store is made to fail a command, each undone when its scope
// ends, and the trigger that refuses some orders on both stores.

#include <QString>
#include <functional>
#include <memory>

namespace data {
class Engine;
}

namespace seq {

// Refuses an order whose remark is refusedMarker() once it is counted or
// holds more than 60 pairs (model_rows.h says the same).
void installRefusingTrigger(const QString& location, bool server);

// Held for the lifetime of the object.
class HeldFault {
public:
    virtual ~HeldFault() = default;
};

// Another connection on dd.db holds its write lock (BEGIN IMMEDIATE): the
// engine's writes wait out its busy timeout, then fail.
std::unique_ptr<HeldFault> lockOrderTable(const QString& folder);

// The engine's own connection to dd.db may not make the file any larger
// (PRAGMA max_page_count at its size now); set back afterwards.
std::unique_ptr<HeldFault> fillOrderTableDisk(data::Engine& engine);

// Leaves the engine's connection to dd.db inside a transaction (table files).
void leaveTransactionOpen(data::Engine& engine);

// The program's process reads the first bytes of dd.db with a plain file
// (closing it gives up every lock the process holds on the file), then
// another program opens the table, reads it and closes it. That program is
// this test program again, started with TAVREL_SEQUENCE_OTHER_PROGRAM naming
// the table file: actAsOtherProgram() does its part and ends it.
void useTableFromElsewhere(const QString& folder);
void actAsOtherProgram();

// Ends every session of the engine on the server (every one but the
// reader's and its own), from a second session.
class SessionKiller {
public:
    explicit SessionKiller(const QString& uri);
    ~SessionKiller();
    void endEngineSessions();

private:
    struct Conn;
    std::unique_ptr<Conn> conn_;
};

}  // namespace seq
