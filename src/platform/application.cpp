#include "platform/application.h"

#include "platform/error_display.h"

namespace platform {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The handler did get the event; its failure has now been reported.
        showCurrentException();
        return true;
    }
}

}  // namespace platform
