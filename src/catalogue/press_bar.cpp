#include "catalogue/press_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace catalogue {

PressBar::PressBar(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setAlignment(Qt::AlignCenter);
    setAccessibleName(caption);
    setContentsMargins(1, 1, 1, 1);
}

void PressBar::setLowered(bool lowered) {
    if (lowered_ == lowered)
        return;
    lowered_ = lowered;
    update();
}

// The caption keeps a one-pixel border either way, where the lowered bevel
// is drawn, so it does not move.
void PressBar::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (lowered_) {
        QPainter painter(this);
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
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
