#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "runtime/md5.h"

namespace pelorin {

/// The bytes of one opened file.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  /// The file's length in bytes when it was opened.
  virtual std::int64_t length() const = 0;

  /// Fills `out` with `count` bytes from `offset` (counted from 0). Bytes past the end of the
  /// file read as zeros, which is not an error. Returns false when the device fails; `out` is
  /// then unspecified.
  virtual bool read(std::int64_t offset, char* out, std::size_t count) = 0;

  /// How many bytes from the start reads serve from memory, without asking the device.
  virtual std::int64_t inMemory() const { return 0; }
  /// Whether a read may take more bytes than asked for, to serve later reads from memory: not
  /// where only the bytes a reader will ask for are there (a stream that kept them).
  virtual bool mayReadAhead() const { return true; }

  /// The MD5 of the `length` bytes at `offset` where it is known without reading them (a stream
  /// hashed them as they passed); nothing otherwise, and then they are read to be hashed.
  virtual std::optional<Md5Digest> knownDigest(std::int64_t /*offset*/,
                                               std::uint64_t /*length*/) const {
    return std::nullopt;
  }
};

/// Bytes read from the start of a file in one read when it is opened; every read inside them is
/// served from memory. A kibibyte holds the header of a plain file and the chunks that commonly
/// come before the data chunk (a LIST chunk of tags, a broadcast-wave description), at little
/// cost per open.
inline constexpr std::size_t kHeadSize = 1024;

/// What an opened file is, as far as reading it goes.
enum class FileKind {
  kRegular,  // a file on a disk, read at any offset
  kStream,   // a pipe read once, front to back: only the bytes kept on the way can be read
};

/// The system's handle of an opened file (a descriptor, a Win32 handle): owned, closed when
/// destroyed.
class FileHandle {
 public:
  virtual ~FileHandle() = default;

  /// Reads up to `count` bytes at `offset` into `out`, fewer only at the end of the file.
  /// Returns the bytes read, or -1 when the device fails.
  virtual std::int64_t read(std::int64_t offset, char* out, std::size_t count) = 0;

  /// As ByteSource::knownDigest().
  virtual std::optional<Md5Digest> knownDigest(std::int64_t /*offset*/,
                                               std::uint64_t /*length*/) const {
    return std::nullopt;
  }
};

/// What one open of a file found: its kind, its length, the head it read and, where the file is
/// longer than the head, the handle that reads the rest. A value: whoever holds it owns the
/// handle, which closes with it. Reads inside the head come from memory. After a read fails, no
/// further read reaches the device: a read that needs it fails at once, so that a failing disk
/// is asked once.
class OpenedFile final : public ByteSource {
 public:
  /// Reads the head of the file that `handle` opened, `length` bytes long by the system's
  /// account: its first kHeadSize bytes, or all of them when it is shorter. The handle is closed
  /// at once when the head holds the whole file; after a failed head read every read of the file
  /// fails.
  static OpenedFile readHead(FileKind kind, std::int64_t length,
                             std::unique_ptr<FileHandle> handle);

  FileKind kind() const { return kind_; }
  std::int64_t length() const override { return length_; }
  /// The bytes the head read got: the whole file when it is shorter than kHeadSize.
  std::string_view head() const { return {head_.get(), headLength_}; }

  bool read(std::int64_t offset, char* out, std::size_t count) override;
  std::int64_t inMemory() const override { return static_cast<std::int64_t>(headLength_); }
  bool mayReadAhead() const override { return kind_ != FileKind::kStream; }
  std::optional<Md5Digest> knownDigest(std::int64_t offset, std::uint64_t length) const override {
    return rest_ ? rest_->knownDigest(offset, length) : std::nullopt;
  }

 private:
  OpenedFile() = default;

  FileKind kind_ = FileKind::kRegular;
  std::int64_t length_ = 0;
  std::unique_ptr<char[]> head_;
  std::size_t headLength_ = 0;        // bytes of head_ the file filled
  std::unique_ptr<FileHandle> rest_;  // null when the head holds the whole file
  bool failed_ = false;               // a read failed: no further read reaches the device
};

}  // namespace pelorin
