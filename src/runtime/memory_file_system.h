#pragma once

#include <map>
#include <memory>
#include <string>

#include "runtime/file_system.h"

namespace pelorin {

/// Files held in memory, for tests and the fuzzer: each path names a string of bytes. A path
/// that was never added is missing (kFileNotFound); an empty path is a bad name.
class MemoryFileSystem final : public FileSystem {
 public:
  /// Adds the file `path` holding `bytes`, or replaces what it held. Sources opened before keep
  /// the bytes they had.
  void add(const std::string& path, std::string bytes);

  OpenResult open(const std::string& path) override;
  OpenResult reopen(const std::string& path) override { return open(path); }
  LengthResult length(const std::string& path) override;

 private:
  // The bytes of `path`, or the error of looking for them.
  ErrorNumber find(const std::string& path, std::shared_ptr<const std::string>& bytes) const;

  std::map<std::string, std::shared_ptr<const std::string>, std::less<>> files_;
};

}  // namespace pelorin
