#include "probe/chunk_walk.h"

#include "probe/chunk_iterator.h"
#include "runtime/file.h"

namespace pelorin {

namespace {

constexpr std::int64_t kFirstChunkOffset = 12;

// Chunk headers read through the runtime, each as a positioning and a read of the binary file
// `number`. A read fails when it raises an error; the error object then holds that error, and
// otherwise what it held before.
class RuntimeHeaders final : public ChunkHeaderSource {
 public:
  RuntimeHeaders(RuntimeContext& ctx, std::int16_t number) : ctx_(ctx), number_(number) {}

  bool read(std::int64_t offset, char* out, std::size_t count) override {
    // With no error standing, as is usual, a read that raises none leaves the object as it was.
    if (ctx_.Err.Number == 0) return readAt(offset, out, count);
    const ErrorObject before = ctx_.Err;
    ctx_.Err.Clear();
    if (!readAt(offset, out, count)) return false;
    ctx_.Err = before;
    return true;
  }

 private:
  bool readAt(std::int64_t offset, char* out, std::size_t count) {
    FileSeek(ctx_, number_, offset + 1);
    GetBytes(ctx_, number_, out, count);
    return ctx_.Err.Number == 0;
  }

  RuntimeContext& ctx_;
  std::int16_t number_;
};

}  // namespace

ChunkPositions WalkChunks(RuntimeContext& ctx, std::int16_t fileNumber, std::int64_t fileLength) {
  ChunkPositions found;
  RuntimeHeaders headers(ctx, fileNumber);
  ChunkIterator walk(kRiffLayout, headers, kFirstChunkOffset, fileLength);
  WalkedChunk chunk;
  for (int examined = 0; examined < kMaxChunkHeaders && walk.next(chunk); ++examined) {
    const std::string_view id(chunk.id.data(), chunk.id.size());
    const std::int64_t position = chunk.offset + 1;
    if (found.fmt == 0 && id == "fmt ") found.fmt = position;
    if (found.data == 0 && id == "data") found.data = position;
    if (found.fmt != 0 && found.data != 0) break;
  }
  return found;
}

}  // namespace pelorin
