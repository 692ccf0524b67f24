#include "gui_app.h"

#include <QGuiApplication>

namespace testsupport {

void ensureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "app_artwork_tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

}  // namespace testsupport
