#pragma once

#include "window_kit/progress.h"

#include <QElapsedTimer>
#include <QMap>

namespace kit {
class StatusPanels;
}

namespace kit {

// The status sink of a window: writes into its status bar. Progress texts of
// long loops reach the screen at most every 50 ms; pending events run every
// few milliseconds of a loop (every row of a slow one), and the last text
// always shows when the sink ends.
class WindowStatus : public StatusSink {
public:
    explicit WindowStatus(kit::StatusPanels& panels);
    ~WindowStatus() override;

    void setPanelText(int panel, const QString& text) override;
    void setProgress(const Progress& progress) override;
    void letEventsRun() override;
    void flush();

    // How often a loop lets events run, in milliseconds of the loop (0:
    // every row); returns the interval before. Tests that look at a window
    // from inside a loop of a few rows want every row.
    static qint64 setEventsInterval(qint64 ms);

private:
    kit::StatusPanels& panels_;
    QMap<int, QString> pending_;
    // The progress panel's figures not yet shown, if they came as figures.
    std::optional<Progress> progress_;
    QElapsedTimer sincePaint_;
    QElapsedTimer sinceEvents_;
};

}  // namespace kit
