#pragma once

// One JSON object built in place: the writer that --json records and the summary share.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/format.h"
#include "runtime/message_box.h"
#include "runtime/text.h"

namespace pelorin::cli {

// No escape is longer than the six characters of \u00XX; and the writer below may store up to
// sixteen bytes past where it stops.
constexpr std::size_t kLongestEscape = 6;

/// The most room `text` can take as a JSON string, quotes included, with room to spare.
inline std::size_t jsonStringRoom(std::string_view text) {
  return 2 + kLongestEscape * text.size() + 16;
}

/// Writes `text` as a JSON string at `to`, which has jsonStringRoom(text) bytes of room; returns
/// the end of what was written.
char* writeJsonString(char* to, std::string_view text);

/// Whether the four bytes at `bytes` go into a JSON string as they are: printable ASCII, and
/// neither a quote nor a backslash.
bool isPlainFourBytes(const char* bytes);

/// Whether every byte is below 0x80.
bool isAscii(std::string_view bytes);

// Builds one JSON object in `buffer`, a string whose size only grows and serves as room to
// write in: each piece makes room for its worst case and is written through a pointer, so no
// byte is appended one call at a time and no room is filled twice.
class JsonLine {
 public:
  explicit JsonLine(FormatScratch& scratch) : scratch_(scratch) {}

  void raw(std::string_view text) {
    std::memcpy(room(text.size()), text.data(), text.size());
    length_ += text.size();
  }

  // `,"key":` for a literal key.
  template <std::size_t N>
  void key(const char (&name)[N]) {
    char* to = room(N + 3);
    to[0] = ',';
    to[1] = '"';
    std::memcpy(to + 2, name, N - 1);
    to[N + 1] = '"';
    to[N + 2] = ':';
    length_ += N + 3;
  }

  void string(std::string_view text) {
    char* to = room(jsonStringRoom(text));
    length_ += static_cast<std::size_t>(writeJsonString(to, text) - to);
  }

  // A prompt as one JSON string: its line breaks, CR LF, as the escapes they are.
  void prompt(PromptView prompt) { string(prompt.text); }

  // A path as its text: the same bytes where they are UTF-8, which ASCII always is.
  // A path that is not UTF-8 also gets "pathBytes", its bytes in base64, since its text shows
  // U+FFFD for the bytes it cannot show and no longer tells such names apart.
  void path(const std::string& path) {
    if (isAscii(path)) return string(path);
    scratch_.text.clear();
    appendPathText(scratch_.text, path);
    string(scratch_.text);
    if (isUtf8(path)) return;
    key("pathBytes");
    base64(path);
  }

  // `bytes` in base64 (RFC 4648: the standard alphabet, with padding), as a JSON string.
  void base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    char* to = room((bytes.size() + 2) / 3 * 4 + 2);
    char* const start = to;
    *to++ = '"';
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
      const std::size_t left = bytes.size() - i;
      const auto byte = [&](std::size_t k) {
        return k < left ? static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + k])) : 0u;
      };
      const std::uint32_t group = byte(0) << 16 | byte(1) << 8 | byte(2);
      *to++ = kAlphabet[group >> 18];
      *to++ = kAlphabet[(group >> 12) & 0x3F];
      *to++ = left > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
      *to++ = left > 2 ? kAlphabet[group & 0x3F] : '=';
    }
    *to++ = '"';
    length_ += static_cast<std::size_t>(to - start);
  }

  // An identifier's bytes as characters U+0000 to U+00FF. Printable ASCII that JSON need not
  // escape, which nearly every identifier is, is written as it stands.
  void identifier(std::string_view bytes) {
    if (bytes.size() == 4 && isPlainFourBytes(bytes.data())) {  // the common case, at once
      char* to = room(6);
      to[0] = '"';
      std::memcpy(to + 1, bytes.data(), 4);
      to[5] = '"';
      length_ += 6;
      return;
    }
    const auto plain = [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; };
    if (std::all_of(bytes.begin(), bytes.end(), plain)) {
      char* to = room(bytes.size() + 2);
      to[0] = '"';
      std::memcpy(to + 1, bytes.data(), bytes.size());
      to[bytes.size() + 1] = '"';
      length_ += bytes.size() + 2;
      return;
    }
    if (isAscii(bytes)) return string(bytes);
    scratch_.text.clear();
    appendBytesText(scratch_.text, bytes);
    string(scratch_.text);
  }

  template <typename Integer>
  void integer(Integer value) {
    constexpr std::size_t kDigits = 24;
    char* to = room(kDigits);
    length_ += static_cast<std::size_t>(std::to_chars(to, to + kDigits, value).ptr - to);
  }

  void null() { raw("null"); }

  // A text of the table's own, or null when it is empty.
  void nameOrNull(std::string_view name) {
    if (name.empty()) return null();
    string(name);
  }

  // The shortest decimal that reads back as the same double; null when it is not finite.
  void number(double value) {
    if (!std::isfinite(value)) return raw("null");
    // A whole number of five digits or fewer: to_chars writes its digits, as its exponent form
    // is never shorter. Zero is left to it, for the sign of negative zero.
    if (value != 0 && std::fabs(value) < 1e5 && value == std::trunc(value)) {
      return integer(static_cast<std::int32_t>(value));
    }
    constexpr std::size_t kDigits = 32;
    char* to = room(kDigits);
    length_ += static_cast<std::size_t>(std::to_chars(to, to + kDigits, value).ptr - to);
  }

  std::string_view text() const { return {scratch_.line.data(), length_}; }
  std::string& scratchText() { return scratch_.text; }

 private:
  char* room(std::size_t bytes) {
    if (length_ + bytes > scratch_.line.size()) [[unlikely]]
      grow(length_ + bytes);
    return scratch_.line.data() + length_;
  }

  // Out of line, so that room() stays small enough to be inlined at every piece.
  void grow(std::size_t size);

  FormatScratch& scratch_;
  std::size_t length_ = 0;
};

}  // namespace pelorin::cli
