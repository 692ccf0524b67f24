#pragma once

// Drawing of the main window picture and the toolbar icons. Used only by the
// artwork generator; the program itself loads the saved files.

#include <QImage>
#include <QString>

namespace artwork {

// Width and height of the main window picture.
inline constexpr int PictureWidth = 588;
inline constexpr int PictureHeight = 317;

// Number of toolbar icons and their edge length in pixels.
inline constexpr int IconCount = 26;
inline constexpr int IconSize = 30;

// The family used for every Chinese text in the artwork.
inline const char* const TextFamily = "WenQuanYi Micro Hei";

// The data-flow diagram shown in the main window.
QImage drawPicture();

// Icon `index` (0 .. IconCount-1) of the toolbar image list.
QImage drawIcon(int index);

// The program's own icon for the desktop menu, `size` pixels square: the
// sole of the sole-model table over the bar chart of the sole statistics.
QImage drawProgramIcon(int size);

// What icon `index` shows, in a few words.
QString iconMeaning(int index);

}  // namespace artwork
