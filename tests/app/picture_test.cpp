#include "app/picture.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QRect>

#include <cstdlib>

namespace {

int colourDistance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

TEST(MainPicture, DecodesToItsDesignSize)
{
    const QImage picture = app::mainPicture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(588, 317));
}

// The hot spots of the main window are placed over fixed rectangles of the
// picture panel; the panel draws the picture at (2,2). Whatever the artwork,
// the middle of each rectangle must show a drawn shape, not the background
// at the left edge of the same row, and the shapes must lie in the part of
// the picture that is visible.
TEST(MainPicture, ShapesLieUnderTheHotSpots)
{
    const QImage picture = app::mainPicture();
    ASSERT_FALSE(picture.isNull());
    const struct {
        const char* name;
        QRect panelRect;
    } spots[] = {
        {"sole-model table", QRect(80, 98, 81, 75)},
        {"order table", QRect(428, 97, 81, 75)},
        {"sole statistics", QRect(257, 121, 73, 26)},
    };
    const QRect visible(0, 0, 522, 274);
    for (const auto& spot : spots) {
        SCOPED_TRACE(spot.name);
        const QRect inPicture = spot.panelRect.translated(-2, -2);
        EXPECT_TRUE(visible.contains(inPicture));
        const QPoint centre = inPicture.center();
        const QRgb background = picture.pixel(3, centre.y());
        EXPECT_GT(colourDistance(picture.pixel(centre), background), 90);
    }
}

}  // namespace
