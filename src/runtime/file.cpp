#include "runtime/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/little_endian.h"

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

// Opens a regular file for reading without blocking (a FIFO or a device must never stall the
// probe) and without becoming its controlling terminal; the descriptor stays blocking-free,
// which changes nothing for reads of a regular file.
ErrorNumber openRegularFile(const std::string& path, int& fd, std::int64_t& size) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    return ErrorNumber::kBadFileNameOrNumber;
  }
  fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return openFailure(errno, path);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    fd = -1;
    return ErrorNumber::kPathFileAccessError;
  }
  size = st.st_size;
  return ErrorNumber::kNone;
}

// Fills the head of a freshly opened binary file with one read from offset 0.
void readHead(OpenFile& file) {
  ssize_t got;
  do {
    got = ::pread(file.fd, file.head.data(), file.head.size(), 0);
  } while (got < 0 && errno == EINTR);
  file.headLength = got > 0 ? static_cast<std::size_t>(got) : 0;
  file.headReachesEnd = got >= 0 && file.headLength < file.head.size();
}

// Reads `length` bytes at `offset` into `out`, zeros past the end of the file. Served from the
// head where it covers the range; false when the system reports a read error.
bool readAt(const OpenFile& file, std::int64_t offset, char* out, std::size_t length) {
  std::memset(out, 0, length);
  std::size_t done = 0;
  if (offset < static_cast<std::int64_t>(file.headLength)) {
    done = std::min(length, file.headLength - static_cast<std::size_t>(offset));
    std::memcpy(out, file.head.data() + offset, done);
  }
  if (done == length || file.headReachesEnd) return true;
  while (done < length) {
    const ssize_t got = ::pread(file.fd, out + done, length - done, offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

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

std::int16_t FreeFile(RuntimeContext& ctx) {
  const std::int16_t number = ctx.files.lowestFreeNumber();
  if (number == 0) ctx.raise(ErrorNumber::kTooManyFiles);
  return number;
}

void FileOpen(RuntimeContext& ctx, std::int16_t number, const std::string& path, OpenMode mode) {
  if (number < 1 || number > kMaxFileNumber) return ctx.raise(ErrorNumber::kBadFileNameOrNumber);
  if (ctx.files.find(number)) return ctx.raise(ErrorNumber::kFileAlreadyOpen);
  OpenFile& file = ctx.files.slot(number);
  if (!ctx.files.adoptHeldHandle(path, file)) {
    ctx.files.releaseHeldHandle();
    const ErrorNumber failure = openRegularFile(path, file.fd, file.size);
    if (failure != ErrorNumber::kNone) return ctx.raise(failure);
  }
  file.mode = mode;
  file.path.assign(path);
  file.position = 0;
  file.headLength = 0;
  file.headReachesEnd = false;
  if (mode == OpenMode::kBinary) readHead(file);
}

void FileClose(RuntimeContext& ctx, std::int16_t number) {
  OpenFile* file = ctx.files.find(number);
  if (!file) return;
  if (file->mode == OpenMode::kInput) {
    ctx.files.holdHandle(*file);
  } else {
    ::close(file->fd);
    file->fd = -1;
  }
}

std::int64_t FileLen(RuntimeContext& ctx, const std::string& path) {
  const std::int64_t held = ctx.files.heldSize(path);
  if (held >= 0) return held;
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    ctx.raise(path.empty() ? ErrorNumber::kBadFileNameOrNumber : openFailure(errno, path));
    return 0;
  }
  return st.st_size;
}

void FileSeek(RuntimeContext& ctx, std::int16_t number, std::int64_t position) {
  OpenFile* file = ctx.files.find(number);
  if (!file) return ctx.raise(ErrorNumber::kBadFileNameOrNumber);
  if (position < 1) return ctx.raise(ErrorNumber::kBadRecordNumber);
  file->position = position - 1;
}

std::int64_t SeekPosition(RuntimeContext& ctx, std::int16_t number) {
  const OpenFile* file = ctx.files.find(number);
  return file ? file->position + 1 : 0;
}

namespace {

// Reads `length` bytes at the current position into `out` and advances; on failure raises the
// error, leaves `out` as it was and returns false.
bool getInto(RuntimeContext& ctx, std::int16_t number, char* out, std::size_t length) {
  OpenFile* file = ctx.files.find(number);
  if (!file) {
    ctx.raise(ErrorNumber::kBadFileNameOrNumber);
    return false;
  }
  if (file->mode != OpenMode::kBinary) {
    ctx.raise(ErrorNumber::kBadFileMode);
    return false;
  }
  // The common case: the bytes lie inside the head read at open.
  if (static_cast<std::uint64_t>(file->position) + length <= file->headLength) {
    std::memcpy(out, file->head.data() + file->position, length);
    file->position += static_cast<std::int64_t>(length);
    return true;
  }
  std::vector<char> large;
  char small[64];
  char* staging = small;
  if (length > sizeof small) {
    large.resize(length);
    staging = large.data();
  }
  if (!readAt(*file, file->position, staging, length)) {
    ctx.raise(ErrorNumber::kDeviceIoError);
    return false;
  }
  std::memcpy(out, staging, length);
  file->position += static_cast<std::int64_t>(length);
  return true;
}

}  // namespace

void GetBytes(RuntimeContext& ctx, std::int16_t number, char* out, std::size_t length) {
  getInto(ctx, number, out, length);
}

void Get(RuntimeContext& ctx, std::int16_t number, std::int16_t& value) {
  char raw[2];
  if (getInto(ctx, number, raw, sizeof raw)) value = static_cast<std::int16_t>(readU16LE(raw));
}

void Get(RuntimeContext& ctx, std::int16_t number, std::int32_t& value) {
  char raw[4];
  if (getInto(ctx, number, raw, sizeof raw)) value = static_cast<std::int32_t>(readU32LE(raw));
}

void Get(RuntimeContext& ctx, std::int16_t number, std::uint32_t& value) {
  char raw[4];
  if (getInto(ctx, number, raw, sizeof raw)) value = readU32LE(raw);
}

}  // namespace pelorin
