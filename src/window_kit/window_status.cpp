#include "window_kit/window_status.h"

#include "window_kit/status_panels.h"

#include <QCoreApplication>

#include <utility>

namespace kit {

namespace {
constexpr qint64 PaintIntervalMs = 50;
// Far below what a clerk can notice at the keyboard or the mouse; a fast
// loop would otherwise spend a tenth of its time asking for events that are
// not there.
constexpr qint64 EventsIntervalMs = 4;
qint64 eventsIntervalMs = EventsIntervalMs;
}

qint64 WindowStatus::setEventsInterval(qint64 ms) { return std::exchange(eventsIntervalMs, ms); }

WindowStatus::WindowStatus(kit::StatusPanels& panels) : panels_(panels) {
    sincePaint_.start();
    sinceEvents_.invalidate();
}

WindowStatus::~WindowStatus() { flush(); }

void WindowStatus::setPanelText(int panel, const QString& text) {
    pending_[panel] = text;
    if (panel == ProgressPanel)
        progress_.reset();
    if (sincePaint_.elapsed() >= PaintIntervalMs)
        flush();
}

void WindowStatus::setProgress(const Progress& progress) {
    pending_.remove(ProgressPanel);
    progress_ = progress;
    if (sincePaint_.elapsed() >= PaintIntervalMs)
        flush();
}

void WindowStatus::letEventsRun() {
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < eventsIntervalMs)
        return;
    QCoreApplication::processEvents();
    sinceEvents_.start();
}

void WindowStatus::flush() {
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it)
        panels_.setPanelText(it.key(), it.value());
    pending_.clear();
    if (progress_) {
        panels_.setPanelText(ProgressPanel, progress_->text());
        progress_.reset();
    }
    sincePaint_.restart();
}

}  // namespace kit
