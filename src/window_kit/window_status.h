#pragma once

#include "window_kit/progress.h"

#include <QElapsedTimer>
#include <QMap>

namespace kit {
class StatusPanels;
}

namespace kit {

// The status sink of a window: writes into its status bar. Progress texts of
// long loops reach the screen at most every 50 ms; every row still lets
// pending events run, and the last text always shows when the sink ends.
class WindowStatus : public StatusSink {
public:
    explicit WindowStatus(kit::StatusPanels& panels);
    ~WindowStatus() override;

    void setPanelText(int panel, const QString& text) override;
    void letEventsRun() override;
    void flush();

private:
    kit::StatusPanels& panels_;
    QMap<int, QString> pending_;
    QElapsedTimer sincePaint_;
};

}  // namespace kit
