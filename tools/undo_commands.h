#pragma once

#include <QString>
#include <QTextStream>
#include <functional>

// The table tool's undo commands over the journal of the tables in a folder
// or on a server. On a folder both refuse while the program holds it; on a
// server the desks share the journal, as the program's own undo does.

// Lists the recorded commands, the last one first and numbered 1, and the
// space the records take. Returns the exit code.
int listUndoRecords(const QString& place, QTextStream& out, QTextStream& err);

// Undoes the last `count` commands, the last one first. When rows were
// changed after a command, confirm is asked before they are overwritten; a
// refusal stops there.
int undoLastCommands(const QString& place, int count, QTextStream& out, QTextStream& err,
                     const std::function<bool(const QString& question)>& confirm);
