#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/posix_stream.h"
#include "cli/standard_input.h"
#include "runtime/posix_file_system.h"
#include "runtime/unique_fd.h"

namespace pelorin::cli {

namespace {

// Standard input read in order. A descriptor its parent made non-blocking is waited for, as a
// pipe whose writer is slow is. A run asked to stop (Ctrl+C) reads no more: the stream then
// ends as a failed read, whether it was waiting (an interrupted read) or endless (/dev/zero).
class DescriptorStream final : public SequentialSource {
 public:
  std::int64_t read(char* out, std::size_t size) override {
    for (;;) {
      if (stoppingSignal() != 0) return -1;
      const ssize_t got = ::read(STDIN_FILENO, out, size);
      if (got >= 0) return got;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        ::poll(&in, 1, -1);
      } else if (errno != EINTR) {
        return -1;
      }
    }
  }
};

// A standard input the system will not look at (closed) or copy (out of descriptors).
ErrorNumber failureOf(int errnoValue) {
  return errnoValue == EMFILE || errnoValue == ENFILE ? ErrorNumber::kTooManyFiles
                                                      : ErrorNumber::kBadFileNameOrNumber;
}

class PosixStandardInput final : public StandardInput {
 public:
  bool isTerminal() const override { return ::isatty(STDIN_FILENO) == 1; }

  OpenedStandardInput open() override {
    struct stat st;
    if (::fstat(STDIN_FILENO, &st) != 0) return {std::nullopt, nullptr, failureOf(errno)};
    // A folder is no stream of bytes: it gets the report a folder named on the command line gets.
    if (S_ISDIR(st.st_mode)) return {std::nullopt, nullptr, ErrorNumber::kPathFileAccessError};
    if (!S_ISREG(st.st_mode)) return {std::nullopt, std::make_unique<DescriptorStream>()};
    // A copy of its own: the opened file closes it.
    UniqueFd fd(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    if (!fd) return {std::nullopt, nullptr, failureOf(errno)};
    return {OpenedFile::readHead(FileKind::kRegular, st.st_size, descriptorHandle(std::move(fd))),
            nullptr};
  }
};

}  // namespace

StandardInput& systemStandardInput() {
  static PosixStandardInput input;
  return input;
}

}  // namespace pelorin::cli
