#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "runtime/md5.h"
#include "runtime/opened_file.h"

namespace pelorin {

/// Bytes that can be read once, in order: a pipe.
class SequentialSource {
 public:
  virtual ~SequentialSource() = default;

  /// Reads up to `size` bytes into `out`. Returns the bytes read, 0 at the end, or -1 when the
  /// read failed (nothing is read after that).
  virtual std::int64_t read(char* out, std::size_t size) = 0;
};

/// Bytes of a stream kept, from `offset` on.
struct KeptSegment {
  std::int64_t offset = 0;
  std::string bytes;
};

/// A byte count that stands for "to the end of the stream".
inline constexpr std::uint64_t kToTheEnd = std::numeric_limits<std::uint64_t>::max();

/// Reads a sequential source once, front to back, keeping the byte ranges its caller asks for
/// and counting the others as they pass (hashing them too where asked), then gives the whole as
/// an opened file of kind kStream. Its caller asks for ranges in the order of their offsets;
/// bytes that passed before a range was asked for are not kept. At most `keepCap` bytes are
/// kept: past that, bytes are counted only. Its memory is what it keeps and a 64 KiB buffer.
///
/// The opened file serves the kept bytes. A read of a byte that was not kept fails, so that a
/// caller who did not ask for what it reads sees a read error rather than wrong bytes; bytes
/// past the end of the stream read as zeros. Where a read of the source failed at offset X, X
/// is the file's length and reads at or past X fail.
class StreamKeeper {
 public:
  StreamKeeper(SequentialSource& source, std::size_t keepCap);
  ~StreamKeeper();
  StreamKeeper(const StreamKeeper&) = delete;
  StreamKeeper& operator=(const StreamKeeper&) = delete;

  /// Reads on to `offset + length` (kToTheEnd: to the end of the stream), keeping the bytes from
  /// `offset` on that had not passed yet.
  void keep(std::int64_t offset, std::uint64_t length);

  /// Hashes the `length` bytes at `offset` (kToTheEnd: to the end of the stream) as they pass;
  /// bytes of them that passed already are hashed from those kept. Once per keeper.
  void hash(std::int64_t offset, std::uint64_t length);

  /// Fills `out` with the `count` bytes at `offset`, kept by an earlier keep(), zeros past the
  /// end of the stream;
  /// false when one of them was not kept, or lies at or past a failed read.
  bool copy(std::int64_t offset, char* out, std::size_t count) const;

  /// The bytes read so far.
  std::int64_t position() const { return position_; }
  /// Whether the stream has ended (or failed): position() is then its length.
  bool ended() const { return ended_; }
  /// The bytes kept so far.
  std::size_t kept() const { return keptBytes_; }

  /// Reads the rest of the stream, counting it, and gives the opened file.
  OpenedFile finish();

 private:
  struct HashedRange;

  bool refill();
  void pass(std::int64_t to, std::int64_t keepFrom);
  void keepPassing(const char* bytes, std::size_t count, std::int64_t keepFrom,
                   std::int64_t keepTo);
  void hashPassing(const char* bytes, std::size_t count);

  SequentialSource& source_;
  std::size_t keepCap_;
  std::vector<char> buffer_;
  std::size_t bufferBegin_ = 0;
  std::size_t bufferEnd_ = 0;
  std::int64_t position_ = 0;
  bool ended_ = false;
  std::int64_t failedAt_ = std::numeric_limits<std::int64_t>::max();
  std::vector<KeptSegment> segments_;  // in the order of their offsets, none overlapping
  std::size_t keptBytes_ = 0;
  std::unique_ptr<HashedRange> hashed_;
};

}  // namespace pelorin
