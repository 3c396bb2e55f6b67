#pragma once

// What the readers of the chunk families share: the reads of one file, what the walk found on
// its way, and each family's reader. Used by details.cpp, details_format.cpp and
// details_tags.cpp only.
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "probe/details.h"

namespace pelorin::detail {

inline constexpr std::int64_t kHeaderLength = 8;
inline constexpr std::uint32_t kAllOnes = 0xFFFFFFFF;

bool isId(const std::array<char, 4>& id, std::string_view name);

// Reads of one file that remember a failure of the device: the walk stops at the first one.
class Reader {
 public:
  explicit Reader(ByteSource& file) : file_(file) {}

  // Fills `out` with `count` bytes at `offset`, zeros past the end; false once the device failed.
  bool read(std::int64_t offset, char* out, std::size_t count) {
    if (!failed_ && file_.read(offset, out, count)) return true;
    failed_ = true;
    std::memset(out, 0, count);
    return false;
  }

  // Fills `out` (of `room` bytes) with the first bytes of `chunk`'s body, no more than it
  // declares; the rest of `out` is zeros.
  bool readBody(const ChunkHeader& chunk, char* out, std::size_t room) {
    std::memset(out, 0, room);
    const std::size_t count = std::min<std::size_t>(room, chunk.size);
    return read(chunk.offset + kHeaderLength, out, count);
  }

  bool failed() const { return failed_; }

 private:
  ByteSource& file_;
  bool failed_ = false;
};

// What the walk found on the way that only later steps need.
struct Found {
  std::optional<std::int64_t> fmtOffset;
  std::optional<std::uint64_t> ds64RiffSize;
  std::optional<std::uint64_t> ds64DataSize;
  std::optional<std::uint64_t> ds64SampleCount;
  std::optional<std::uint32_t> factCount;
};

inline void setWarning(WaveDetails& d, Warning warning, bool applies = true) {
  if (applies) d.warnings.set(static_cast<std::size_t>(warning));
}

// The format family: "fmt ", "ds64", "fact", and what follows from them.
void readFormat(Reader& reader, const ChunkHeader& chunk, WaveDetails& d);
void readDs64(Reader& reader, const ChunkHeader& chunk, Found& found);
void readFact(Reader& reader, const ChunkHeader& chunk, Found& found);
void workOutDuration(WaveDetails& d, const Found& found);
void checkFormat(WaveDetails& d);

// The tag family: LIST (its INFO tags) and "bext".
void readList(Reader& reader, const ChunkHeader& chunk, WaveDetails& d);
void readBext(Reader& reader, const ChunkHeader& chunk, WaveDetails& d);

}  // namespace pelorin::detail
