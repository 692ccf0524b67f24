#pragma once

#include "window_kit/progress.h"

#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

// Keeps every text written to a panel, in order, and counts the event turns.
class RecordingSink : public kit::StatusSink {
public:
    void setPanelText(int panel, const QString& text) override { writes.emplace_back(panel, text); }
    void letEventsRun() override {
        ++eventTurns;
        if (onEvents)
            onEvents();
    }

    QStringList textsOf(int panel) const {
        QStringList texts;
        for (const auto& [p, text] : writes)
            if (p == panel)
                texts << text;
        return texts;
    }
    QStringList progressTexts() const { return textsOf(kit::ProgressPanel); }
    // The panel's text now: the last one written, or nothing.
    QString panelText(int panel) const {
        const QStringList texts = textsOf(panel);
        return texts.isEmpty() ? QString() : texts.last();
    }

    std::vector<std::pair<int, QString>> writes;
    int eventTurns = 0;
    std::function<void()> onEvents;
};
