#include "cli/json_line.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

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

// Sixteen bytes in one register (SSE2 on x86-64, NEON on ARM), through the compiler's vector
// types: a comparison sets every bit of the lanes it holds for.
using Lanes = std::uint8_t __attribute__((vector_size(16)));

// Where the first byte that JSON must escape lies in `lanes`, as a bit mask of its lane and all
// those after it (in memory order); zero when there is none.
unsigned __int128 escapeLanes(Lanes lanes) {
  const auto marked = (lanes < 0x20) | (lanes == '"') | (lanes == '\\');
  unsigned __int128 mask;
  std::memcpy(&mask, &marked, sizeof mask);
  return mask;
}

// The number of bytes before the first one marked in `mask` (a little-endian machine's lanes).
unsigned plainBytes(unsigned __int128 mask) {
  const auto low = static_cast<std::uint64_t>(mask);
  if (low != 0) return static_cast<unsigned>(std::countr_zero(low)) / 8;
  return 8 + static_cast<unsigned>(std::countr_zero(static_cast<std::uint64_t>(mask >> 64))) / 8;
}

// Copies the bytes of [from, end) that need no escape to `to`, sixteen or eight at a time; stops
// at the first that does, or at the end. Bytes stored past what is kept lie within the room,
// which the written text's worst case and sixteen bytes to spare make.
void copyPlain(const char*& from, const char* const end, char*& to, std::size_t textSize) {
  while (end - from >= 16) {
    Lanes lanes;
    std::memcpy(&lanes, from, sizeof lanes);
    std::memcpy(to, from, sizeof lanes);
    const unsigned __int128 mask = escapeLanes(lanes);
    if (mask != 0) {
      const unsigned plain = plainBytes(mask);
      from += plain;
      to += plain;
      return;
    }
    from += 16;
    to += 16;
  }
  const auto left = static_cast<unsigned>(end - from);
  if (left == 0) return;
  if (textSize >= 16) {
    // The last few bytes at once: read as the end of the text's last sixteen, unless one of them
    // may need an escape.
    Lanes lanes;
    std::memcpy(&lanes, end - 16, sizeof lanes);
    const unsigned written = 8 * (16 - left);  // the bits of the bytes already written
    if ((escapeLanes(lanes) >> written) == 0) {
      unsigned __int128 bytes;
      std::memcpy(&bytes, &lanes, sizeof bytes);
      bytes >>= written;
      std::memcpy(to, &bytes, sizeof bytes);
      from = end;
      to += left;
    }
    return;
  }
  if (textSize < 8) return;
  std::uint64_t word;
  if (left >= 8) {
    std::memcpy(&word, from, sizeof word);
    std::memcpy(to, &word, sizeof word);
    const std::uint64_t marks = escapeMarks(word);
    const unsigned plain = marks != 0 ? static_cast<unsigned>(std::countr_zero(marks)) / 8 : 8;
    from += plain;
    to += plain;
    if (plain < 8 || from == end) return;
  }
  const auto last = static_cast<unsigned>(end - from);
  std::memcpy(&word, end - 8, sizeof word);
  const unsigned written = 8 * (8 - last);
  if ((escapeMarks(word) >> written) == 0) {
    word >>= written;
    std::memcpy(to, &word, sizeof word);
    from = end;
    to += last;
  }
}

// The inside of a JSON string: its characters, escaped where JSON asks, and no quotes.
char* writeJsonCharacters(char* to, std::string_view text) {
  const char* from = text.data();
  const char* const end = from + text.size();
  for (;;) {
    if constexpr (std::endian::native == std::endian::little) {
      copyPlain(from, end, to, text.size());
    }
    if (from == end) break;
    // One byte: the one that needs an escape, or one of the last few; a line break as one.
    if (from[0] == '\r' && end - from >= 2 && from[1] == '\n') {
      std::memcpy(to, "\\r\\n", 4);
      to += 4;
      from += 2;
      continue;
    }
    const JsonByte& entry = kJsonBytes[static_cast<unsigned char>(*from++)];
    std::memcpy(to, entry.text.data(), entry.text.size());
    to += entry.length;
  }
  return to;
}

}  // namespace

char* writeJsonString(char* to, std::string_view text) {
  *to++ = '"';
  to = writeJsonCharacters(to, text);
  *to++ = '"';
  return to;
}

void JsonLine::grow(std::size_t size) {
  scratch_.line.resize(std::max(size, 2 * scratch_.line.size()));
}

// A byte at or above 0x7F is marked by its own high bit or by the one that adding one sets; a
// carry can mark a byte above it as well, which only sends a plain identifier the long way.
bool isPlainFourBytes(const char* bytes) {
  std::uint32_t four;
  std::memcpy(&four, bytes, sizeof four);
  const std::uint64_t word = four | (kOnes * 'a' << 32);  // the upper four bytes plain
  return ((escapeMarks(word) | (word + kOnes) | word) & kHighs) == 0;
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
