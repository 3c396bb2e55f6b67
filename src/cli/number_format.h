#pragma once

// Numbers as the command line's TSV and text writers put them.

#include <array>
#include <charconv>
#include <string>

#include "runtime/number_text.h"

namespace pelorin::cli {

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
  std::array<char, 24> digits;
  const auto end = std::to_chars(digits.begin(), digits.end(), value).ptr;
  out.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
}

/// Number text without the space that stands before a value that is not negative.
inline void appendPlainNumber(std::string& out, double value) {
  const std::size_t start = out.size();
  appendStr(out, value);
  if (out[start] == ' ') out.erase(start, 1);
}

}  // namespace pelorin::cli
