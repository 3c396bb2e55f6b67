#include "runtime/win32_text.h"

#include "runtime/text.h"

namespace pelorin {

namespace {

bool isLeadSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

bool isTrailSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// One character of UTF-8 or WTF-8: its number and its length in bytes (0 when the bytes are
// neither).
struct Decoded {
  char32_t c;
  std::size_t length;
};

// The character at the start of `text`: UTF-8's rules (no overlong forms, nothing above
// U+10FFFF), with the surrogates U+D800 to U+DFFF allowed as WTF-8 allows them.
Decoded decodeOne(std::string_view text) {
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
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    c = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return {0, 0};
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {0, 0};
    c = (c << 6) | (byte(i) & 0x3F);
  }
  return {c, length};
}

}  // namespace

std::optional<std::wstring> toWide(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  bool afterLead = false;  // the last character was a lead surrogate on its own
  while (!text.empty()) {
    const Decoded d = decodeOne(text);
    if (d.length == 0 || (afterLead && isTrailSurrogate(d.c))) return std::nullopt;
    afterLead = isLeadSurrogate(d.c);
    if (d.c >= 0x10000) {
      wide.push_back(static_cast<wchar_t>(0xD800 + ((d.c - 0x10000) >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + ((d.c - 0x10000) & 0x3FF)));
    } else {
      wide.push_back(static_cast<wchar_t>(d.c));
    }
    text.remove_prefix(d.length);
  }
  return wide;
}

std::string toUtf8(std::wstring_view wide) {
  std::string text;
  text.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (isLeadSurrogate(c) && i + 1 < wide.size() && isTrailSurrogate(wide[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    }
    appendCodePoint(text, c);
  }
  return text;
}

}  // namespace pelorin
