#pragma once

#include <QFont>
#include <Qt>

class QWidget;

namespace kit {

// Flags of a window of fixed size: title, system menu, minimise and close
// buttons, no maximise button.
Qt::WindowFlags fixedWindowFlags();

// Moves the window to the middle of the screen it is on.
void centreOnScreen(QWidget* window);

// The font of every window: Verdana at 12 pixels where present, otherwise the
// desktop's sans font at that size.
QFont windowFont();

}  // namespace kit
