#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/byte_order.h"

namespace pelorin {

/// A 16-byte identifier as a Wave64 file stores it.
using Guid = std::array<unsigned char, 16>;

/// How a container lays out its chunk headers: an identifier (a FOURCC, or a GUID in Wave64),
/// then a size field, the body, and padding up to the next multiple of `alignment`.
struct ChunkLayout {
  std::int64_t headerLength;  // 8 (FOURCC and 32-bit size) or 24 (GUID and 64-bit size)
  ByteOrder order;
  std::int64_t alignment;  // 2 in the RIFF family, 8 in Wave64
  bool sizeCountsHeader;   // Wave64's size counts its own header
};

inline constexpr ChunkLayout kRiffLayout{8, ByteOrder::kLittle, 2, false};
inline constexpr ChunkLayout kRifxLayout{8, ByteOrder::kBig, 2, false};
inline constexpr ChunkLayout kWave64Layout{24, ByteOrder::kLittle, 8, true};

/// One chunk header as the walk meets it.
struct WalkedChunk {
  std::array<char, 4> id{};  // the FOURCC; in Wave64 the one its GUID carries, see `named`
  std::optional<Guid> guid;  // Wave64 only
  bool named = true;         // false for a Wave64 GUID that carries no FOURCC
  std::int64_t offset = 0;   // of the header, from the file's start
  std::int64_t bodyOffset = 0;
  std::uint64_t bodySize = 0;  // as declared, without the header
};

/// Where an iterator reads chunk headers from.
class ChunkHeaderSource {
 public:
  virtual ~ChunkHeaderSource() = default;
  /// Fills `out` with `count` bytes at `offset`, zeros past the end of the file; false when the
  /// read failed.
  virtual bool read(std::int64_t offset, char* out, std::size_t count) = 0;
};

/// Walks a container's chunk headers from a first offset up to an end: each step reads one
/// header and moves past its body and padding. The caller's policy may move the walk elsewhere
/// with resumeAt() (a size from elsewhere, a missing pad byte). Every read is of one header; no
/// body is read and nothing is allocated.
class ChunkIterator {
 public:
  ChunkIterator(const ChunkLayout& layout, ChunkHeaderSource& source, std::int64_t first,
                std::int64_t end)
      : layout_(layout), source_(source), offset_(first), end_(end) {}

  /// Reads the header at the current offset into `chunk` and moves to the offset after its
  /// body, aligned. False, leaving `chunk` as it was, when no whole header fits before the end
  /// or the read failed (failed() then says so).
  bool next(WalkedChunk& chunk);

  /// Where the walk goes on: the offset of the next header it reads.
  std::int64_t offset() const { return offset_; }
  /// Makes the next header the one at `offset`.
  void resumeAt(std::int64_t offset) { offset_ = offset; }
  /// The offset after a body of `size` bytes at `bodyOffset` and its padding; a value past any
  /// file's end where that would not fit in 64 bits.
  std::int64_t offsetAfter(std::int64_t bodyOffset, std::uint64_t size) const;

  /// Whether no whole header fits between the current offset and the end.
  bool atEnd() const { return offset_ < 0 || offset_ > end_ - layout_.headerLength; }
  bool failed() const { return failed_; }

 private:
  ChunkLayout layout_;
  ChunkHeaderSource& source_;
  std::int64_t offset_;
  std::int64_t end_;
  bool failed_ = false;
};

/// Wave64's GUID of `fourcc` ("riff", "list", "wave", "fmt ", "data", ...).
Guid wave64Guid(const char (&fourcc)[5]);

}  // namespace pelorin
