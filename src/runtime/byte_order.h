#pragma once

#include <cstdint>

#include "runtime/little_endian.h"

namespace pelorin {

/// The order of the bytes of a file's numbers: little-endian in RIFF, RF64, BW64 and Wave64,
/// big-endian in RIFX.
enum class ByteOrder { kLittle, kBig };

inline std::uint16_t readU16(const char* p, ByteOrder order) {
  if (order == ByteOrder::kLittle) return readU16LE(p);
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}

inline std::uint32_t readU32(const char* p, ByteOrder order) {
  if (order == ByteOrder::kLittle) return readU32LE(p);
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return (static_cast<std::uint32_t>(b[0]) << 24) | (static_cast<std::uint32_t>(b[1]) << 16) |
         (static_cast<std::uint32_t>(b[2]) << 8) | static_cast<std::uint32_t>(b[3]);
}

inline std::uint64_t readU64(const char* p, ByteOrder order) {
  if (order == ByteOrder::kLittle) return readU64LE(p);
  return (static_cast<std::uint64_t>(readU32(p, order)) << 32) | readU32(p + 4, order);
}

}  // namespace pelorin
