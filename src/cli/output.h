#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorin::cli {

/// Buffered output to a file descriptor: written when the buffer fills, when asked to flush,
/// and (where the descriptor is a terminal) after every report, so that a person watching sees
/// each report as it comes. A descriptor that is non-blocking (a parent may have made the pipe
/// so) is waited for while it is full, as a blocking one would be.
class Output {
 public:
  static constexpr std::size_t kCapacity = 64 * 1024;

  explicit Output(int fd);

  std::string& buffer() { return buffer_; }
  bool isTerminal() const { return isTerminal_; }
  /// Call after each report: writes when the buffer is full or the output is a terminal.
  void endReport();
  /// Writes whatever is buffered.
  void flush();

  /// The reader went away (a closed pipe): nothing more can be written, and that is not a fault.
  bool readerGone() const { return readerGone_; }
  /// The errno of a write that failed for another reason; 0 while none has.
  int writeError() const { return writeError_; }
  bool failed() const { return readerGone_ || writeError_ != 0; }

 private:
  void waitUntilWritable();

  int fd_;
  bool isTerminal_;
  bool readerGone_ = false;
  int writeError_ = 0;
  std::string buffer_;
};

}  // namespace pelorin::cli
