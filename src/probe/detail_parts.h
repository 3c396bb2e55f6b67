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
// further read is made and every read gives zeros. A body under kWindow bytes past what the
// file holds in memory is read with the bytes after it, kWindow in all, and the reads that
// follow inside them are served from memory: the details read many small bodies close together,
// and one read of their neighbourhood costs the device less than one read for each. Only a
// small body's read does this, so a walk over large chunks reads no more than it uses.
class Reader {
 public:
  explicit Reader(ByteSource& file) : file_(file) {}

  // Fills `out` with `count` bytes at `offset`, zeros past the end; false once the device failed.
  // `smallBody`: the read is of a body under kWindow bytes (see above).
  bool read(std::int64_t offset, char* out, std::size_t count, bool smallBody = false);

  // Every read of a chunk's body: fills `out` with its first bytes, at most `cap`, no more than
  // it declares or the file holds, and gives their count; 0 after a failed read.
  std::size_t readBody(const ChunkHeader& chunk, char* out, std::size_t cap);

  // The first bytes of `chunk`'s body, as readBody() gives them. Valid until the next call.
  std::string_view body(const ChunkHeader& chunk, std::size_t cap);

  // The first N bytes of `chunk`'s body, zeros past what readBody() gives.
  template <std::size_t N>
  std::array<char, N> fixedBody(const ChunkHeader& chunk) {
    std::array<char, N> out{};
    readBody(chunk, out.data(), N);
    return out;
  }

  ByteOrder order = ByteOrder::kLittle;
  bool failed() const { return failed_; }
  std::int64_t failedAt() const { return failedAt_; }

 private:
  static constexpr std::size_t kWindow = 64 * 1024;

  // How many bytes of `chunk`'s body a read of at most `cap` gives.
  std::size_t bodyLength(const ChunkHeader& chunk, std::size_t cap) const;
  // Whether the window holds every byte of the read, those past the end of the file being
  // zeros; fills `out` when it does.
  bool fromWindow(std::int64_t offset, char* out, std::size_t count) const;
  // Reads the window from `offset` on; false when the device failed.
  bool fillWindow(std::int64_t offset);
  bool readFromFile(std::int64_t offset, char* out, std::size_t count, bool smallBody);

  ByteSource& file_;
  std::string buffer_;
  std::string window_;  // bytes of the file from windowAt_ on, up to kWindow or its end
  std::int64_t windowAt_ = 0;
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

// The tag family: LIST, its INFO tags here, its labels, notes and regions in chunk_bodies.h.
void readList(Reader& reader, const ChunkHeader& chunk, WaveDetails& d, Found& found);

// The walk: every chunk header from the first, each body read through readBodyOf().
void walkChunks(Reader& reader, WaveDetails& d, Found& found);

// What the walk and the keeping of a piped file (wave_stream.cpp) both go by.
bool isPrintableId(const char* id);
// A chunk the walk knows by its identifier.
bool isKnownChunk(std::string_view id);
bool isSixtyFour(Container container);
// The ds64 table's size of the chunk `id`: its data size for "data", else its table's entry.
std::optional<std::uint64_t> ds64SizeOf(const Ds64& ds64, const std::array<char, 4>& id);
// Bytes looked at where the pad byte after an odd body should be: the header that may start
// there, and the one that starts after the pad byte.
inline constexpr std::size_t kPadLook = 9;
// Whether the writer left out the pad byte after an odd body: given the kPadLook bytes at the
// pad's place and the bytes of the file left from there, the header after the pad is not
// printable while the one at its place is. The walk then goes on from the pad's place.
bool padByteLeftOut(const char* bytes, std::int64_t left);
ChunkLayout layoutOf(Container container);
std::int64_t firstChunkOffset(Container container);
// Reads the container's header; whether it holds a WAVE form. Sets the byte order of the reads
// that follow.
bool readContainer(Reader& reader, WaveDetails& d);

}  // namespace pelorin::detail
