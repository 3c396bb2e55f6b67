#include "runtime/number_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace pelorin {

namespace {

constexpr int kSignificantDigits = 15;

Text withSign(bool negative, std::string_view digits) {
  Text text(1, negative ? '-' : ' ');
  text.append(digits);
  return text;
}

}  // namespace

Text Str(std::int64_t value) {
  std::array<char, 24> buffer;
  // Convert the magnitude as unsigned so that the most negative value has one too.
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude);
  return withSign(value < 0, {buffer.data(), result.ptr});
}

Text Str(double value) {
  if (std::isnan(value)) return " NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : " Infinity";
  if (value == 0) return " 0";  // negative zero too

  // to_chars in general form with a precision is "%.*g" without the locale's decimal point.
  std::array<char, 40> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                    std::chars_format::general, kSignificantDigits);
  for (char* c = buffer.data(); c != result.ptr; ++c) {
    if (*c == 'e') *c = 'E';
  }
  return withSign(value < 0, {buffer.data(), result.ptr});
}

}  // namespace pelorin
