#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "cli/stream.h"

namespace pelorin::cli {

/// Buffered output to a stream: written when the buffer fills, when asked to flush, and (where
/// the stream is a terminal) after every report, so that a person watching sees each report as
/// it comes. Writes go out at the ends of reports only, never inside a character.
class Output {
 public:
  static constexpr std::size_t kCapacity = 64 * 1024;

  explicit Output(OutputStream& stream);

  std::string& buffer() { return buffer_; }
  bool isTerminal() const { return isTerminal_; }
  /// Call after each report: writes when the buffer is full or the output is a terminal.
  void endReport();
  /// Writes whatever is buffered.
  void flush();

  /// The reader went away (a closed pipe): nothing more can be written, and that is not a fault.
  bool readerGone() const { return readerGone_; }
  /// The system's reason a write failed for another reason; empty while none has.
  const std::string& writeError() const { return writeError_; }
  bool failed() const { return readerGone_ || !writeError_.empty(); }

 private:
  OutputStream& stream_;
  bool isTerminal_;
  bool readerGone_ = false;
  std::string writeError_;
  std::string buffer_;
};

}  // namespace pelorin::cli
