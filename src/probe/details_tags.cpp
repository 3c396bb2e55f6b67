// The tag family of the details: the INFO tags of LIST chunks and the bext chunk.
#include <algorithm>

#include "probe/detail_parts.h"
#include "probe/field_text.h"

namespace pelorin::detail {

namespace {

// The bext chunk's body up to its version.
constexpr std::size_t kBextBody = 348;

// A tag's or a field's bytes as text: UTF-8 as it is, anything else one character per byte.
std::string bytesAsText(std::string_view bytes) {
  return fieldText(bytes).text;
}

std::string_view withoutTrailingNuls(std::string_view bytes) {
  while (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
  return bytes;
}

// A fixed-width text field of a bext chunk: its text ends at the first NUL, if any.
std::string fixedField(const char* field, std::size_t width) {
  return bytesAsText(std::string_view(field, std::find(field, field + width, '\0')));
}

// A tag's identifier as one number, for the set of tags met.
std::uint32_t tagKey(std::string_view id) {
  return readU32LE(id.data());
}

// The tags of a LIST chunk of type INFO, each an identifier, a size and text, padded to an even
// size. A tag met again, in this list or an earlier one, keeps its first text.
void readInfo(std::string_view body, ByteOrder order, WaveDetails& d, Found& found) {
  constexpr std::size_t kTagHeader = 8;
  body.remove_prefix(4);  // the list type, "INFO"
  while (body.size() >= kTagHeader) {
    const std::string_view id = body.substr(0, 4);
    const std::uint64_t size = readU32(body.data() + 4, order);
    body.remove_prefix(kTagHeader);
    const std::string_view text = body.substr(0, std::min<std::uint64_t>(size, body.size()));
    body.remove_prefix(std::min<std::uint64_t>(size + (size & 1), body.size()));
    if (!found.tags.insert(tagKey(id)).second) continue;
    InfoTag& tag = d.info.emplace_back();
    std::copy(id.begin(), id.end(), tag.id.begin());
    tag.text = bytesAsText(withoutTrailingNuls(text));
  }
}

}  // namespace

void readList(Reader& reader, const ChunkHeader& chunk, WaveDetails& d, Found& found) {
  const std::string_view body = reader.body(chunk, kMaxListBytes);
  if (body.substr(0, 4) == "INFO") readInfo(body, reader.order, d, found);
}

void readBext(Reader& reader, const ChunkHeader& chunk, WaveDetails& d) {
  const std::array<char, kBextBody> bytes = reader.fixedBody<kBextBody>(chunk);
  const char* body = bytes.data();
  BroadcastFields& b = d.bext.emplace();
  b.description = fixedField(body, 256);
  b.originator = fixedField(body + 256, 32);
  b.originatorReference = fixedField(body + 288, 32);
  b.originationDate = fixedField(body + 320, 10);
  b.originationTime = fixedField(body + 330, 8);
  b.timeReference = readU64(body + 338, reader.order);
  b.version = readU16(body + 346, reader.order);
}

}  // namespace pelorin::detail
