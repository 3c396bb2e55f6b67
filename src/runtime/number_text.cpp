#include "runtime/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

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

char* writeStr(char* to, std::int64_t value) {
  // Convert the magnitude as unsigned so that the most negative value has one too.
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  *to++ = value < 0 ? '-' : ' ';
  return std::to_chars(to, to + kNumberTextRoom - 1, magnitude).ptr;
}

char* writeStr(char* to, double value) {
  const auto copy = [&](std::string_view text) { return std::copy(text.begin(), text.end(), to); };
  if (std::isnan(value)) return copy(" NaN");
  if (std::isinf(value)) return value < 0 ? copy("-Infinity") : copy(" Infinity");
  if (value == 0) return copy(" 0");  // negative zero too
  // A whole number below 10^15 has at most fifteen digits, which "%.15G" writes as they are:
  // the integer's text, without working out the double's shortest digits.
  if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
    return writeStr(to, static_cast<std::int64_t>(value));
  }
  *to++ = value < 0 ? '-' : ' ';
  // The shortest digits that read back as the value, in scientific form ("1.25e-06").
  std::array<char, 32> scientific;
  const auto shortest = std::to_chars(scientific.data(), scientific.data() + scientific.size(),
                                      std::fabs(value), std::chars_format::scientific);
  // A subnormal number has fewer bits than fifteen digits need, so its shortest form can
  // stand far from the value's fifteen digits.
  char* end =
      std::isnormal(value) ? layOutAsGeneral(to, {scientific.data(), shortest.ptr}) : nullptr;
  if (end == nullptr) {  // rounded to fifteen digits
    end = std::to_chars(to, to + kNumberTextRoom - 1, std::fabs(value), std::chars_format::general,
                        kSignificantDigits)
              .ptr;
    std::replace(to, end, 'e', 'E');
  }
  return end;
}

void appendStr(Text& out, std::int64_t value) {
  std::array<char, kNumberTextRoom> buffer;
  out.append(buffer.data(),
             static_cast<std::size_t>(writeStr(buffer.data(), value) - buffer.data()));
}

void appendStr(Text& out, double value) {
  std::array<char, kNumberTextRoom> buffer;
  out.append(buffer.data(),
             static_cast<std::size_t>(writeStr(buffer.data(), value) - buffer.data()));
}

}  // namespace pelorin
