#pragma once

#include "cli/stream.h"

namespace pelorin::cli {

/// An output stream over a file descriptor that someone else owns (1, 2, or a test's pipe).
/// A descriptor that is non-blocking (a parent may have made the pipe so) is waited for while it
/// is full, as a blocking one would be; a closed pipe shows as kReaderGone, provided SIGPIPE is
/// ignored.
class FdStream final : public OutputStream {
 public:
  explicit FdStream(int fd);

  std::optional<std::uint64_t> terminal() const override { return terminal_; }
  WriteResult write(std::string_view bytes) override;
  void writeIfReady(std::string_view bytes) override;
  std::optional<FileId> regularFile() const override;

 private:
  // Waits until the descriptor takes more bytes; false when it cannot be waited for.
  bool waitUntilWritable();

  int fd_;
  std::optional<std::uint64_t> terminal_;  // the terminal's device number
};

}  // namespace pelorin::cli
