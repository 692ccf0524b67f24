#pragma once

// The order window of the program's windows shown maximized on the X
// server, exposed and painted, as the clerk has it before a command.

#include "app/startup.h"
#include "orders/orders_window.h"
#include "window_kit/window_registry.h"

#include <QCoreApplication>
#include <QTest>
#include <cstdio>

namespace bench {

inline TaForm3DD* showOrderWindow(app::ProgramWindows& windows) {
    TaForm3DD* ordersWindow = windows.registry().ordersWindow;
    kit::WindowRegistry::showMaximized(ordersWindow);
    if (!QTest::qWaitForWindowExposed(ordersWindow))
        std::printf("the order window was not exposed\n");
    QCoreApplication::processEvents();
    return ordersWindow;
}

}  // namespace bench
