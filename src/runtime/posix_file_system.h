#pragma once

#include <string>

#include <sys/types.h>

#include "runtime/file_system.h"
#include "runtime/unique_fd.h"

namespace pelorin {

/// Who opens files, as far as access times go: files of this user, or of any user with the
/// capability to act as their owner, can be read without updating their access time.
struct OpenerIdentity {
  uid_t effectiveUser = 0;
  bool actsAsAnyOwner = false;
};

/// The system's files, read through POSIX calls. Opening costs one stat (a path that is not a
/// regular file is refused without being opened), one open and one read of the head. A file the
/// head holds whole keeps no descriptor; a longer one keeps it for as long as its opened file
/// lives.
///
/// Files are opened without updating their access time where the system allows it (files of
/// the user, or any file with the capability to act as its owner); other users' files may get
/// their access time updated, as the system's mount options decide. Between the stat and the
/// open the path may be swapped for something else; the open never blocks, so that can cost a
/// wrong report but never a hang.
class PosixFileSystem final : public FileSystem {
 public:
  PosixFileSystem();

  OpenResult open(const std::string& path) override;

 private:
  OpenerIdentity opener_;
};

/// The handle of an opened regular file, read at any offset as this file system's own files are
/// (a descriptor the caller opened, such as a copy of standard input's).
std::unique_ptr<FileHandle> descriptorHandle(UniqueFd fd);

/// The runtime's error number for a failed open or stat of `path` whose system reason was
/// `errnoValue`.
ErrorNumber openFailure(int errnoValue, const std::string& path);

}  // namespace pelorin
