#include "platform/plain_file_icons.h"

#include <QFileInfo>

namespace platform {

QIcon PlainFileIcons::icon(IconType type) const { return QFileIconProvider::icon(type); }

QIcon PlainFileIcons::icon(const QFileInfo& info) const {
    if (info.isRoot())
        return QFileIconProvider::icon(Drive);
    return QFileIconProvider::icon(info.isDir() ? Folder : File);
}

QString PlainFileIcons::type(const QFileInfo& info) const {
    if (info.isRoot())
        return QStringLiteral("驱动器");
    if (info.isDir())
        return QStringLiteral("文件夹");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("文件") : suffix.toUpper() + QStringLiteral(" 文件");
}

PlainFileIcons& plainFileIcons() {
    static PlainFileIcons icons;
    return icons;
}

}  // namespace platform
