// Reading and writing the big-endian 16-bit fields of IP and ICMP headers.
#pragma once

#include <cstdint>

namespace vellomar {

inline uint16_t LoadBe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

inline void StoreBe16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

}  // namespace vellomar
