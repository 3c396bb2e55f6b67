#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include "runtime/file_system.h"

namespace pelorin {

/// Files held in memory, for tests and the fuzzer: each path names a string of bytes. A path
/// that was never added is missing (kFileNotFound); an empty path is a bad name. Opened files
/// read their head and the rest as the system's do.
class MemoryFileSystem final : public FileSystem {
 public:
  /// Adds the file `path` holding `bytes`, or replaces what it held. Files opened before keep
  /// the bytes they had.
  void add(const std::string& path, std::string bytes);

  /// Adds `path` as add() does, on a failing disk: every read that reaches `failingFrom` or
  /// beyond fails.
  void addFailing(const std::string& path, std::string bytes, std::int64_t failingFrom);

  /// How many reads have reached the bytes of `path` since it was added, the head read of each
  /// open included; 0 for a path never added.
  int readsOf(const std::string& path) const;

  OpenResult open(const std::string& path) override;

 private:
  struct File {
    std::shared_ptr<const std::string> bytes;
    std::int64_t failingFrom = std::numeric_limits<std::int64_t>::max();
    std::shared_ptr<std::atomic<int>> reads = std::make_shared<std::atomic<int>>(0);
  };

  std::map<std::string, File, std::less<>> files_;
};

}  // namespace pelorin
