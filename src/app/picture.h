#pragma once

#include <QImage>

namespace app {

// Resource path of the main window picture.
inline constexpr const char* PictureResource = ":/picture.jpg";

// The data-flow diagram of the main window, decoded from the compiled-in JPEG
// (588 by 317 pixels). A null image if the resource cannot be decoded.
QImage mainPicture();

}  // namespace app
