#include "app/picture.h"

#include "app/app_resources.h"
#include "app/jpeg_image.h"

#include <QFile>

namespace app {

QImage mainPicture()
{
    initResources();
    QFile file(QString::fromLatin1(PictureResource));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodeJpeg(file.readAll());
}

}  // namespace app
