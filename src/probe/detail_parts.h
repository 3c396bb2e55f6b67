#pragma once

// What the readers of the chunk families share: the reads of one file, what the walk found on
// its way, and each family's reader. Used by the details' own files only.
#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "probe/details.h"

namespace pelorin::detail {

inline constexpr std::uint32_t kAllOnes = 0xFFFFFFFF;

bool isId(const std::array<char, 4>& id, std::string_view name);

// Reads of one file that remember a failure of the device: after the first failed read, no
// further read is made and every read gives zeros.
class Reader {
 public:
  explicit Reader(ByteSource& file) : file_(file) {}

  // Fills `out` with `count` bytes at `offset`, zeros past the end; false once the device failed.
  bool read(std::int64_t offset, char* out, std::size_t count);

  // The first bytes of `chunk`'s body, at most `cap`, no more than it declares or the file
  // holds; empty after a failed read. Valid until the next call.
  std::string_view body(const ChunkHeader& chunk, std::size_t cap);

  // The first N bytes of `chunk`'s body, zeros past what body() gives.
  template <std::size_t N>
  std::array<char, N> fixedBody(const ChunkHeader& chunk) {
    std::array<char, N> out{};
    const std::string_view bytes = body(chunk, N);
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return out;
  }

  ByteOrder order = ByteOrder::kLittle;
  bool failed() const { return failed_; }
  std::int64_t failedAt() const { return failedAt_; }

 private:
  ByteSource& file_;
  std::string buffer_;
  bool failed_ = false;
  std::int64_t failedAt_ = 0;
};

// A ds64 chunk: its three sizes and its table of other chunks' sizes.
struct Ds64 {
  std::int64_t offset = 0;
  std::uint64_t riffSize = 0;
  std::uint64_t dataSize = 0;
  std::uint64_t sampleCount = 0;
  std::vector<std::pair<std::array<char, 4>, std::uint64_t>> table;
};

// What the walk found on the way that only later steps need.
struct Found {
  std::optional<std::int64_t> fmtOffset;
  std::optional<Ds64> ds64;
  std::optional<std::uint32_t> factCount;
  std::int64_t factOffset = 0;
  std::bitset<16> seen;                    // the chunks that count once, by kSingleChunks
  std::unordered_set<std::uint32_t> tags;  // the INFO tags met, by identifier
};

// Records `warning` with no place or values where `applies`.
inline void warnIf(WaveDetails& d, bool applies, Warning warning, std::int64_t offset,
                   std::optional<std::string> chunk = std::nullopt, FindingValue expected = {},
                   FindingValue actual = {}) {
  if (applies) d.warn(warning, offset, std::move(chunk), std::move(expected), std::move(actual));
}

// The format family: "fmt ", "ds64", "fact", and what follows from them.
void readFormat(Reader& reader, const ChunkHeader& chunk, WaveDetails& d);
void readDs64(Reader& reader, const ChunkHeader& chunk, Found& found);
void readFact(Reader& reader, const ChunkHeader& chunk, Found& found);
void workOutDuration(WaveDetails& d, const Found& found);
void checkFormat(WaveDetails& d, const Found& found);

// The tag family: LIST (its INFO tags) and "bext".
void readList(Reader& reader, const ChunkHeader& chunk, WaveDetails& d, Found& found);
void readBext(Reader& reader, const ChunkHeader& chunk, WaveDetails& d);

// The walk: every chunk header from the first, each body read through readBodyOf().
void walkChunks(Reader& reader, WaveDetails& d, Found& found);

}  // namespace pelorin::detail
