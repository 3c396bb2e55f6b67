#pragma once

#include <cstdint>

#include "runtime/context.h"

namespace pelorin {

/// Most chunk headers a walk examines, the matching one included.
inline constexpr int kMaxChunkHeaders = 1024;

/// 1-based file positions of the first "fmt " and "data" chunks; 0 for one not found.
struct ChunkPositions {
  std::int64_t fmt = 0;
  std::int64_t data = 0;
};

/// Walks the RIFF chunk list of the binary file `fileNumber` from position 13, whatever the
/// first 12 bytes hold: an 8-byte header (identifier, then little-endian unsigned size), the next
/// chunk after the body and one pad byte when the size is odd. Stops once both chunks are found,
/// at a header that does not fit in `fileLength` bytes, after kMaxChunkHeaders headers, or at
/// the first read that fails, which leaves its error in the error object. Moves the file's read
/// position.
ChunkPositions WalkChunks(RuntimeContext& ctx, std::int16_t fileNumber, std::int64_t fileLength);

}  // namespace pelorin
