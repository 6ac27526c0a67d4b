#include "icon_files.h"

#include <algorithm>
#include <array>

namespace vellomar {

namespace {

void PutLittle16(std::string& out, uint32_t value)
{
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>((value >> 8) & 0xff);
}

void PutLittle32(std::string& out, uint32_t value)
{
    PutLittle16(out, value & 0xffff);
    PutLittle16(out, value >> 16);
}

void PutBig32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xff);
}

// BITMAPINFOHEADER, colours bottom-up as blue, green, red, alpha, then the
// one-bit AND mask, which marks the fully transparent pixels for old readers.
std::string IconDib(const RgbaImage& image)
{
    const int maskRowBytes = (image.width + 31) / 32 * 4;
    std::string dib;
    PutLittle32(dib, 40);
    PutLittle32(dib, image.width);
    PutLittle32(dib, image.height * 2);  // colour and mask, one above the other
    PutLittle16(dib, 1);                 // planes
    PutLittle16(dib, 32);                // bits a pixel
    PutLittle32(dib, 0);                 // BI_RGB
    PutLittle32(dib, image.width * image.height * 4 + maskRowBytes * image.height);
    for (int unused = 0; unused < 4; ++unused)
        PutLittle32(dib, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.Pixel(x, y);
            dib += {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0]), static_cast<char>(p[3])};
        }
    }
    for (int y = image.height - 1; y >= 0; --y) {
        std::string row(maskRowBytes, '\0');
        for (int x = 0; x < image.width; ++x)
            if (image.Pixel(x, y)[3] == 0)
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        dib += row;
    }
    return dib;
}

void PutPngChunk(std::string& out, std::string_view type, std::string_view data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    std::string typed(type);
    typed += data;
    out += typed;
    PutBig32(out, Crc32(typed));
}

// A zlib stream of stored deflate blocks, at most 65535 bytes each.
std::string StoredZlib(std::string_view raw)
{
    std::string out = "\x78\x01";
    size_t offset = 0;
    do {
        const size_t length = std::min<size_t>(raw.size() - offset, 65535);
        const bool last = offset + length == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        PutLittle16(out, static_cast<uint32_t>(length));
        PutLittle16(out, static_cast<uint32_t>(~length & 0xffff));
        out += raw.substr(offset, length);
        offset += length;
    } while (offset < raw.size());
    PutBig32(out, Adler32(raw));
    return out;
}

}  // namespace

uint32_t Crc32(std::string_view bytes)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t {};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xffffffffu;
    for (unsigned char byte : bytes)
        crc = table[(crc ^ byte) & 0xff] ^ (crc >> 8);
    return crc ^ 0xffffffffu;
}

uint32_t Adler32(std::string_view bytes)
{
    constexpr uint32_t kModulus = 65521;
    uint32_t a = 1, b = 0;
    for (unsigned char byte : bytes) {
        a = (a + byte) % kModulus;
        b = (b + a) % kModulus;
    }
    return (b << 16) | a;
}

std::string EncodeIco(const std::vector<RgbaImage>& images)
{
    std::string header, data;
    PutLittle16(header, 0);
    PutLittle16(header, 1);  // an icon, not a cursor
    PutLittle16(header, static_cast<uint32_t>(images.size()));
    const size_t firstImage = 6 + 16 * images.size();
    for (const RgbaImage& image : images) {
        const std::string dib = IconDib(image);
        header += static_cast<char>(image.width >= 256 ? 0 : image.width);  // 0 stands for 256
        header += static_cast<char>(image.height >= 256 ? 0 : image.height);
        header += '\0';  // no palette
        header += '\0';
        PutLittle16(header, 1);
        PutLittle16(header, 32);
        PutLittle32(header, static_cast<uint32_t>(dib.size()));
        PutLittle32(header, static_cast<uint32_t>(firstImage + data.size()));
        data += dib;
    }
    return header + data;
}

std::string EncodePng(const RgbaImage& image)
{
    std::string ihdr;
    PutBig32(ihdr, image.width);
    PutBig32(ihdr, image.height);
    ihdr += {8, 6, 0, 0, 0};  // 8 bits a channel, RGBA, deflate, no filter method, no interlace
    std::string raw;
    const size_t rowBytes = static_cast<size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        raw += '\0';  // no filter on this row
        raw.append(reinterpret_cast<const char*>(image.Pixel(0, y)), rowBytes);
    }
    std::string png = "\x89PNG\r\n\x1a\n";
    PutPngChunk(png, "IHDR", ihdr);
    PutPngChunk(png, "IDAT", StoredZlib(raw));
    PutPngChunk(png, "IEND", "");
    return png;
}

}  // namespace vellomar
