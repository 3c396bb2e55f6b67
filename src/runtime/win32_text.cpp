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

}  // namespace

std::optional<std::wstring> toWide(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  bool afterLead = false;  // the last character was a lead surrogate on its own
  while (!text.empty()) {
    const Utf8Character d = decodeUtf8(text, true);  // WTF-8: surrogates allowed
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
