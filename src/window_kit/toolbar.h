#pragma once

#include <QString>
#include <QToolBar>
#include <QToolButton>
#include <functional>

namespace kit {

// Toolbars of the windows: flat buttons showing a caption under a 30 by 30
// icon from the one image list.
QToolBar* makeToolBar(QWidget* parent, const QString& objectName = QStringLiteral("ToolBar1"));

// Adds a button named objectName (also its accessible name's fallback) whose
// click runs handler. iconIndex < 0 gives a button without icon.
QToolButton* addToolButton(QToolBar* bar, const QString& objectName, const QString& caption, int iconIndex,
                           std::function<void()> handler);

// A separator of the given width between buttons.
void addSeparator(QToolBar* bar, int width = 8);

}  // namespace kit
