#include "runtime/number_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace pelorin {

namespace {

constexpr int kSignificantDigits = 15;

void appendSigned(Text& out, bool negative, std::string_view digits) {
  out.push_back(negative ? '-' : ' ');
  out.append(digits);
}

}  // namespace

void appendStr(Text& out, std::int64_t value) {
  std::array<char, 24> buffer;
  // Convert the magnitude as unsigned so that the most negative value has one too.
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude);
  appendSigned(out, value < 0, {buffer.data(), result.ptr});
}

void appendStr(Text& out, double value) {
  if (std::isnan(value)) {
    out.append(" NaN");
    return;
  }
  if (std::isinf(value)) {
    out.append(value < 0 ? "-Infinity" : " Infinity");
    return;
  }
  if (value == 0) {  // negative zero too
    out.append(" 0");
    return;
  }
  // to_chars in general form with a precision is "%.*g" without the locale's decimal point.
  std::array<char, 40> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                    std::chars_format::general, kSignificantDigits);
  for (char* c = buffer.data(); c != result.ptr; ++c) {
    if (*c == 'e') *c = 'E';
  }
  appendSigned(out, value < 0, {buffer.data(), result.ptr});
}

Text Str(std::int64_t value) {
  Text text;
  appendStr(text, value);
  return text;
}

Text Str(double value) {
  Text text;
  appendStr(text, value);
  return text;
}

}  // namespace pelorin
