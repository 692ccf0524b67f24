#pragma once

// The program's application object as a benchmark pass on an X server
// needs it: the windows' resources and font, output line by line, message
// boxes and file dialogs answered by script and the file manager recorded,
// so that no box ever waits for a person.

#include "platform/application.h"
#include "platform/file_manager.h"
#include "platform/scripted_dialogs.h"
#include "window_kit/app_resources.h"
#include "window_kit/window_look.h"

#include <cstdio>

namespace bench {

class ProgramPass {
    platform::Application application_;  // made first: what follows needs it

public:
    ProgramPass(int& argc, char** argv) : application_((std::setvbuf(stdout, nullptr, _IOLBF, 0), argc), argv) {
        QApplication::setQuitOnLastWindowClosed(false);
        kit::initResources();
        QApplication::setFont(kit::windowFont());
    }
    ProgramPass(const ProgramPass&) = delete;
    ProgramPass& operator=(const ProgramPass&) = delete;

    platform::ScriptedDialogs dialogs;
    platform::RecordingFileManager fileManager;
};

}  // namespace bench
