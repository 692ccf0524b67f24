#pragma once

#include "data/errors.h"
#include "window_kit/window_registry.h"

#include <QList>
#include <QWidget>

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

// The text shown when start-up fails on a table: the engine's message and,
// when tables are missing from the folder, how to create them.
QString startupErrorText(const data::EngineError& error, const data::Engine& engine);

// Start-up: the application object, the windows, the main window shown, the
// event loop until the main window closes. Returns the exit status.
int runProgram(int argc, char** argv);

}  // namespace app
