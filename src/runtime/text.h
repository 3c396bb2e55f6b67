#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin {

/// Text as the reports hold it: Unicode characters encoded as UTF-8. It may hold zero characters.
using Text = std::string;

/// A text of exactly N characters filled from N bytes, one character per byte (byte n is
/// U+00nn). It starts as N zero characters.
template <std::size_t N>
struct FixedText {
  std::array<char, N> bytes{};

  std::string_view view() const { return {bytes.data(), N}; }
};

/// Text of the characters U+0000 to U+00FF that the bytes stand for, one character per byte.
Text bytesToText(std::string_view bytes);
void appendBytesText(Text& out, std::string_view bytes);

/// Text of a file name: its bytes decoded as UTF-8, each byte of an invalid sequence shown as
/// U+FFFD.
Text pathToText(std::string_view path);
void appendPathText(Text& out, std::string_view path);

/// Appends `prompt` as a person should see it: each CR LF as a line feed; other C0 control
/// characters and U+007F as their Unicode control pictures (U+2400 plus the code, U+2421 for
/// 127), so that no byte of a file or a file name can move a cursor or break a line.
void appendDisplayText(Text& out, std::string_view prompt);

/// 1-based position of the first occurrence of `sought` in `searched` at or after `start`, by
/// exact comparison of characters; 0 when absent. Both are texts of one character per byte.
/// `sought` empty gives `start` while it lies within `searched` (plus one), as an empty text
/// occurs everywhere.
std::int32_t InStr(std::int32_t start, std::string_view searched, std::string_view sought);

/// Exact comparison of two texts: 0 when equal, -1 when `a` sorts first, 1 otherwise.
int StrCmp(std::string_view a, std::string_view b);

}  // namespace pelorin
