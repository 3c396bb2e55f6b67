#include "probe/chunk_walk.h"

#include "runtime/file.h"
#include "runtime/little_endian.h"

namespace pelorin {

namespace {

constexpr std::int64_t kFirstChunkPosition = 13;
constexpr std::int64_t kChunkHeaderLength = 8;

bool headerFits(std::int64_t position, std::int64_t fileLength) {
  return position + kChunkHeaderLength - 1 <= fileLength;
}

}  // namespace

ChunkPositions WalkChunks(RuntimeContext& ctx, std::int16_t fileNumber, std::int64_t fileLength) {
  ChunkPositions found;
  std::int64_t position = kFirstChunkPosition;
  for (int examined = 0; examined < kMaxChunkHeaders && headerFits(position, fileLength);
       ++examined) {
    FixedText<kChunkHeaderLength> header;
    FileSeek(ctx, fileNumber, position);
    GetText(ctx, fileNumber, header);
    const std::string_view id = header.view().substr(0, 4);
    if (found.fmt == 0 && id == "fmt ") found.fmt = position;
    if (found.data == 0 && id == "data") found.data = position;
    if (found.fmt != 0 && found.data != 0) break;
    const std::uint32_t size = readU32LE(header.bytes.data() + 4);
    position += kChunkHeaderLength + size + (size & 1);
  }
  return found;
}

}  // namespace pelorin
