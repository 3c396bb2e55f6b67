#include <algorithm>

#include "probe/detail_parts.h"
#include "probe/field_text.h"
#include "runtime/little_endian.h"

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

bool hasTag(const std::vector<InfoTag>& tags, std::string_view id) {
  return std::any_of(tags.begin(), tags.end(), [&](const InfoTag& tag) {
    return std::string_view(tag.id.data(), tag.id.size()) == id;
  });
}

// The tags of a LIST chunk of type INFO, each an identifier, a size and text, padded to an even
// size. A tag met again keeps its first text.
void readInfo(Reader& reader, const ChunkHeader& chunk, WaveDetails& d) {
  const std::int64_t bodyOffset = chunk.offset + kHeaderLength;
  const auto inFile = static_cast<std::uint64_t>(d.fileLength - bodyOffset);
  const std::size_t length =
      std::min<std::uint64_t>({chunk.size, inFile, static_cast<std::uint64_t>(kMaxListBytes)});
  std::string bytes(length, '\0');
  if (!reader.read(bodyOffset, bytes.data(), length)) return;
  std::string_view body(bytes);
  body.remove_prefix(std::min<std::size_t>(4, body.size()));  // the list type, "INFO"
  while (body.size() >= kHeaderLength) {
    const std::string_view id = body.substr(0, 4);
    const std::uint64_t size = readU32LE(body.data() + 4);
    body.remove_prefix(kHeaderLength);
    const std::string_view text = body.substr(0, std::min<std::uint64_t>(size, body.size()));
    body.remove_prefix(std::min<std::uint64_t>(size + (size & 1), body.size()));
    if (hasTag(d.info, id)) continue;
    InfoTag& tag = d.info.emplace_back();
    std::copy(id.begin(), id.end(), tag.id.begin());
    tag.text = bytesAsText(withoutTrailingNuls(text));
  }
}

}  // namespace

void readList(Reader& reader, const ChunkHeader& chunk, WaveDetails& d) {
  char type[4];
  reader.readBody(chunk, type, sizeof type);
  if (std::string_view(type, 4) == "INFO") readInfo(reader, chunk, d);
}

void readBext(Reader& reader, const ChunkHeader& chunk, WaveDetails& d) {
  char body[kBextBody];
  reader.readBody(chunk, body, sizeof body);
  BroadcastFields& b = d.bext.emplace();
  b.description = fixedField(body, 256);
  b.originator = fixedField(body + 256, 32);
  b.originatorReference = fixedField(body + 288, 32);
  b.originationDate = fixedField(body + 320, 10);
  b.originationTime = fixedField(body + 330, 8);
  b.timeReference = readU64LE(body + 338);
  b.version = readU16LE(body + 346);
}

}  // namespace pelorin::detail
