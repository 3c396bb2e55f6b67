#include "cli/output.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

namespace pelorin::cli {

Output::Output(int fd) : fd_(fd), isTerminal_(::isatty(fd) == 1) {
  buffer_.reserve(kCapacity);
}

void Output::endReport() {
  if (isTerminal_ || buffer_.size() >= kCapacity) flush();
}

void Output::flush() {
  std::string_view pending = buffer_;
  while (!pending.empty() && !failed()) {
    const ssize_t written = ::write(fd_, pending.data(), pending.size());
    if (written >= 0) {
      pending.remove_prefix(static_cast<std::size_t>(written));
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      waitUntilWritable();
    } else if (errno == EPIPE) {
      readerGone_ = true;
    } else if (errno != EINTR) {
      writeError_ = errno;
    }
  }
  buffer_.clear();
}

void Output::waitUntilWritable() {
  pollfd out{fd_, POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&out, 1, -1);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) writeError_ = errno;
}

}  // namespace pelorin::cli
