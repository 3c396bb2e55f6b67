#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
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
/// Writes that text at `to`, which has two bytes of room for each byte; returns its end.
char* writeBytesText(char* to, std::string_view bytes);

/// Appends the UTF-8 bytes of the code point `c`; a surrogate is encoded as the others are, as
/// WTF-8 does for the names a system holds in UTF-16.
void appendCodePoint(Text& out, char32_t c);
/// Writes them at `to`, which has four bytes of room; returns their end.
char* writeCodePoint(char* to, char32_t c);

/// One character decoded from UTF-8: its code point and its length in bytes, 0 when the bytes
/// are not a well-formed character.
struct Utf8Character {
  char32_t c = 0;
  std::size_t length = 0;
};

/// The character at the start of `text`, which is not empty, by UTF-8's rules: no overlong
/// forms, nothing above U+10FFFF, and no surrogates (U+D800 to U+DFFF) unless
/// `surrogatesAllowed`, as WTF-8 allows them for the names a system holds in UTF-16.
Utf8Character decodeUtf8(std::string_view text, bool surrogatesAllowed = false);

/// Whether `bytes` are well-formed UTF-8 throughout.
bool isUtf8(std::string_view bytes);

/// Text of a file name: its bytes decoded as UTF-8, each byte of an invalid sequence shown as
/// U+FFFD.
void appendPathText(Text& out, std::string_view path);
/// Writes that text at `to`, which has three bytes of room for each byte of `path`; returns its
/// end.
char* writePathText(char* to, std::string_view path);

/// Appends `text` as one line that a person reads and that nothing in it can break, move a
/// cursor on or reorder: C0 controls and DEL (CR and LF too) show as their Unicode control
/// pictures (U+2400 plus the code, U+2421 for DEL); C1 controls (U+0085 among them), the line
/// and paragraph separators U+2028 and U+2029 and the bidirectional controls (U+061C, U+200E,
/// U+200F, U+202A to U+202E, U+2066 to U+2069) show as their names, "<U+009B>"; a byte that is
/// not part of UTF-8 shows as U+FFFD.
void appendDisplayLine(Text& out, std::string_view text);

/// Appends a prompt as a person should see it: a line feed at each of its own line breaks, the
/// CR LF pairs at the offsets `lineBreaks` (in order), and every line as appendDisplayLine()
/// shows it, so that a CR or LF from a file's name or bytes cannot pass for a line break.
void appendDisplayText(Text& out, std::string_view prompt, std::span<const std::size_t> lineBreaks);

/// 1-based position of the first occurrence of `sought` in `searched` at or after `start`, by
/// exact comparison of characters; 0 when absent. Both are texts of one character per byte.
/// `sought` empty gives `start` while it lies within `searched` (plus one), as an empty text
/// occurs everywhere.
std::int32_t InStr(std::int32_t start, std::string_view searched, std::string_view sought);

/// Exact comparison of two texts: 0 when equal, -1 when `a` sorts first, 1 otherwise. Inline, so
/// that a comparison with a short constant text becomes a few instructions.
inline int StrCmp(std::string_view a, std::string_view b) {
  const int order = a.compare(b);
  return order == 0 ? 0 : (order < 0 ? -1 : 1);
}

}  // namespace pelorin
