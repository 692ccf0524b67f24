#include "window_kit/window_look.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QScreen>
#include <QWidget>

namespace kit {

Qt::WindowFlags fixedWindowFlags() {
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
}

void centreOnScreen(QWidget* window) {
    if (QScreen* screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

QFont windowFont() {
    QFont font(QStringLiteral("Verdana"));
    if (!QFontInfo(font).exactMatch())
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(12);
    return font;
}

}  // namespace kit
