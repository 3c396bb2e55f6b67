#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <sys/types.h>

#include "runtime/file_system.h"
#include "runtime/unique_fd.h"

namespace pelorin {

/// Bytes read from the start of a file in one read when it is opened; every read inside them is
/// served from memory. A kibibyte holds the header of a plain file and the chunks that commonly
/// come before the data chunk (a LIST chunk of tags, a broadcast-wave description), at little
/// cost per open.
inline constexpr std::size_t kHeadSize = 1024;

/// What one open of a regular file found.
struct OpenedFile {
  UniqueFd fd;  // for reads beyond the head; closed at once when the head holds the whole file
  std::int64_t length = 0;
  std::size_t headLength = 0;  // bytes of `head` the file filled
  std::array<char, kHeadSize> head;
};

/// A regular file opened on a POSIX system.
class PosixFile final : public ByteSource {
 public:
  explicit PosixFile(std::shared_ptr<const OpenedFile> file) : file_(std::move(file)) {}

  std::int64_t length() const override { return file_->length; }
  bool read(std::int64_t offset, char* out, std::size_t count) override;

  /// The descriptor that reads beyond the head go to; -1 when the head holds the whole file.
  int descriptor() const { return file_->fd.get(); }

 private:
  std::shared_ptr<const OpenedFile> file_;
};

/// Who opens files, as far as access times go: files of this user, or of any user with the
/// capability to act as their owner, can be read without updating their access time.
struct OpenerIdentity {
  uid_t effectiveUser = 0;
  bool actsAsAnyOwner = false;
};

/// The system's files, read through POSIX calls. Opening costs one stat (a path that is not a
/// regular file is refused without being opened), one open and one read of the head; the file
/// found is remembered until the next open(), so that length() and reopen() of the same path
/// cost nothing. A file the head holds whole keeps no descriptor, and reopen() hands the
/// remembered descriptor over, so that nothing stays open once the sources are gone.
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
  OpenResult reopen(const std::string& path) override;
  LengthResult length(const std::string& path) override;

 private:
  OpenerIdentity opener_;
  std::string lastPath_;
  std::shared_ptr<const OpenedFile> last_;
};

/// The runtime's error number for a failed open or stat of `path` whose system reason was
/// `errnoValue`.
ErrorNumber openFailure(int errnoValue, const std::string& path);

}  // namespace pelorin
