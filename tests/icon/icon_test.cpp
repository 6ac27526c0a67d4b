#include "app_icon_image.h"
#include "icon_files.h"

#include <gtest/gtest.h>

#include <string>

namespace vellomar {
namespace {

uint32_t Number(const std::string& bytes, size_t at, int width, bool bigEndian = false)
{
    uint32_t value = 0;
    for (int i = 0; i < width; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + (bigEndian ? i : width - 1 - i)));
    return value;
}

std::string Rgba(const RgbaImage& image, double x, double y)
{
    const uint8_t* p = image.Pixel(static_cast<int>(x), static_cast<int>(y));
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", p[0], p[1], p[2], p[3]);
    return text;
}

// The tray's variants are the same drawing: only the tile and the gap change colour.
TEST(Icon, EverySizeAndTintHasTransparentCornersATileAndAWhitePulseWithAGap)
{
    struct Case {
        IconTint tint;
        const char* tile;
        const char* gap;
    };
    const Case cases[] = {{IconTint::Green, "1f7a4dff", "ffc83dff"},
                          {IconTint::Red, "c62828ff", "ffc83dff"},
                          {IconTint::Amber, "d98200ff", "4a2a00ff"},
                          {IconTint::Grey, "808080ff", "d8d8d8ff"}};
    for (int size : kAppIconSizes) {
        const RgbaImage green = DrawAppIcon(size);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(size) + " " + c.tile);
            const RgbaImage image = DrawAppIcon(size, c.tint);
            ASSERT_EQ(image.pixels.size(), static_cast<size_t>(size * size * 4));
            const double s = size;
            const int last = size - 1;
            for (auto [x, y] : {std::pair(0, 0), {last, 0}, {0, last}, {last, last}})
                EXPECT_LT(image.Pixel(x, y)[3], size < 32 ? 0x20 : 1) << "corner " << x << "," << y;
            EXPECT_EQ(Rgba(image, s / 2, s * 0.85), c.tile) << "the tile below the line";
            EXPECT_EQ(Rgba(image, 0, s / 2)[7], 'f') << "the tile's straight edge is opaque";
            // The pulse, the outage, and the tile in a gap before the line returns, where the size shows them.
            for (auto [x, colour, from] : {std::tuple(0.18, "ffffffff", 32), {0.50, c.gap, 48}, {0.565, c.tile, 256}})
                EXPECT_EQ(size < from ? colour : Rgba(image, s * x, s * 0.55), colour) << "along the line at " << x;
            for (size_t alpha = 3; alpha < green.pixels.size(); alpha += 4)
                ASSERT_EQ(image.pixels[alpha], green.pixels[alpha]) << "pixel " << alpha / 4;
        }
    }
}

TEST(IconFiles, IcoAndPngParseBackToTheImages)
{
    EXPECT_EQ(Crc32("123456789"), 0xcbf43926u);
    EXPECT_EQ(Adler32("Wikipedia"), 0x11e60398u);

    std::vector<RgbaImage> images;
    for (int size : kAppIconSizes)
        images.push_back(DrawAppIcon(size));
    const std::string ico = EncodeIco(images);
    ASSERT_EQ(Number(ico, 0, 4), 0x10000u) << "reserved, type 1";
    ASSERT_EQ(Number(ico, 4, 2), images.size());
    size_t expectedOffset = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); ++i) {
        const RgbaImage& image = images[i];
        const uint32_t width = image.width, entry = 6 + 16 * i, bytes = Number(ico, entry + 8, 4),
                       offset = Number(ico, entry + 12, 4);
        EXPECT_EQ(Number(ico, entry, 1), width == 256 ? 0u : width);
        EXPECT_EQ(Number(ico, entry + 6, 2), 32u);
        EXPECT_EQ(offset, expectedOffset);
        expectedOffset += bytes;
        EXPECT_EQ(bytes, 40 + width * width * 4 + (width + 31) / 32 * 4 * width);
        EXPECT_EQ(Number(ico, offset + 4, 4), width);
        EXPECT_EQ(Number(ico, offset + 8, 4), width * 2);
        EXPECT_EQ(Number(ico, offset + 14, 2), 32u);
        // The bottom-up BGRA row of the picture's middle.
        const size_t row = offset + 40 + static_cast<size_t>(width - 1 - width / 2) * width * 4;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = image.Pixel(x, width / 2);
            ASSERT_EQ(Number(ico, row + 4 * x, 4, true), uint32_t(p[2] << 24 | p[1] << 16 | p[0] << 8 | p[3])) << x;
        }
    }
    EXPECT_EQ(expectedOffset, ico.size());

    const RgbaImage& large = images.back();
    const std::string png = EncodePng(large);
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(16, 10), std::string("\0\0\1\0\0\0\1\0\x08\x06", 10)) << "256 x 256, RGBA";
    std::string types, zlib;
    for (size_t at = 8; at < png.size();) {
        const uint32_t length = Number(png, at, 4, true);
        const std::string typeAndData = png.substr(at + 4, 4 + length);
        EXPECT_EQ(Number(png, at + 8 + length, 4, true), Crc32(typeAndData)) << typeAndData.substr(0, 4);
        types += typeAndData.substr(0, 4) + " ";
        if (typeAndData.starts_with("IDAT"))
            zlib += typeAndData.substr(4);
        at += 12 + length;
    }
    EXPECT_EQ(types, "IHDR IDAT IEND ");
    ASSERT_EQ(Number(zlib, 0, 2, true) % 31, 0u);
    std::string raw;
    size_t at = 2;
    for (bool last = false; !last;) {
        last = zlib.at(at) & 1;
        ASSERT_EQ(zlib[at] & 6, 0) << "stored blocks only";
        const uint32_t length = Number(zlib, at + 1, 2);
        ASSERT_EQ(length ^ Number(zlib, at + 3, 2), 0xffffu);
        raw += zlib.substr(at + 5, length);
        at += 5 + length;
    }
    EXPECT_EQ(Number(zlib, at, 4, true), Adler32(raw));
    ASSERT_EQ(raw.size(), 256u * (1 + 256 * 4));
    for (int y = 0; y < 256; ++y)
        ASSERT_EQ(raw.substr(y * 1025, 1025),
                  '\0' + std::string(reinterpret_cast<const char*>(large.Pixel(0, y)), 1024));
}

}  // namespace
}  // namespace vellomar
