#include "runtime/posix_file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

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

// Looks at what `path` is before opening it, so that anything but a regular file (a FIFO with
// a writer waiting, a device that acts on being opened) is refused without ever being opened;
// then opens it and reads its head.
OpenResult openRegularFile(const std::string& path, const OpenerIdentity& opener,
                           LastOpened<UniqueFd>::File& found) {
  if (isNameTheSystemCannotTake(path)) return {nullptr, ErrorNumber::kBadFileNameOrNumber};
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {nullptr, openFailure(errno, path)};
  if (!S_ISREG(st.st_mode)) return {nullptr, ErrorNumber::kPathFileAccessError};
  const bool keepAccessTime = opener.actsAsAnyOwner || st.st_uid == opener.effectiveUser;
  UniqueFd fd(openForReading(path, keepAccessTime));
  if (!fd) return {nullptr, openFailure(errno, path)};
  // Not zeroed: reads never look past the bytes the file filled (headLength).
  auto file = std::make_shared_for_overwrite<OpenedFile<UniqueFd>>();
  file->length = st.st_size;
  const ssize_t got = readFully(fd.get(), 0, file->head.data(), file->head.size());
  file->headLength = got > 0 ? static_cast<std::size_t>(got) : 0;
  // A head read short of its size met the end of the file: no later read needs the descriptor.
  // After a failed read it stays, so that later reads report the failure too.
  if (got < 0 || file->headLength == file->head.size()) file->handle = std::move(fd);
  found = file;
  return {std::make_unique<PosixFile>(std::move(file)), ErrorNumber::kNone};
}

}  // namespace

std::int64_t readBeyondHead(const UniqueFd& fd, std::int64_t offset, char* out, std::size_t count) {
  return readFully(fd.get(), offset, out, count);
}

PosixFileSystem::PosixFileSystem() : opener_{::geteuid(), mayActAsAnyOwner()} {}

OpenResult PosixFileSystem::open(const std::string& path) {
  last_.forget();
  LastOpened<UniqueFd>::File found;
  OpenResult opened = openRegularFile(path, opener_, found);
  if (found) last_.remember(path, std::move(found));
  return opened;
}

OpenResult PosixFileSystem::reopen(const std::string& path) {
  LastOpened<UniqueFd>::File found = last_.take(path);
  if (!found) return open(path);
  return {std::make_unique<PosixFile>(std::move(found)), ErrorNumber::kNone};
}

LengthResult PosixFileSystem::length(const std::string& path) {
  if (const auto* found = last_.find(path)) return {found->length, ErrorNumber::kNone};
  if (isNameTheSystemCannotTake(path)) return {0, ErrorNumber::kBadFileNameOrNumber};
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {0, openFailure(errno, path)};
  return {st.st_size, ErrorNumber::kNone};
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

std::unique_ptr<FileSystem> makeSystemFileSystem() {
  return std::make_unique<PosixFileSystem>();
}

}  // namespace pelorin
