#include "app_icon_image.h"
#include "icon_files.h"

#include <gtest/gtest.h>

#include <string>

namespace vellomar {
namespace {

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

}  // namespace
}  // namespace vellomar
