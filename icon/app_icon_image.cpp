#include "app_icon_image.h"

#include <algorithm>
#include <cmath>

namespace vellomar {

namespace {

struct Point {
    double x;
    double y;
};

struct Segment {
    Point a;
    Point b;
};

struct Colour {
    double r;
    double g;
    double b;
};

constexpr Colour kTileGreen {0x1f, 0x7a, 0x4d};
constexpr Colour kWhite {0xff, 0xff, 0xff};
constexpr Colour kAmber {0xff, 0xc8, 0x3d};

struct Palette {
    Colour tile;
    Colour gap;  // the dotted stretch where the pulse drops out
};

// Each tint keeps the white pulse and a gap that stands out from its tile.
Palette PaletteFor(IconTint tint)
{
    switch (tint) {
    case IconTint::Red:
        return {{0xc6, 0x28, 0x28}, kAmber};
    case IconTint::Amber:
        return {{0xd9, 0x82, 0x00}, {0x4a, 0x2a, 0x00}};
    case IconTint::Grey:
        return {{0x80, 0x80, 0x80}, {0xd8, 0xd8, 0xd8}};
    case IconTint::Green:
        break;
    }
    return {kTileGreen, kAmber};
}
constexpr int kSamplesPerSide = 4;  // 16 samples a pixel for the antialiasing

double DistanceToSegment(Point p, const Segment& s)
{
    const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / lengthSquared : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (s.a.x + t * dx), p.y - (s.a.y + t * dy));
}

// A stroke with round caps and joins covers every point within half its width
// of one of its segments.
struct Stroke {
    std::vector<Segment> segments;
    double width;

    bool Covers(Point p) const
    {
        return std::ranges::any_of(segments, [&](const Segment& s) { return DistanceToSegment(p, s) <= width / 2; });
    }
};

struct RoundedSquare {
    double size;
    double radius;

    bool Covers(Point p) const
    {
        if (p.x < 0 || p.y < 0 || p.x > size || p.y > size)
            return false;
        Point nearest {std::clamp(p.x, radius, size - radius), std::clamp(p.y, radius, size - radius)};
        return std::hypot(p.x - nearest.x, p.y - nearest.y) <= radius;
    }
};

// A dotted line: dashes one width long, two widths apart, each with round caps.
Stroke DottedLine(Point from, Point to, double width)
{
    const double length = std::hypot(to.x - from.x, to.y - from.y);
    const double ux = (to.x - from.x) / length, uy = (to.y - from.y) / length;
    Stroke dots {{}, width};
    for (double start = 0; start < length; start += 3 * width) {
        const double end = std::min(start + width, length);
        dots.segments.push_back({{from.x + ux * start, from.y + uy * start}, {from.x + ux * end, from.y + uy * end}});
    }
    return dots;
}

struct Layer {
    Colour colour;
    double coverage;
};

// Paints the layers over each other (source over) onto a transparent pixel.
void Composite(const Layer (&layers)[3], uint8_t* out)
{
    double r = 0, g = 0, b = 0, a = 0;  // premultiplied
    for (const Layer& layer : layers) {
        r = layer.colour.r * layer.coverage + r * (1 - layer.coverage);
        g = layer.colour.g * layer.coverage + g * (1 - layer.coverage);
        b = layer.colour.b * layer.coverage + b * (1 - layer.coverage);
        a = layer.coverage + a * (1 - layer.coverage);
    }
    auto channel = [a](double premultiplied) {
        return static_cast<uint8_t>(std::lround(std::clamp(premultiplied / a, 0.0, 255.0)));
    };
    if (a > 0) {
        out[0] = channel(r);
        out[1] = channel(g);
        out[2] = channel(b);
    }
    out[3] = static_cast<uint8_t>(std::lround(a * 255));
}

}  // namespace

RgbaImage DrawAppIcon(int size, IconTint tint)
{
    const Palette palette = PaletteFor(tint);
    const double s = size;
    const RoundedSquare tile {s, s * 0.18};
    const Stroke pulse {{{{s * 0.10, s * 0.55}, {s * 0.25, s * 0.55}},
                         {{s * 0.25, s * 0.55}, {s * 0.33, s * 0.25}},
                         {{s * 0.33, s * 0.25}, {s * 0.42, s * 0.55}},
                         {{s * 0.62, s * 0.55}, {s * 0.90, s * 0.55}}},
                        std::max(1.5, s * 0.08)};
    const Stroke outage = DottedLine({s * 0.46, s * 0.55}, {s * 0.58, s * 0.55}, std::max(1.0, s * 0.06));

    RgbaImage image {size, size, std::vector<uint8_t>(static_cast<size_t>(size) * size * 4, 0)};
    constexpr double kSamples = kSamplesPerSide * kSamplesPerSide;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int onTile = 0, onPulse = 0, onOutage = 0;
            for (int i = 0; i < kSamplesPerSide; ++i) {
                for (int j = 0; j < kSamplesPerSide; ++j) {
                    const Point p {x + (i + 0.5) / kSamplesPerSide, y + (j + 0.5) / kSamplesPerSide};
                    onTile += tile.Covers(p);
                    onPulse += pulse.Covers(p);
                    onOutage += outage.Covers(p);
                }
            }
            Composite(
                {{palette.tile, onTile / kSamples}, {kWhite, onPulse / kSamples}, {palette.gap, onOutage / kSamples}},
                &image.pixels[(static_cast<size_t>(y) * size + x) * 4]);
        }
    }
    return image;
}

}  // namespace vellomar
