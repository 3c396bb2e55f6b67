#include "runtime/text.h"

#include <algorithm>

namespace pelorin {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

void appendControlPicture(Text& out, unsigned char code) {
  appendCodePoint(out, code == 0x7F ? 0x2421 : 0x2400 + code);
}

// Whether a renderer would act on `c` rather than show it: C1 controls (U+0085 breaks lines,
// U+009B starts a terminal's control sequence), the line and paragraph separators and the
// bidirectional controls, which reorder what follows them.
bool isInvisibleControl(char32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void appendCodePointName(Text& out, char32_t c) {
  constexpr char kHex[] = "0123456789ABCDEF";
  out.append("<U+");
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
  out.push_back('>');
}

}  // namespace

Utf8Character decodeUtf8(std::string_view text, bool surrogatesAllowed) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char b0 = byte(0);
  if (b0 < 0x80) return {b0, 1};
  std::size_t length;
  char32_t c;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    c = b0 & 0x0F;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED && !surrogatesAllowed) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    c = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return {};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {};
    c = (c << 6) | (byte(i) & 0x3F);
  }
  return {c, length};
}

char* writeCodePoint(char* to, char32_t c) {
  const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
  if (c < 0x80) {
    *to++ = byte(c);
  } else if (c < 0x800) {
    *to++ = byte(0xC0 | (c >> 6));
    *to++ = byte(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *to++ = byte(0xE0 | (c >> 12));
    *to++ = byte(0x80 | ((c >> 6) & 0x3F));
    *to++ = byte(0x80 | (c & 0x3F));
  } else {
    *to++ = byte(0xF0 | (c >> 18));
    *to++ = byte(0x80 | ((c >> 12) & 0x3F));
    *to++ = byte(0x80 | ((c >> 6) & 0x3F));
    *to++ = byte(0x80 | (c & 0x3F));
  }
  return to;
}

void appendCodePoint(Text& out, char32_t c) {
  std::array<char, 4> bytes;
  out.append(bytes.data(),
             static_cast<std::size_t>(writeCodePoint(bytes.data(), c) - bytes.data()));
}

bool isUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t length = decodeUtf8(bytes).length;
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

void appendDisplayLine(Text& out, std::string_view text) {
  std::size_t plainFrom = 0;  // characters shown as they are go in a run at a time
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      ++i;
      continue;
    }
    const Utf8Character character = c < 0x80 ? Utf8Character{c, 1} : decodeUtf8(text.substr(i));
    if (character.length == 0) {  // not UTF-8: each such byte shows as U+FFFD
      out.append(text, plainFrom, i - plainFrom);
      out.append(kReplacementCharacter);
      plainFrom = ++i;
      continue;
    }
    if (c >= 0x80 && !isInvisibleControl(character.c)) {
      i += character.length;
      continue;
    }
    out.append(text, plainFrom, i - plainFrom);
    if (c < 0x80) {
      appendControlPicture(out, c);
    } else {
      appendCodePointName(out, character.c);
    }
    i += character.length;
    plainFrom = i;
  }
  out.append(text, plainFrom);
}

void appendDisplayText(Text& out, std::string_view prompt,
                       std::span<const std::size_t> lineBreaks) {
  std::size_t lineStart = 0;
  for (const std::size_t lineBreak : lineBreaks) {
    appendDisplayLine(out, prompt.substr(lineStart, lineBreak - lineStart));
    out.push_back('\n');
    lineStart = lineBreak + 2;  // past the CR LF
  }
  appendDisplayLine(out, prompt.substr(lineStart));
}

// Writes `text` at `to` with the room its writer asks for, into `out` grown by that room and
// cut back to what was written.
template <typename Writer>
void appendWritten(Text& out, std::size_t room, Writer write) {
  const std::size_t start = out.size();
  out.resize(start + room);
  char* const from = out.data() + start;
  out.resize(start + static_cast<std::size_t>(write(from) - from));
}

char* writeBytesText(char* to, std::string_view bytes) {
  for (const char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x80) {
      *to++ = byte;
    } else {
      to = writeCodePoint(to, c);
    }
  }
  return to;
}

void appendBytesText(Text& out, std::string_view bytes) {
  appendWritten(out, 2 * bytes.size(), [&](char* to) { return writeBytesText(to, bytes); });
}

Text bytesToText(std::string_view bytes) {
  Text out;
  appendBytesText(out, bytes);
  return out;
}

char* writePathText(char* to, std::string_view path) {
  while (!path.empty()) {
    std::size_t ascii = 0;  // the common case, copied in one go
    while (ascii < path.size() && static_cast<unsigned char>(path[ascii]) < 0x80) ++ascii;
    to = std::copy_n(path.data(), ascii, to);
    path.remove_prefix(ascii);
    if (path.empty()) break;
    const std::size_t length = decodeUtf8(path).length;
    if (length == 0) {  // each byte of what is not UTF-8 shows as U+FFFD
      to = std::copy(kReplacementCharacter.begin(), kReplacementCharacter.end(), to);
      path.remove_prefix(1);
    } else {
      to = std::copy_n(path.data(), length, to);
      path.remove_prefix(length);
    }
  }
  return to;
}

void appendPathText(Text& out, std::string_view path) {
  appendWritten(out, 3 * path.size(), [&](char* to) { return writePathText(to, path); });
}

std::int32_t InStr(std::int32_t start, std::string_view searched, std::string_view sought) {
  if (start < 1 || static_cast<std::size_t>(start) > searched.size() + 1) return 0;
  const std::size_t found = searched.find(sought, static_cast<std::size_t>(start) - 1);
  return found == std::string_view::npos ? 0 : static_cast<std::int32_t>(found) + 1;
}

}  // namespace pelorin
