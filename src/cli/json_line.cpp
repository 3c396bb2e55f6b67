#include "cli/json_line.h"

#include <array>
#include <bit>
#include <cstdint>

namespace pelorin::cli {

namespace {

// Each byte as JSON writes it inside a string: itself, or its escape. Eight bytes an entry, so
// that an entry is copied with one move.
struct JsonByte {
  std::array<char, 7> text;
  std::uint8_t length;
};

constexpr std::array<JsonByte, 256> kJsonBytes = [] {
  constexpr char kHex[] = "0123456789abcdef";
  std::array<JsonByte, 256> bytes{};
  for (int c = 0; c < 256; ++c) {
    JsonByte& entry = bytes[c];
    const auto named = [&](char letter) {
      entry.text = {'\\', letter};
      entry.length = 2;
    };
    switch (c) {
      case '"':
      case '\\':
        named(static_cast<char>(c));
        break;
      case '\b':
        named('b');
        break;
      case '\f':
        named('f');
        break;
      case '\n':
        named('n');
        break;
      case '\r':
        named('r');
        break;
      case '\t':
        named('t');
        break;
      default:
        if (c < 0x20) {
          entry.text = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
          entry.length = 6;
        } else {
          entry.text = {static_cast<char>(c)};
          entry.length = 1;
        }
    }
  }
  return bytes;
}();

constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHighs = 0x8080808080808080;

// Marks, in the high bit of each byte, the bytes of `word` that JSON must escape: control
// characters, the quote and the backslash. (w - 0x01..01 * n) & ~w & 0x80..80 marks the bytes
// below n; a borrow can mark a byte above a true mark as well, but never below one, so the
// lowest mark is always right, which is all the writer uses.
std::uint64_t escapeMarks(std::uint64_t word) {
  const std::uint64_t quote = word ^ (kOnes * '"');
  const std::uint64_t backslash = word ^ (kOnes * '\\');
  return (((word - kOnes * 0x20) & ~word) | ((quote - kOnes) & ~quote) |
          ((backslash - kOnes) & ~backslash)) &
         kHighs;
}

}  // namespace

char* writeJsonString(char* to, std::string_view text) {
  *to++ = '"';
  to = writeJsonCharacters(to, text);
  *to++ = '"';
  return to;
}

// Eight bytes at a time are stored as they are and kept up to the first one that needs an
// escape; the bytes stored past what is kept lie within the room, which the written text's
// worst case and eight bytes to spare make.
char* writeJsonCharacters(char* to, std::string_view text) {
  const char* from = text.data();
  const char* const end = from + text.size();
  for (;;) {
    if constexpr (std::endian::native == std::endian::little) {
      while (end - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        std::memcpy(to, &word, sizeof word);
        const std::uint64_t marks = escapeMarks(word);
        if (marks != 0) {
          const auto plain = static_cast<std::size_t>(std::countr_zero(marks) / 8);
          from += plain;
          to += plain;
          break;
        }
        from += 8;
        to += 8;
      }
      if (from != end && end - from < 8 && text.size() >= 8) {
        // The last few bytes at once: read as the end of the text's last eight, unless one of
        // them may need an escape.
        const auto left = static_cast<unsigned>(end - from);
        std::uint64_t word;
        std::memcpy(&word, end - 8, sizeof word);
        const unsigned written = 8 * (8 - left);  // the bits of the bytes already written
        if ((escapeMarks(word) >> written) == 0) {
          word >>= written;
          std::memcpy(to, &word, sizeof word);
          return to + left;
        }
      }
    }
    if (from == end) break;
    // One byte: the one that needs an escape, or one of the last few.
    const JsonByte& entry = kJsonBytes[static_cast<unsigned char>(*from++)];
    std::memcpy(to, entry.text.data(), entry.text.size());
    to += entry.length;
  }
  return to;
}

void JsonLine::grow(std::size_t size) {
  scratch_.line.resize(std::max(size, 2 * scratch_.line.size()));
}

// Whether every byte is below 0x80.
bool isAscii(std::string_view bytes) {
  std::size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    if (word & kHighs) return false;
  }
  for (; at < bytes.size(); ++at) {
    if (static_cast<unsigned char>(bytes[at]) >= 0x80) return false;
  }
  return true;
}

}  // namespace pelorin::cli
