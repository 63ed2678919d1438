#pragma once

// Access stores every number little-endian, at any byte offset.

#include <cstdint>
#include <cstring>

namespace vaskord::data {

inline std::uint16_t u16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}
inline std::uint32_t u24(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (std::uint32_t(p[2]) << 16);
}
inline std::uint32_t u32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
template <typename T>
T readRaw(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

}  // namespace vaskord::data
