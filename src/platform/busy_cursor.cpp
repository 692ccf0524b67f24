#include "platform/busy_cursor.h"

#include <QApplication>

namespace platform {

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    restore();
}

void BusyCursor::restore()
{
    if (!active_)
        return;
    active_ = false;
    QApplication::restoreOverrideCursor();
}

}  // namespace platform
