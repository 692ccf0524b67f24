#include "app/picture.h"

#include "app/jpeg_image.h"
#include "window_kit/app_resources.h"

#include <QFile>

namespace app {

QImage mainPicture()
{
    kit::initResources();
    QFile file(QString::fromLatin1(PictureResource));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodeJpeg(file.readAll());
}

}  // namespace app
