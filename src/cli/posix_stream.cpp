#include "cli/posix_stream.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "runtime/unique_fd.h"

namespace pelorin::cli {

namespace {

std::optional<std::uint64_t> terminalOf(int fd) {
  struct stat st;
  if (fd < 0 || ::isatty(fd) != 1 || ::fstat(fd, &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_rdev);
}

std::optional<FileId> regularFileOf(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

WriteResult failed(int errnoValue) {
  return {WriteResult::kFailed, std::strerror(errnoValue)};
}

// A file read from its start, or standard input.
class FdInput final : public InputStream {
 public:
  explicit FdInput(int fd, UniqueFd owned = UniqueFd()) : fd_(fd), owned_(std::move(owned)) {}

  ReadResult read(char* out, std::size_t size) override {
    ssize_t got;
    do {
      got = ::read(fd_, out, size);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return {0, std::strerror(errno)};
    return {static_cast<std::size_t>(got), ""};
  }

  std::optional<FileId> regularFile() const override { return regularFileOf(fd_); }

 private:
  int fd_;
  UniqueFd owned_;  // the descriptor, unless it is standard input
};

}  // namespace

FdStream::FdStream(int fd) : fd_(fd), terminal_(terminalOf(fd)) {}

WriteResult FdStream::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written >= 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!waitUntilWritable()) return failed(errno);
    } else if (errno == EPIPE) {
      return {WriteResult::kReaderGone, ""};
    } else if (errno != EINTR) {
      return failed(errno);
    }
  }
  return {};
}

bool FdStream::waitUntilWritable() {
  pollfd out{fd_, POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&out, 1, -1);
  } while (ready < 0 && errno == EINTR);
  return ready >= 0;
}

std::optional<FileId> FdStream::regularFile() const {
  return regularFileOf(fd_);
}

void FdStream::writeIfReady(std::string_view bytes) {
  pollfd out{fd_, POLLOUT, 0};
  if (::poll(&out, 1, 0) != 1 || !(out.revents & POLLOUT)) return;  // busy: drop this one
  // Bytes that did not go out whole are mended by the next line, which starts by erasing.
  if (::write(fd_, bytes.data(), bytes.size()) < 0) return;
}

OpenedInput openInput(const std::string& name) {
  if (name == "-") return {std::make_unique<FdInput>(0), ""};
  UniqueFd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return {nullptr, std::strerror(errno)};
  const int raw = fd.get();
  return {std::make_unique<FdInput>(raw, std::move(fd)), ""};
}

}  // namespace pelorin::cli
