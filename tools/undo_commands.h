#pragma once

#include <QString>
#include <QTextStream>
#include <functional>

// The table tool's undo commands over the journal of a folder of tables.
// Both refuse while the program holds the folder.

// Lists the recorded commands, the last one first and numbered 1, and the
// space the records take. Returns the exit code.
int listUndoRecords(const QString& dir, QTextStream& out, QTextStream& err);

// Undoes the last `count` commands, the last one first. When rows were
// changed after a command, confirm is asked before they are overwritten; a
// refusal stops there.
int undoLastCommands(const QString& dir, int count, QTextStream& out, QTextStream& err,
                     const std::function<bool(const QString& question)>& confirm);
