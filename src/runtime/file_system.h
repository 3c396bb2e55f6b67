#pragma once

#include <optional>
#include <string>

#include "runtime/error.h"
#include "runtime/opened_file.h"

namespace pelorin {

/// An opened file, or the runtime's error number of the reason there is none.
struct OpenResult {
  std::optional<OpenedFile> file;
  ErrorNumber error = ErrorNumber::kNone;
};

/// Where the runtime's files come from: the system's files, or files held in memory for tests.
/// Failures come back as the runtime's error numbers; how a system's reasons map onto them is
/// the implementation's business. Each call is answered afresh: a file system remembers nothing
/// between calls, and whoever holds an opened file decides how long it stays open.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// Opens the regular file `path` for reading and reads its head. Anything that is not a
  /// regular file (a folder, a FIFO, a device, a socket) fails with kPathFileAccessError.
  virtual OpenResult open(const std::string& path) = 0;
};

/// The file system of the platform the program runs on.
std::unique_ptr<FileSystem> makeSystemFileSystem();

}  // namespace pelorin
