#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/stream.h"

namespace pelorin::cli {

/// Buffered output to a stream: written when the buffer fills, when asked to flush, and (where
/// the stream is a terminal) after every report, so that a person watching sees each report as
/// it comes. Writes go out at the ends of reports only, never inside a character. A write that
/// the run's interruption cuts short goes on to the end of the record it cut, and no further:
/// the output never ends inside a record.
class Output {
 public:
  static constexpr std::size_t kCapacity = 64 * 1024;

  explicit Output(OutputStream& stream);

  std::string& buffer() { return buffer_; }
  /// Call after each record added to the buffer.
  void endRecord() { recordEnds_.push_back(buffer_.size()); }
  /// Adds one record. Where it would not fit in the buffer's room, what is buffered is written
  /// first (not to a terminal, which gets whole reports after the progress line is erased): the
  /// buffer keeps the room it was made with, and a long run touches no fresh memory for it.
  void addRecord(std::string_view record);
  bool isTerminal() const { return isTerminal_; }
  /// Call after each report: writes when the buffer is full or the output is a terminal.
  void endReport();
  /// Writes whatever is buffered.
  void flush();

  /// The reader went away (a closed pipe): nothing more can be written, and that is not a fault.
  bool readerGone() const { return readerGone_; }
  /// The system's reason a write failed for another reason; empty while none has.
  const std::string& writeError() const { return writeError_; }
  /// The run was interrupted: nothing more is written.
  bool interrupted() const { return interrupted_ || stream_.interrupted(); }
  bool failed() const { return readerGone_ || !writeError_.empty() || interrupted(); }

 private:
  // Writes the rest of the record that an interruption cut after `written` bytes of the buffer.
  void finishCutRecord(std::size_t written);

  OutputStream& stream_;
  bool isTerminal_;
  bool readerGone_ = false;
  bool interrupted_ = false;
  std::vector<std::size_t> recordEnds_;  // where the buffer's records end, in order
  std::string writeError_;
  std::string buffer_;
};

}  // namespace pelorin::cli
