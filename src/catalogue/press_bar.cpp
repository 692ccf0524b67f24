#include "catalogue/press_bar.h"

#include <QMouseEvent>

namespace catalogue {

PressBar::PressBar(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setAlignment(Qt::AlignCenter);
    setAccessibleName(caption);
    setFixedHeight(19);
    setLowered(false);
}

void PressBar::setLowered(bool lowered) {
    lowered_ = lowered;
    // The same frame width either way, so the caption does not move.
    if (lowered) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
        setMargin(0);
    } else {
        setFrameStyle(QFrame::NoFrame);
        setMargin(1);
    }
}

void PressBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        leftDown_ = true;
    emit pressed();
}

// The click is reported before the release, so the bar stays lowered while
// what the click started runs.
void PressBar::mouseReleaseEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    const bool click = left && leftDown_ && rect().contains(event->position().toPoint());
    if (left)
        leftDown_ = false;
    if (click) {
        try {
            emit clicked();
        } catch (...) {
            emit released();
            throw;
        }
    }
    emit released();
}

}  // namespace catalogue
