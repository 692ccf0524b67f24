#pragma once

#include <QWidget>
#include <functional>
#include <memory>

namespace data {
class Engine;
}
namespace spreadsheet {
class Application;
}

class TaForm1;
class TAForm2shoes;
class TaForm3DD;
class TaForm4DDSR;
class TAForm6TJ;
class TaForm7SS;
class TaForm10YL;

namespace kit {

// The windows of the program, created once at start-up in this order and
// alive until it ends. Windows reach each other only through this object.
struct WindowRegistry {
    explicit WindowRegistry(data::Engine& tables) : engine(tables) {}

    data::Engine& engine;
    TaForm1* mainWindow = nullptr;
    TAForm2shoes* shoesWindow = nullptr;
    TaForm3DD* ordersWindow = nullptr;
    TaForm4DDSR* orderEntryWindow = nullptr;
    TAForm6TJ* statisticsWindow = nullptr;
    TaForm7SS* searchWindow = nullptr;
    TaForm10YL* materialWindow = nullptr;

    // The spreadsheet application: made on first use and kept for the rest
    // of the run, so that later imports reuse the connection.
    std::function<std::shared_ptr<spreadsheet::Application>()> makeSpreadsheet;
    std::shared_ptr<spreadsheet::Application> spreadsheetApp;

    spreadsheet::Application& spreadsheet() {
        if (!spreadsheetApp)
            spreadsheetApp = makeSpreadsheet();
        return *spreadsheetApp;
    }

    // Makes an already created window visible and brings it to the front,
    // as it was left: nothing is reloaded.
    static void show(QWidget* window) {
        if (!window)
            return;
        if (window->isMinimized())
            window->showNormal();
        else
            window->show();
        window->raise();
        window->activateWindow();
    }

    // The same, maximised the first time (the order window's way).
    static void showMaximized(QWidget* window) {
        if (!window)
            return;
        if (!window->isVisible())
            window->showMaximized();
        show(window);
    }
};

}  // namespace kit
