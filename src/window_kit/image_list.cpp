#include "window_kit/image_list.h"

#include "window_kit/app_resources.h"

#include <QString>

namespace kit {

ImageList::ImageList()
{
    initResources();
    images_.reserve(IconCount);
    for (int i = 0; i < IconCount; ++i)
        images_.emplace_back(QStringLiteral(":/icons/%1.png").arg(i, 2, 10, QLatin1Char('0')));
}

const ImageList& ImageList::instance()
{
    static const ImageList list;
    return list;
}

QImage ImageList::image(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return images_[size_t(index)];
}

QPixmap ImageList::pixmap(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return QPixmap::fromImage(images_[size_t(index)]);
}

QIcon ImageList::icon(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return QIcon(pixmap(index));
}

}  // namespace kit
