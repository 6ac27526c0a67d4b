// The .ico and .png files read back by Qt's own decoders (a decoder of our own would share the encoder's mistakes):
// every size, every pixel, as drawn; the PNG decoder checks the CRCs and the Adler sum too.
#include "app_icon_image.h"
#include "icon_files.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <vector>

namespace vellomar {
namespace {

// Pixel for pixel, premultiplied as Qt's ICO reader keeps them.
void ExpectSamePixels(const QImage& read, const RgbaImage& drawn)
{
    const QImage expected(drawn.pixels.data(), drawn.width, drawn.height, drawn.width * 4, QImage::Format_RGBA8888);
    const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
    EXPECT_TRUE(read.convertToFormat(premultiplied) == expected.convertToFormat(premultiplied));
}

TEST(IconFiles, QtReadsTheIcoAndThePngBackAsDrawn)
{
    std::vector<RgbaImage> images;
    for (int size : kAppIconSizes)
        images.push_back(DrawAppIcon(size));
    QByteArray ico = QByteArray::fromStdString(EncodeIco(images));
    QBuffer icoFile(&ico);
    QImageReader icoReader(&icoFile, "ico");
    ASSERT_EQ(icoReader.imageCount(), static_cast<int>(images.size()));
    for (const RgbaImage& image : images) {
        SCOPED_TRACE(image.width);
        QImage read;
        ASSERT_TRUE(icoReader.read(&read)) << icoReader.errorString().toStdString();
        ExpectSamePixels(read, image);
        icoReader.jumpToNextImage();
    }

    const std::string png = EncodePng(images.back());
    QImage read;
    ASSERT_TRUE(read.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG"));
    EXPECT_TRUE(read.hasAlphaChannel());
    ExpectSamePixels(read, images.back());
}

}  // namespace
}  // namespace vellomar
