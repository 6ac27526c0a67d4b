// Icon images as files: a Windows .ico with 32-bit DIB entries, and PNG
// written with stored (uncompressed) deflate blocks, so no zlib is needed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app_icon_image.h"

namespace vellomar {

std::string EncodeIco(const std::vector<RgbaImage>& images);
std::string EncodePng(const RgbaImage& image);

uint32_t Crc32(std::string_view bytes);
uint32_t Adler32(std::string_view bytes);

}  // namespace vellomar
