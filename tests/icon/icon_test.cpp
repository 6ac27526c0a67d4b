#include "app_icon_image.h"
#include "icon_files.h"

#include <gtest/gtest.h>

#include <string>

namespace vellomar {
namespace {

uint32_t Little(const std::string& bytes, size_t at, int width)
{
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

uint32_t Big32(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

std::string Rgba(const RgbaImage& image, double x, double y)
{
    const uint8_t* p = image.Pixel(static_cast<int>(x), static_cast<int>(y));
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", p[0], p[1], p[2], p[3]);
    return text;
}

TEST(Icon, EverySizeHasTransparentCornersAGreenTileAndAPulseWithAGap)
{
    for (int size : kAppIconSizes) {
        SCOPED_TRACE(size);
        const RgbaImage image = DrawAppIcon(size);
        ASSERT_EQ(image.pixels.size(), static_cast<size_t>(size * size * 4));
        const double s = size, last = size - 1;
        for (auto [x, y] : {std::pair(0.0, 0.0), {last, 0.0}, {0.0, last}, {last, last}})
            EXPECT_LT(image.Pixel(static_cast<int>(x), static_cast<int>(y))[3], size < 32 ? 0x20 : 1) << x << "," << y;
        EXPECT_EQ(Rgba(image, s / 2, s * 0.85), "1f7a4dff") << "the tile below the line";
        EXPECT_EQ(Rgba(image, 0, s / 2)[7], 'f') << "the tile's straight edge is opaque";
        if (size >= 48) {
            EXPECT_EQ(Rgba(image, s * 0.18, s * 0.55), "ffffffff") << "the pulse line";
            EXPECT_EQ(Rgba(image, s * 0.50, s * 0.55), "ffc83dff") << "the outage, amber";
            if (size == 256) {
                EXPECT_EQ(Rgba(image, s * 0.565, s * 0.55), "1f7a4dff") << "a gap before the line returns";
            }
        }
    }
}

// The tray's variants are the same drawing: only the tile and the gap change colour.
TEST(Icon, TintsRecolourTheTileAndKeepTheShape)
{
    struct Case {
        IconTint tint;
        const char* tile;
    };
    for (const Case& c : {Case {IconTint::Green, "1f7a4dff"}, Case {IconTint::Red, "c62828ff"},
                          Case {IconTint::Amber, "d98200ff"}, Case {IconTint::Grey, "808080ff"}}) {
        const RgbaImage tinted = DrawAppIcon(32, c.tint), green = DrawAppIcon(32);
        EXPECT_EQ(Rgba(tinted, 16, 27), c.tile);
        EXPECT_EQ(Rgba(tinted, 5, 17.6), "ffffffff") << "the pulse stays white";
        for (size_t alpha = 3; alpha < green.pixels.size(); alpha += 4)
            ASSERT_EQ(tinted.pixels[alpha], green.pixels[alpha]) << "pixel " << alpha / 4;
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
    ASSERT_EQ(Little(ico, 2, 2), 1u);
    ASSERT_EQ(Little(ico, 4, 2), images.size());
    size_t expectedOffset = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); ++i) {
        const RgbaImage& image = images[i];
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(Little(ico, entry, 1), image.width == 256 ? 0u : static_cast<uint32_t>(image.width));
        EXPECT_EQ(Little(ico, entry + 6, 2), 32u);
        const uint32_t bytes = Little(ico, entry + 8, 4), offset = Little(ico, entry + 12, 4);
        EXPECT_EQ(offset, expectedOffset);
        expectedOffset += bytes;
        EXPECT_EQ(bytes, 40 + image.width * image.height * 4 + (image.width + 31) / 32 * 4 * image.height);
        EXPECT_EQ(Little(ico, offset + 4, 4), static_cast<uint32_t>(image.width));
        EXPECT_EQ(Little(ico, offset + 8, 4), static_cast<uint32_t>(image.height * 2));
        EXPECT_EQ(Little(ico, offset + 14, 2), 32u);
        // The bottom-up BGRA row of the picture's middle.
        const int y = image.height / 2;
        const size_t row = offset + 40 + static_cast<size_t>(image.height - 1 - y) * image.width * 4;
        std::string bgra;
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.Pixel(x, y);
            bgra +=
                {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0]), static_cast<char>(p[3])};
        }
        EXPECT_EQ(ico.substr(row, bgra.size()), bgra);
    }
    EXPECT_EQ(expectedOffset, ico.size());

    const RgbaImage& large = images.back();
    const std::string png = EncodePng(large);
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    std::string types, zlib;
    for (size_t at = 8; at < png.size();) {
        const uint32_t length = Big32(png, at);
        const std::string typeAndData = png.substr(at + 4, 4 + length);
        EXPECT_EQ(Big32(png, at + 8 + length), Crc32(typeAndData)) << typeAndData.substr(0, 4);
        types += typeAndData.substr(0, 4) + " ";
        if (typeAndData.starts_with("IHDR")) {
            EXPECT_EQ(Big32(typeAndData, 4), 256u);
            EXPECT_EQ(Big32(typeAndData, 8), 256u);
            EXPECT_EQ(typeAndData.substr(12, 2), std::string("\x08\x06", 2));
        }
        if (typeAndData.starts_with("IDAT"))
            zlib += typeAndData.substr(4);
        at += 12 + length;
    }
    EXPECT_EQ(types, "IHDR IDAT IEND ");
    ASSERT_EQ((static_cast<unsigned char>(zlib[0]) * 256 + static_cast<unsigned char>(zlib[1])) % 31, 0);
    std::string raw;
    size_t at = 2;
    for (bool last = false; !last;) {
        last = zlib.at(at) & 1;
        ASSERT_EQ(zlib[at] & 6, 0) << "stored blocks only";
        const uint32_t length = Little(zlib, at + 1, 2);
        ASSERT_EQ(length ^ Little(zlib, at + 3, 2), 0xffffu);
        raw += zlib.substr(at + 5, length);
        at += 5 + length;
    }
    EXPECT_EQ(Big32(zlib, at), Adler32(raw));
    ASSERT_EQ(raw.size(), 256u * (1 + 256 * 4));
    for (int y = 0; y < 256; ++y) {
        ASSERT_EQ(raw[y * 1025], '\0');
        ASSERT_EQ(raw.substr(y * 1025 + 1, 1024), std::string(reinterpret_cast<const char*>(large.Pixel(0, y)), 1024));
    }
}

}  // namespace
}  // namespace vellomar
