// The tag family of the details: the INFO tags of LIST chunks; the labels of LIST/adtl chunks
// and the bext chunk are decoded with the other metadata (chunk_bodies.h).
#include <algorithm>

#include "probe/chunk_bodies.h"
#include "probe/detail_parts.h"

namespace pelorin::detail {

namespace {

// A tag's identifier as one number, for the set of tags met.
std::uint32_t tagKey(std::string_view id) {
  return readU32LE(id.data());
}

// The tags of a LIST chunk of type INFO, each an identifier, a size and text ending at its
// first NUL, padded to an even size. A tag met again, in this list or an earlier one, keeps its
// first text. Tags and texts count against the record's allowance (kMaxRecordWeight): those it
// cannot pay for give body-not-read.
void readInfo(std::string_view body, const ChunkHeader& chunk, ByteOrder order, WaveDetails& d,
              Found& found) {
  constexpr std::size_t kTagHeader = 8;
  body.remove_prefix(4);  // the list type, "INFO"
  BodyTexts texts(d.metadata.allowance);
  bool full = false;
  while (body.size() >= kTagHeader) {
    const std::string_view id = body.substr(0, 4);
    const std::uint64_t size = readU32(body.data() + 4, order);
    body.remove_prefix(kTagHeader);
    const std::string_view text = body.substr(0, std::min<std::uint64_t>(size, body.size()));
    body.remove_prefix(std::min<std::uint64_t>(size + (size & 1), body.size()));
    if (found.tags.count(tagKey(id))) continue;
    if (!texts.affordItem()) {
      full = true;
      break;
    }
    found.tags.insert(tagKey(id));
    InfoTag& tag = d.info.emplace_back();
    std::copy(id.begin(), id.end(), tag.id.begin());
    tag.text = texts(untilNul(text));
  }
  if (full || texts.cut()) d.warn(Warning::kBodyNotRead, chunk.offset, "LIST");
}

}  // namespace

void readList(Reader& reader, const ChunkHeader& chunk, WaveDetails& d, Found& found) {
  const std::array<char, 4> type = reader.fixedBody<4>(chunk);
  const std::string_view listType(type.data(), type.size());
  if (listType != "INFO" && !isAssociatedDataList(listType)) return;
  const std::string_view body = readKeptBody(reader, chunk, kMaxListBytes, d);
  if (body.size() < 4) return;
  if (listType == "INFO") return readInfo(body, chunk, reader.order, d, found);
  decodeMetadataBody(chunk, body, reader.order, d);
}

}  // namespace pelorin::detail
