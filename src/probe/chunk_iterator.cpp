#include "probe/chunk_iterator.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace pelorin {

namespace {

// The last twelve bytes of the GUIDs of Wave64's chunks: of those named after a RIFF chunk
// ("fmt ", "data", ...), and of its own "riff" and "list".
constexpr unsigned char kChunkGuidTail[12] = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1,
                                              0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
constexpr unsigned char kRiffGuidTail[12] = {0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6,
                                             0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};

bool tailIs(const Guid& guid, const unsigned char (&tail)[12]) {
  return std::equal(std::begin(tail), std::end(tail), guid.begin() + 4);
}

// A Wave64 header's identifier: the FOURCC its GUID carries, "LIST" for the list GUID.
void nameFromGuid(const char* header, WalkedChunk& chunk) {
  Guid& guid = chunk.guid.emplace();
  std::copy(header, header + 16, guid.begin());
  std::copy(header, header + 4, chunk.id.begin());
  chunk.named = tailIs(guid, kChunkGuidTail);
  if (guid == wave64Guid("list")) {
    chunk.id = {'L', 'I', 'S', 'T'};
    chunk.named = true;
  }
}

}  // namespace

Guid wave64Guid(const char (&fourcc)[5]) {
  const std::string_view name(fourcc, 4);
  const bool riffOwn = name == "riff" || name == "list";
  Guid guid{};
  std::copy(name.begin(), name.end(), guid.begin());
  const auto& tail = riffOwn ? kRiffGuidTail : kChunkGuidTail;
  std::copy(std::begin(tail), std::end(tail), guid.begin() + 4);
  if (name == "list") guid[4] = 0x2F;
  return guid;
}

std::int64_t ChunkIterator::offsetAfter(std::int64_t bodyOffset, std::uint64_t size) const {
  const auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const auto alignment = static_cast<std::uint64_t>(layout_.alignment);
  const std::uint64_t room = limit - static_cast<std::uint64_t>(bodyOffset);
  if (room < alignment || size > room - alignment) return std::numeric_limits<std::int64_t>::max();
  const std::uint64_t padded = (size + alignment - 1) / alignment * alignment;
  return bodyOffset + static_cast<std::int64_t>(padded);
}

bool ChunkIterator::next(WalkedChunk& chunk) {
  if (atEnd()) return false;
  char header[24];
  const auto length = static_cast<std::size_t>(layout_.headerLength);
  if (!source_.read(offset_, header, length)) {
    failed_ = true;
    return false;
  }
  const bool wave64 = length == 24;
  chunk.guid.reset();
  chunk.named = true;
  if (wave64) {
    nameFromGuid(header, chunk);
  } else {
    std::copy(header, header + 4, chunk.id.begin());
  }
  const std::uint64_t field =
      wave64 ? readU64(header + 16, layout_.order) : readU32(header + 4, layout_.order);
  const auto headerSize = static_cast<std::uint64_t>(layout_.headerLength);
  chunk.offset = offset_;
  chunk.bodyOffset = offset_ + layout_.headerLength;
  chunk.bodySize = !layout_.sizeCountsHeader ? field : field > headerSize ? field - headerSize : 0;
  offset_ = offsetAfter(chunk.bodyOffset, chunk.bodySize);
  return true;
}

}  // namespace pelorin
