#include "app/jpeg_image.h"

#include "app/picture.h"
#include "window_kit/app_resources.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <cstdlib>

namespace {

using app::decodeJpeg;

QByteArray shippedPicture()
{
    kit::initResources();
    QFile file(QString::fromLatin1(app::PictureResource));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray encodeWithQt(const QImage& image, int quality = 95)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

// Number of colour components in the first start-of-frame marker, or -1.
int frameComponents(const QByteArray& jpeg)
{
    for (qsizetype i = 0; i + 9 < jpeg.size(); ++i) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && marker >= 0xC0 && marker <= 0xC2)
            return static_cast<unsigned char>(jpeg[i + 9]);
    }
    return -1;
}

int channelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

TEST(DecodeJpeg, ShippedPictureMatchesQtsOwnDecoder)
{
    const QByteArray bytes = shippedPicture();
    ASSERT_FALSE(bytes.isEmpty());
    const QImage ours = decodeJpeg(bytes);
    ASSERT_EQ(ours.size(), QSize(588, 317));

    const QImage reference = QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(reference.size(), ours.size());
    long long total = 0;
    int worst = 0;
    for (int y = 0; y < ours.height(); ++y) {
        for (int x = 0; x < ours.width(); ++x) {
            const int d = channelDifference(ours.pixel(x, y), reference.pixel(x, y));
            total += d;
            worst = std::max(worst, d);
        }
    }
    EXPECT_LE(worst, 16);
    EXPECT_LT(double(total) / (ours.width() * ours.height()), 1.0);
}

// A swapped or misread channel shows at once on flat primary colours.
TEST(DecodeJpeg, KeepsColoursInTheirChannels)
{
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::white, Qt::black, QColor(0x3b, 0x7d, 0xd8)};
    for (const QColor& colour : colours) {
        SCOPED_TRACE(qPrintable(colour.name()));
        QImage source(24, 16, QImage::Format_RGB32);
        source.fill(colour);
        const QImage decoded = decodeJpeg(encodeWithQt(source, 100));
        ASSERT_EQ(decoded.size(), source.size());
        EXPECT_LE(channelDifference(decoded.pixel(12, 8), colour.rgb()), 6);
    }
}

TEST(DecodeJpeg, GreyscaleImageComesBackGrey)
{
    QImage source(64, 40, QImage::Format_Grayscale8);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.scanLine(y)[x] = static_cast<uchar>(x * 4);
    const QByteArray bytes = encodeWithQt(source);
    ASSERT_EQ(frameComponents(bytes), 1) << "the test image must be a one-component JPEG";

    const QImage decoded = decodeJpeg(bytes);
    ASSERT_EQ(decoded.size(), QSize(64, 40));
    for (int y = 0; y < decoded.height(); ++y) {
        for (int x = 0; x < decoded.width(); ++x) {
            const QRgb px = decoded.pixel(x, y);
            ASSERT_EQ(qRed(px), qGreen(px));
            ASSERT_EQ(qGreen(px), qBlue(px));
            ASSERT_NEAR(qRed(px), x * 4, 12) << "at " << x << "," << y;
        }
    }
}

QByteArray withBytesReplaced(QByteArray bytes, qsizetype at, const QByteArray& replacement)
{
    bytes.replace(at, replacement.size(), replacement);
    return bytes;
}

TEST(DecodeJpeg, BrokenDataGivesNullImageQuietly)
{
    const QByteArray good = shippedPicture();
    ASSERT_GT(good.size(), 1000);
    QFile png(QStringLiteral(":/icons/00.png"));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));

    // The frame header's sample precision sits two bytes after the marker's
    // length; 9 bits is not a precision a baseline decoder accepts.
    const qsizetype frame = good.indexOf(QByteArray::fromHex("ffc0"));
    ASSERT_GT(frame, 0);

    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"garbage", QByteArray("this is not a picture at all, just words").repeated(20)},
        {"start-of-image marker only", QByteArray::fromHex("ffd8")},
        {"first 100 bytes", good.left(100)},
        {"cut in half", good.left(good.size() / 2)},
        {"all but the last 40 bytes", good.left(good.size() - 40)},
        {"end marker in the middle of the scan", withBytesReplaced(good, good.size() / 2, QByteArray::fromHex("ffd9"))},
        {"bad sample precision", withBytesReplaced(good, frame + 4, QByteArray::fromHex("09"))},
        {"a PNG file", png.readAll()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        const QImage image = decodeJpeg(c.bytes);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(image.isNull());
        EXPECT_EQ(printed, "");
    }
}

}  // namespace
