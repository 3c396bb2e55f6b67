// The decoder of an `id3 ` chunk: an ID3v2 tag whose text frames and comment are decoded from
// their encodings; every other frame is listed by its ID.
#include "probe/metadata.h"
#include "runtime/text.h"

namespace pelorin {

namespace {

constexpr std::size_t kTagHeaderBytes = 10;
constexpr std::size_t kFrameHeaderBytes = 10;  // 6 in version 2.2
constexpr unsigned char kUnsynchronised = 0x80;
constexpr unsigned char kExtendedHeader = 0x40;
constexpr std::string_view kValueSeparator = " / ";

enum class Encoding { kLatin1, kUtf16, kUtf16Big, kUtf8 };

std::uint32_t syncSafe(std::string_view bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value = value << 7 | (numberAt<1>(bytes, i, ByteOrder::kBig) & 0x7F);
  }
  return value;
}

// Undoes unsynchronisation: every 0x00 written after a 0xFF goes.
std::string resynchronised(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == '\xFF' && i + 1 < bytes.size() && bytes[i + 1] == '\0') ++i;
  }
  return out;
}

bool isUtf16(Encoding encoding) {
  return encoding == Encoding::kUtf16 || encoding == Encoding::kUtf16Big;
}

// UTF-16 as UTF-8: a byte-order mark picks the order (big-endian without one, or for
// kUtf16Big); an unpaired surrogate becomes U+FFFD.
void appendUtf16(std::string& out, std::string_view bytes, Encoding encoding) {
  ByteOrder order = ByteOrder::kBig;
  if (encoding == Encoding::kUtf16 && bytes.size() >= 2) {
    const std::uint16_t mark = u16At(bytes, 0, ByteOrder::kBig);
    if (mark == 0xFFFE) order = ByteOrder::kLittle;
    if (mark == 0xFFFE || mark == 0xFEFF) bytes.remove_prefix(2);
  }
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = u16At(bytes, i, order);
    const bool high = unit >= 0xD800 && unit < 0xDC00;
    const char32_t next = i + 3 < bytes.size() ? u16At(bytes, i + 2, order) : 0;
    if (high && next >= 0xDC00 && next < 0xE000) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
      i += 2;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      unit = 0xFFFD;
    }
    appendCodePoint(out, unit);
  }
}

// A string of a frame as UTF-8, NULs kept: they separate values.
std::string decoded(std::string_view bytes, Encoding encoding) {
  std::string out;
  if (isUtf16(encoding)) {
    appendUtf16(out, bytes, encoding);
  } else if (encoding == Encoding::kUtf8) {
    out.assign(bytes);
  } else {
    for (const char c : bytes) appendCodePoint(out, static_cast<unsigned char>(c));
  }
  return out;
}

// The values of a text, NUL-separated, joined by " / "; empty values dropped.
std::string joinedValues(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::string_view value = text.substr(0, text.find('\0'));
    if (!value.empty()) out.append(out.empty() ? "" : kValueSeparator).append(value);
    text.remove_prefix(std::min(value.size() + 1, text.size()));
  }
  return out;
}

// Where the first string of `bytes` ends, after its terminator (two NULs, aligned, in UTF-16).
std::size_t afterTerminator(std::string_view bytes, Encoding encoding) {
  if (!isUtf16(encoding)) return std::min(bytes.find('\0'), bytes.size() - 1) + 1;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == '\0' && bytes[i + 1] == '\0') return i + 2;
  }
  return bytes.size();
}

// A text frame's value, or a comment's text after its language and description.
std::string frameText(std::string_view id, std::string_view data, BodyTexts& texts) {
  if (data.empty()) return {};
  const auto encoding = static_cast<Encoding>(std::min<unsigned char>(data[0], 3));
  data.remove_prefix(1);
  if (id == "COMM") {
    data = slice(data, 3, data.size());
    data = slice(data, data.empty() ? 0 : afterTerminator(data, encoding), data.size());
  }
  return texts(joinedValues(decoded(data, encoding)));
}

bool isFrameId(std::string_view id) {
  for (const char c : id) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return !id.empty();
}

bool isDecoded(std::string_view id) {
  return id == "COMM" || (id[0] == 'T' && id != "TXXX");
}

// What a version 2.3 or 2.4 frame holds once its flags are applied; none when it is
// compressed or encrypted.
std::optional<std::string> frameData(std::string_view data, std::uint16_t flags, int major,
                                     bool tagUnsynchronised) {
  const bool four = major == 4;
  if (flags & (four ? 0x000C : 0x00C0)) return std::nullopt;
  if (flags & (four ? 0x0040 : 0x0020)) data = slice(data, 1, data.size());  // group ID
  if (four && (flags & 0x0001)) data = slice(data, 4, data.size());          // data length
  if (four && ((flags & 0x0002) || tagUnsynchronised)) return resynchronised(data);
  return std::string(data);
}

void addFrame(Id3& tag, std::string_view id, std::optional<std::string> text) {
  if (!text) {
    tag.otherFrames.emplace_back(id);
    return;
  }
  for (const auto& frame : tag.frames) {
    if (frame.first == id) return;
  }
  tag.frames.emplace_back(id, std::move(*text));
}

// The frames of a version 2.3 or 2.4 tag's body, or the IDs of a version 2.2 one.
void decodeFrames(std::string_view frames, int major, bool unsynchronised, BodyTexts& texts,
                  Id3& tag) {
  const std::size_t idBytes = major == 2 ? 3 : 4;
  const std::size_t headerBytes = major == 2 ? 6 : kFrameHeaderBytes;
  while (frames.size() >= headerBytes && isFrameId(frames.substr(0, idBytes))) {
    const std::string_view id = frames.substr(0, idBytes);
    const std::uint32_t size = major == 2   ? u32At(frames, 2, ByteOrder::kBig) & 0xFFFFFF
                               : major == 4 ? syncSafe(frames.substr(4))
                                            : u32At(frames, 4, ByteOrder::kBig);
    const std::uint16_t flags = major == 2 ? 0 : u16At(frames, 8, ByteOrder::kBig);
    const std::string_view data = slice(frames, headerBytes, size);
    frames.remove_prefix(std::min<std::uint64_t>(headerBytes + std::uint64_t{size}, frames.size()));
    if (major == 2 || !isDecoded(id)) {
      tag.otherFrames.emplace_back(id);
      continue;
    }
    const std::optional<std::string> content = frameData(data, flags, major, unsynchronised);
    addFrame(tag, id, content ? std::optional(frameText(id, *content, texts)) : std::nullopt);
  }
}

}  // namespace

Id3 decodeId3(std::string_view body, BodyTexts& texts) {
  Id3 tag;
  const auto major = static_cast<int>(numberAt<1>(body, 3, ByteOrder::kBig));
  const auto revision = static_cast<int>(numberAt<1>(body, 4, ByteOrder::kBig));
  tag.version = "2." + std::to_string(major) + "." + std::to_string(revision);
  if (body.substr(0, 3) != "ID3" || major < 2 || major > 4) return tag;
  const auto flags = numberAt<1>(body, 5, ByteOrder::kBig);
  std::string_view frames = slice(body, kTagHeaderBytes, syncSafe(slice(body, 6, 4)));
  std::string whole;
  if ((flags & kUnsynchronised) && major < 4) {
    whole = resynchronised(frames);
    frames = whole;
  }
  if ((flags & kExtendedHeader) && major > 2) {
    const std::uint32_t size =
        major == 4 ? syncSafe(frames) : 4 + u32At(frames, 0, ByteOrder::kBig);
    frames = slice(frames, size, frames.size());
  }
  decodeFrames(frames, major, (flags & kUnsynchronised) != 0, texts, tag);
  return tag;
}

}  // namespace pelorin
