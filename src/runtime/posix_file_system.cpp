#include "runtime/posix_file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "runtime/unique_fd.h"

namespace pelorin {

namespace {

// The folder part of `path`: up to its last "/" once trailing slashes are gone; "." when it has
// none, "/" when that is all there is.
std::string folderOf(const std::string& path) {
  std::string_view trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.remove_suffix(1);
  const std::size_t slash = trimmed.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(trimmed.substr(0, slash));
}

bool existsAsNonRegular(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool folderExists(const std::string& path) {
  struct stat st;
  return ::stat(folderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isNameTheSystemCannotTake(const std::string& path) {
  return path.empty() || path.find('\0') != std::string::npos;
}

// Reads up to `count` bytes at `offset`, fewer only at the end of the file. Returns the bytes
// read, or -1 when the device fails. The one place where an interrupted read is retried.
ssize_t readFully(int fd, std::int64_t offset, char* out, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd, out + done, count - done, offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

// Whether this process may open any file without updating its access time: with the
// capability to act as any file's owner.
bool mayActAsAnyOwner() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  return (data[CAP_TO_INDEX(CAP_FOWNER)].effective & CAP_TO_MASK(CAP_FOWNER)) != 0;
}

// Opens `path` for reading without blocking (should the path have become a FIFO or a device
// since it was looked at, it must still never stall the probe), without becoming its
// controlling terminal, and without updating its access time where the system lets us.
int openForReading(const std::string& path, bool keepAccessTime) {
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  if (keepAccessTime) {
    const int fd = ::open(path.c_str(), kFlags | O_NOATIME);
    // Refused only where the owner or the capability changed since the stat.
    if (fd >= 0 || errno != EPERM) return fd;
  }
  return ::open(path.c_str(), kFlags);
}

// A descriptor as the handle of an opened file.
class PosixHandle final : public FileHandle {
 public:
  explicit PosixHandle(UniqueFd fd) : fd_(std::move(fd)) {}

  std::int64_t read(std::int64_t offset, char* out, std::size_t count) override {
    return readFully(fd_.get(), offset, out, count);
  }

 private:
  UniqueFd fd_;
};

}  // namespace

PosixFileSystem::PosixFileSystem() : opener_{::geteuid(), mayActAsAnyOwner()} {}

// Looks at what `path` is before opening it, so that anything but a regular file (a FIFO with
// a writer waiting, a device that acts on being opened) is refused without ever being opened;
// then opens it and reads its head.
OpenResult PosixFileSystem::open(const std::string& path) {
  if (isNameTheSystemCannotTake(path)) return {std::nullopt, ErrorNumber::kBadFileNameOrNumber};
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {std::nullopt, openFailure(errno, path)};
  if (!S_ISREG(st.st_mode)) return {std::nullopt, ErrorNumber::kPathFileAccessError};
  const bool keepAccessTime = opener_.actsAsAnyOwner || st.st_uid == opener_.effectiveUser;
  UniqueFd fd(openForReading(path, keepAccessTime));
  if (!fd) return {std::nullopt, openFailure(errno, path)};
  return {OpenedFile::readHead(FileKind::kRegular, st.st_size,
                               std::make_unique<PosixHandle>(std::move(fd))),
          ErrorNumber::kNone};
}

ErrorNumber openFailure(int errnoValue, const std::string& path) {
  switch (errnoValue) {
    case ENOENT:
      return folderExists(path) ? ErrorNumber::kFileNotFound : ErrorNumber::kPathNotFound;
    case ENOTDIR:
      return ErrorNumber::kPathNotFound;
    case EACCES:
    case EPERM:
      // What the path is decides before its permissions do.
      return existsAsNonRegular(path) ? ErrorNumber::kPathFileAccessError
                                      : ErrorNumber::kPermissionDenied;
    case EMFILE:
    case ENFILE:
      return ErrorNumber::kTooManyFiles;
    case ENAMETOOLONG:
      return ErrorNumber::kBadFileNameOrNumber;
    case EIO:
      return ErrorNumber::kDeviceIoError;
    default:  // ELOOP, ENXIO (a socket), and whatever else the system may say
      return ErrorNumber::kPathFileAccessError;
  }
}

std::unique_ptr<FileHandle> descriptorHandle(UniqueFd fd) {
  return std::make_unique<PosixHandle>(std::move(fd));
}

std::unique_ptr<FileSystem> makeSystemFileSystem() {
  return std::make_unique<PosixFileSystem>();
}

}  // namespace pelorin
