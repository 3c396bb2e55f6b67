#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/text.h"

namespace pelorin {

/// Number text: a space before zero and positive values, a minus sign before negative ones,
/// "." as the decimal separator whatever the locale.
///
/// Integers print in plain decimal. Doubles print as C's "%.15G" would (15 significant digits,
/// trailing zeros dropped, exponent form such as "5.66893424036281E-06" where that format uses
/// one, and a zero before the point). Negative zero prints as zero; non-finite values print as
/// " Infinity", "-Infinity" and " NaN".
Text Str(std::int64_t value);
Text Str(double value);

/// Appends the number text of `value` to `out`.
void appendStr(Text& out, std::int64_t value);
void appendStr(Text& out, double value);

/// Most bytes a number text takes, with room to spare.
inline constexpr std::size_t kNumberTextRoom = 32;

/// Writes the number text of `value` at `to`, which has kNumberTextRoom bytes of room; returns
/// the end of what was written.
char* writeStr(char* to, std::int64_t value);
char* writeStr(char* to, double value);

inline Text Str(std::int32_t value) {
  return Str(static_cast<std::int64_t>(value));
}
inline Text Str(std::int16_t value) {
  return Str(static_cast<std::int64_t>(value));
}
inline Text Str(std::uint32_t value) {
  return Str(static_cast<std::int64_t>(value));
}
inline void appendStr(Text& out, std::int32_t value) {
  appendStr(out, static_cast<std::int64_t>(value));
}
inline void appendStr(Text& out, std::int16_t value) {
  appendStr(out, static_cast<std::int64_t>(value));
}
inline void appendStr(Text& out, std::uint32_t value) {
  appendStr(out, static_cast<std::int64_t>(value));
}

}  // namespace pelorin
