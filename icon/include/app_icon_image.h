// The application icon as plain pixels: a rounded green tile crossed by a
// white pulse line that drops out, with a dotted amber stretch in the gap.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellomar {

// Rows from the top, four bytes a pixel: red, green, blue, alpha (not premultiplied).
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    const uint8_t* Pixel(int x, int y) const { return &pixels[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

inline constexpr std::array<int, 4> kAppIconSizes {16, 32, 48, 256};

// The tile's colour: the icon's own green, or the tray's colours for the
// connection's state.
enum class IconTint { Green, Red, Amber, Grey };

// The icon drawn at size x size pixels, antialiased.
RgbaImage DrawAppIcon(int size, IconTint tint = IconTint::Green);

}  // namespace vellomar
