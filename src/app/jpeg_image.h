#pragma once

#include <QByteArray>
#include <QImage>

namespace app {

// Decodes a baseline or progressive JPEG held in memory with libjpeg.
//
// Colour and greyscale images come back as QImage::Format_RGB32 (greyscale
// pixels have equal red, green and blue); CMYK images are converted to RGB.
// Empty, damaged or truncated data gives a null image: the decoder never
// aborts the program and writes nothing to the console.
QImage decodeJpeg(const QByteArray& bytes);

}  // namespace app
