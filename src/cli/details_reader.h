#pragma once

#include <memory>
#include <string>

#include "probe/details.h"
#include "probe/sondur.h"
#include "runtime/file_system.h"

namespace pelorin::cli {

/// Reads the details of each probed file through the file the probe itself opened, so that the
/// details cost no second open and their first kibibyte no second read. A probe's runtime
/// context uses fileSystem(): with details on, a file system that forwards to the system's and
/// keeps a share of the source the probe's binary open was handed, until read() takes it.
class DetailsReader {
 public:
  /// Without `enabled`, fileSystem() is the system's as it is and read() gives nothing. With
  /// `verifyMd5`, read() also hashes each file's data, telling `hashProgress` (where given) how
  /// far it has come.
  explicit DetailsReader(bool enabled, bool verifyMd5 = false,
                         HashProgress* hashProgress = nullptr);
  ~DetailsReader();
  DetailsReader(const DetailsReader&) = delete;
  DetailsReader& operator=(const DetailsReader&) = delete;

  /// The file system the probe must open files through.
  FileSystem& fileSystem();

  /// The details of `path`, which the probe just reported on as `outcome`, read through the
  /// probe's own source (or, where the probe never opened the file for reading, the one its
  /// test found) and released at once. Null when disabled and after an open failure, which has
  /// no details. Valid until the next call.
  const WaveDetails* read(const std::string& path, const ProbeOutcome& outcome);

 private:
  class RetainingFileSystem;

  std::unique_ptr<FileSystem> system_;
  std::unique_ptr<RetainingFileSystem> retaining_;  // null when disabled
  WaveDetails details_;
  bool verifyMd5_;
  HashProgress* hashProgress_;
};

}  // namespace pelorin::cli
