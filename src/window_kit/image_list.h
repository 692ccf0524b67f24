#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <vector>

namespace kit {

// The one image list of the program: every toolbar takes its icons from it by
// index. It holds 26 icons of 30 by 30 pixels, loaded from the compiled-in
// resources ":/icons/00.png" to ":/icons/25.png". Index 21 is the magnifying
// glass of the search buttons.
class ImageList {
public:
    static constexpr int IconCount = 26;
    static constexpr int IconSize = 30;
    static constexpr int SearchIcon = 21;

    static const ImageList& instance();

    int count() const { return int(images_.size()); }

    // The icon at `index`; null (and for image() and pixmap() also of size
    // 0 by 0) when the index is out of range. icon() and pixmap() need a
    // QGuiApplication, image() does not.
    QImage image(int index) const;
    QPixmap pixmap(int index) const;
    QIcon icon(int index) const;

private:
    ImageList();

    // Images, not pixmaps: a pixmap may not outlive the application object,
    // and this list lives until the program exits.
    std::vector<QImage> images_;
};

}  // namespace kit
