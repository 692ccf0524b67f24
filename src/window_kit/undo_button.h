#pragma once

#include "window_kit/progress.h"

#include <QString>
#include <functional>

class QToolBar;
class QToolButton;
class QWidget;

namespace data {
class Query;
class Store;
class UndoJournal;
struct UndoEntry;
}

namespace kit {

// Texts of the undo.
QString undoCaption();                                // "撤销"
QString undoQuestion(const data::UndoEntry& entry);   // "你真的要撤销[desk]上次的“…”吗？（time，n条记录）"
QString changedSinceQuestion(int rows);               // "有N条记录在之后被修改过…"
QString undoingText(const QString& command);          // progress while the rows are put back
QString undoneText(const QString& command, int rows); // at the end

// The "撤销" button at the end of a window's toolbar, enabled while the
// journal holds a command of that window, none of the queries walked by
// its commands is busy, and (given the store) this desk may change every
// table of that command: otherwise its tool tip says which it may not.
QToolButton* addUndoButton(QToolBar* bar, data::UndoJournal& journal, const QString& window,
                           const QList<data::Query*>& walked, std::function<void()> handler,
                           data::Store* store = nullptr);

// Undoes the last command run from the window after the question (and, when
// rows were changed since the command, a second one), with the progress in
// the third panel. Returns true when the tables were changed; the caller
// reopens its queries then.
bool undoLastCommand(QWidget* owner, data::UndoJournal& journal, const QString& window, StatusSink& status);

}  // namespace kit
