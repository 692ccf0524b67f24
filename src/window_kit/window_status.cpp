#include "window_kit/window_status.h"

#include "window_kit/status_panels.h"

#include <QCoreApplication>

namespace kit {

namespace {
constexpr qint64 PaintIntervalMs = 50;
}

WindowStatus::WindowStatus(kit::StatusPanels& panels) : panels_(panels) { sincePaint_.start(); }

WindowStatus::~WindowStatus() { flush(); }

void WindowStatus::setPanelText(int panel, const QString& text) {
    pending_[panel] = text;
    if (sincePaint_.elapsed() >= PaintIntervalMs)
        flush();
}

void WindowStatus::letEventsRun() { QCoreApplication::processEvents(); }

void WindowStatus::flush() {
    for (auto it = pending_.cbegin(); it != pending_.cend(); ++it)
        panels_.setPanelText(it.key(), it.value());
    pending_.clear();
    sincePaint_.restart();
}

}  // namespace kit
