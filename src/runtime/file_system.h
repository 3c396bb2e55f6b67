#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/error.h"

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
};

/// A source, or the runtime's error number of the reason there is none.
struct OpenResult {
  std::unique_ptr<ByteSource> source;
  ErrorNumber error = ErrorNumber::kNone;
};

/// A length in bytes, or the runtime's error number of the reason there is none.
struct LengthResult {
  std::int64_t length = 0;
  ErrorNumber error = ErrorNumber::kNone;
};

/// Where the runtime's files come from: the system's files, or files held in memory for tests.
/// Failures come back as the runtime's error numbers; how a system's reasons map onto them is
/// the implementation's business.
///
/// A file is commonly tested, measured and then read, one call after the other: open(),
/// length() and reopen() of the same path. An implementation may remember what open() found
/// (its length, its first bytes, its descriptor) to answer the other two without asking the
/// system again; what it remembers is forgotten at the next open().
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// Opens the regular file `path` for reading, asking the system afresh. Anything that is not
  /// a regular file (a folder, a FIFO, a device, a socket) fails with kPathFileAccessError.
  virtual OpenResult open(const std::string& path) = 0;

  /// Opens `path` for reading as open() does, or hands over the file that the last open() of
  /// the same path found, when nothing was opened since.
  virtual OpenResult reopen(const std::string& path) = 0;

  /// The length of `path` in bytes: what the last open() of the same path found, when nothing
  /// was opened since; otherwise what the system says now.
  virtual LengthResult length(const std::string& path) = 0;
};

/// The file system of the platform the program runs on.
std::unique_ptr<FileSystem> makeSystemFileSystem();

}  // namespace pelorin
