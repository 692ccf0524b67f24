#include "window_kit/image_list.h"

#include "gui_app.h"

#include <gtest/gtest.h>

namespace {

using kit::ImageList;

bool hasVisiblePixels(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

TEST(ImageList, HoldsTwentySixIconsOfThirtyPixels)
{
    testsupport::ensureGuiApplication();
    const ImageList& list = ImageList::instance();
    ASSERT_EQ(list.count(), 26);
    for (int i = 0; i < list.count(); ++i) {
        SCOPED_TRACE(i);
        const QImage image = list.image(i);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(30, 30));
        EXPECT_TRUE(hasVisiblePixels(image));
        EXPECT_EQ(list.pixmap(i).size(), QSize(30, 30));
        const QIcon icon = list.icon(i);
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.pixmap(30, 30).size(), QSize(30, 30));
    }
}

TEST(ImageList, IconsAreAllDifferent)
{
    const ImageList& list = ImageList::instance();
    for (int i = 0; i < list.count(); ++i)
        for (int j = i + 1; j < list.count(); ++j)
            EXPECT_NE(list.image(i), list.image(j)) << "icons " << i << " and " << j;
}

TEST(ImageList, OutOfRangeIndexGivesNothing)
{
    testsupport::ensureGuiApplication();
    const ImageList& list = ImageList::instance();
    for (int index : {-1, 26, 1000}) {
        SCOPED_TRACE(index);
        EXPECT_TRUE(list.icon(index).isNull());
        EXPECT_TRUE(list.pixmap(index).isNull());
        EXPECT_TRUE(list.image(index).isNull());
    }
}

}  // namespace
