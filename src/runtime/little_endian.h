#pragma once

#include <cstdint>

namespace pelorin {

/// Little-endian integers from bytes, whatever the host's byte order.
inline std::uint16_t readU16LE(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

inline std::uint32_t readU32LE(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

inline std::uint64_t readU64LE(const char* p) {
  return readU32LE(p) | (static_cast<std::uint64_t>(readU32LE(p + 4)) << 32);
}

}  // namespace pelorin
