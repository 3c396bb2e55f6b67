#include "runtime/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace pelorin {

namespace {

constexpr int kSignificantDigits = 15;

// Writes at `to` the number whose shortest scientific form is `shortest` as "%.15G" writes it,
// and returns the end; nullptr when that form has more than fifteen digits. The shortest form
// of a double is its "%.15G" form whenever it has fifteen digits or fewer: the double lies
// within half a unit in its last place of that form, which is less than half a unit in the
// fifteenth digit, so rounding to fifteen digits gives back the same digits.
char* layOutAsGeneral(char* to, std::string_view shortest) {
  const std::size_t e = shortest.find('e');
  std::array<char, kSignificantDigits> digits;
  std::size_t count = 0;
  for (const char c : shortest.substr(0, e)) {
    if (c == '.') continue;
    if (count == digits.size()) return nullptr;
    digits[count++] = c;
  }
  int exponent = 0;
  std::from_chars(shortest.data() + e + (shortest[e + 1] == '+' ? 2 : 1),
                  shortest.data() + shortest.size(), exponent);
  if (exponent < -4 || exponent >= kSignificantDigits) {  // the exponent form, as it stands
    char* end = std::copy(shortest.begin(), shortest.end(), to);
    to[e] = 'E';
    return end;
  }
  if (exponent < 0) {  // 0.000ddd
    to = std::copy_n("0.0000", 1 - exponent, to);
    return std::copy_n(digits.data(), count, to);
  }
  const auto whole = static_cast<std::size_t>(exponent) + 1;
  if (count <= whole) {  // ddd000
    to = std::copy_n(digits.data(), count, to);
    return std::fill_n(to, whole - count, '0');
  }
  to = std::copy_n(digits.data(), whole, to);  // ddd.ddd
  *to++ = '.';
  return std::copy_n(digits.data() + whole, count - whole, to);
}

}  // namespace

void appendStr(Text& out, std::int64_t value) {
  std::array<char, 24> buffer;  // a sign and up to 20 digits
  // Convert the magnitude as unsigned so that the most negative value has one too.
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  buffer[0] = value < 0 ? '-' : ' ';
  const auto result = std::to_chars(buffer.data() + 1, buffer.data() + buffer.size(), magnitude);
  out.append(buffer.data(), result.ptr);
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
  // The shortest digits that read back as the value, in scientific form ("1.25e-06").
  std::array<char, 32> scientific;
  const auto shortest = std::to_chars(scientific.data(), scientific.data() + scientific.size(),
                                      std::fabs(value), std::chars_format::scientific);
  std::array<char, 48> buffer;
  buffer[0] = value < 0 ? '-' : ' ';
  char* const text = buffer.data() + 1;
  // A subnormal number has fewer bits than fifteen digits need, so its shortest form can
  // stand far from the value's fifteen digits.
  const bool normal = std::isnormal(value);
  char* end = normal ? layOutAsGeneral(text, {scientific.data(), shortest.ptr}) : nullptr;
  if (end == nullptr) {  // rounded to fifteen digits
    end = std::to_chars(text, buffer.data() + buffer.size(), std::fabs(value),
                        std::chars_format::general, kSignificantDigits)
              .ptr;
    for (char* c = text; c != end; ++c) {
      if (*c == 'e') *c = 'E';
    }
  }
  out.append(buffer.data(), end);
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
